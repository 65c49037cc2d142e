#!/bin/bash
# The drive path on the real tools and a real kernel: boots the guest once
# with two emulated drives holding a bootable image, an ATAPI one and a
# virtio-scsi one (which answers the capability page), and fails on any
# step the guest reports failed, or on a missing one.
#   run_guest.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$(realpath "$1")
src=$(realpath "$2")
guest=$build/guest
here=$src/tests/guest
t0=$(date +%s)

command -v qemu-system-x86_64 >/dev/null || { echo "guest: qemu-system-x86_64 is missing (make deps installs it)" >&2; exit 1; }

# The drive's disc: a bootable image built with the staged mkisofs, its
# boot file a floppy's worth of bytes of this run.
disc=$guest/disc
rm -rf "$disc" && mkdir -p "$disc/root" || exit 1
head -c 1474560 /dev/urandom > "$disc/root/boot.img"
head -c 300000 /dev/urandom > "$disc/root/data.bin"
"$build/bin/mkisofs" -quiet -b boot.img -c boot.cat -o "$disc/disc.iso" "$disc/root" ||
  { echo "guest: mkisofs could not build the disc image" >&2; exit 1; }
mkdir -p "$guest"
{ echo "DISC_SHA=$(sha256sum "$disc/disc.iso" | cut -d' ' -f1)"
  echo "BOOT_SHA=$(sha256sum "$disc/root/boot.img" | cut -d' ' -f1)"; } > "$guest/expected.sh"

bash "$here/make_guest.sh" "$build" "$src" || exit 1
t1=$(date +%s)

log=$guest/console.log
timeout 200 qemu-system-x86_64 -accel tcg -cpu max -nodefaults -nographic -serial stdio -no-reboot -m 512 -smp 1 \
  -kernel "$guest/vmlinuz" -initrd "$guest/initrd.gz" -append 'console=ttyS0 quiet panic=-1' \
  -drive file="$disc/disc.iso",format=raw,media=cdrom,if=ide \
  -device virtio-scsi-pci,id=scsi0 -drive file="$disc/disc.iso",format=raw,media=cdrom,if=none,id=cd1,readonly=on \
  -device scsi-cd,drive=cd1,bus=scsi0.0 </dev/null > "$log" 2>&1
qrc=$?
t2=$(date +%s)
tr -d '\r' < "$log" | sed -n '/=== SPINDLE GUEST BEGIN ===/,/=== SPINDLE GUEST END ===/p' > "$guest/results.txt"
cat "$guest/results.txt"
echo "guest: preparing $((t1 - t0))s, boot and steps $((t2 - t1))s, qemu status $qrc"

fail=0
grep -q '=== SPINDLE GUEST END ===' "$guest/results.txt" ||
  { echo "guest: the run did not reach its end marker; the console's tail:" >&2; tail -n 30 "$log" >&2; fail=1; }
if grep -q '^STEP FAIL' "$guest/results.txt"; then
  echo "guest: failed steps:" >&2; grep '^STEP FAIL' "$guest/results.txt" >&2; fail=1
fi
for s in modules devices drives caps caps-scsi read-identical read-line read-progress cdimage-identical cdimage-line \
         cdimage-progress bootimage burn-reached burn-cause blank-reached blank-cause user-in-cdrom \
         user-not-in-cdrom scan-cause cdimage-refused read-refused doctor verify \
         skin-drives skin-caps skin-caps-failed skin-burn skin-user-not-in-cdrom skin-scan-cause skin-doctor; do
  grep -qx "STEP OK $s" "$guest/results.txt" || { echo "guest: step $s did not pass" >&2; fail=1; }
done
exit $fail
