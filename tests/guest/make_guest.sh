#!/bin/bash
# Builds the guest's kernel and initramfs into BUILD/guest:
#   make_guest.sh BUILD_DIR SOURCE_DIR
# The kernel and busybox come from Debian's archive as packages that are
# downloaded and unpacked here, never installed: the host stays as it is.
# The downloads are cached; the initramfs is rebuilt each time from the
# freshly built spindle-cli and bbie.
set -euo pipefail
build=$(realpath "$1")
src=$(realpath "$2")
guest=$build/guest
cache=$guest/cache
mkdir -p "$cache"

fail() { echo "guest: $*" >&2; exit 1; }

# The cloud kernel has the ATA, SCSI and CD-ROM drivers as modules and
# little else, so it is small and boots fast.
kpkg=$(apt-cache depends linux-image-cloud-amd64 2>/dev/null | awk '/Depends: linux-image-/{print $2; exit}')
[ -n "$kpkg" ] || fail "apt-cache knows no linux-image-cloud-amd64: run apt-get update (the guest needs Debian's cloud kernel)"
if [ ! -f "$cache/$kpkg.done" ]; then
  rm -rf "$cache/debs" "$cache/kernel"
  mkdir -p "$cache/debs"
  (cd "$cache/debs" && apt-get download "$kpkg" >/dev/null 2>"$cache/download.err") ||
    fail "cannot download $kpkg from the Debian mirror: $(grep -v "^W:" "$cache/download.err" | tail -n 2 | tr '\n' ' ')"
  dpkg-deb -x "$cache"/debs/linux-image-*.deb "$cache/kernel"
  touch "$cache/$kpkg.done"
fi
if [ ! -f "$cache/busybox.done" ]; then
  rm -rf "$cache/bbdeb" "$cache/busybox"
  mkdir -p "$cache/bbdeb"
  (cd "$cache/bbdeb" && apt-get download busybox-static >/dev/null 2>"$cache/download.err") ||
    fail "cannot download busybox-static from the Debian mirror: $(grep -v "^W:" "$cache/download.err" | tail -n 2 | tr '\n' ' ')"
  dpkg-deb -x "$cache"/bbdeb/busybox-static_*.deb "$cache/busybox"
  touch "$cache/busybox.done"
fi
bb=$cache/busybox/bin/busybox
kver=$(ls "$cache/kernel/lib/modules" | head -n 1)
[ -n "$kver" ] || fail "the kernel package holds no modules"
moddir=$cache/kernel/lib/modules/$kver
[ -f "$moddir/modules.dep" ] || "$bb" depmod -b "$cache/kernel" "$kver"
cp "$cache/kernel/boot/vmlinuz-$kver" "$guest/vmlinuz"

root=$guest/root
rm -rf "$root"
mkdir -p "$root"/{bin,dev,proc,sys,tmp,etc,lib/modules,opt/spindle,work}
cp "$bb" "$root/bin/busybox"

# The drive's modules and everything they need, in loading order (a
# module's dependencies before it).
: > "$root/modules.list"
want_module() {
  local name=$1 line path deps d
  line=$(grep -E "(^|/)$name\.ko(\.[a-z]+)?:" "$moddir/modules.dep" || true)
  [ -n "$line" ] || fail "module $name is not in $kpkg"
  path=${line%%:*}
  deps=${line#*:}
  # modules.dep lists a module's dependencies deepest last.
  for d in $(echo $deps | tr ' ' '\n' | tac); do
    grep -qxF "$d" "$root/modules.list" || { echo "$d" >> "$root/modules.list"; }
  done
  grep -qxF "$path" "$root/modules.list" || echo "$path" >> "$root/modules.list"
}
# The IDE drive's and the virtio-scsi drive's.
for m in ${SPINDLE_GUEST_MODULES:-scsi_common scsi_mod cdrom sr_mod sg libata ata_piix ata_generic isofs virtio_pci virtio_scsi}; do
  want_module "$m"
done
while read -r m; do
  mkdir -p "$root/lib/modules/$(dirname "$m")"
  cp "$moddir/$m" "$root/lib/modules/$m"
done < "$root/modules.list"

# The tools as the build stages them: each link's target copied under the
# link's name, and Spindle's own programs beside them.
for f in "$build"/bin/*; do
  n=$(basename "$f")
  case $n in
    spindle-cli|bbie|cdrecord|readcd|dd|mkisofs) cp -L "$f" "$root/opt/spindle/$n" ;;
  esac
done
for n in spindle-cli bbie cdrecord readcd dd; do
  [ -x "$root/opt/spindle/$n" ] || fail "$build/bin/$n is missing: build first"
done
# The same Spindle with the libburn family's recorder behind cdrecord.
cdrskin=$(command -v cdrskin) || fail "cdrskin is missing (make deps installs it)"
mkdir -p "$root/opt/spindle-skin"
for n in spindle-cli bbie readcd dd; do cp "$root/opt/spindle/$n" "$root/opt/spindle-skin/$n"; done
cp -L "$cdrskin" "$root/opt/spindle-skin/cdrecord"
# Every library the programs load, at the path the loader looks in.
for f in "$root"/opt/spindle/* "$root"/opt/spindle-skin/*; do
  ldd "$f" 2>/dev/null | awk '/=> \//{print $3} /^\t\/[^ ]+ \(/{print $1}'
done | sort -u | while read -r lib; do
  mkdir -p "$root$(dirname "$lib")"
  cp -L "$lib" "$root$lib"
done

cat > "$root/etc/passwd" <<'P'
root:x:0:0:root:/root:/bin/sh
alice:x:1001:1001:in cdrom:/home/alice:/bin/sh
bob:x:1002:1002:not in cdrom:/home/bob:/bin/sh
P
cat > "$root/etc/group" <<'G'
root:x:0:
cdrom:x:24:alice
alice:x:1001:
bob:x:1002:
G
mkdir -p "$root/home/alice" "$root/home/bob" "$root/root"
cp "$src/tests/guest/init" "$root/init"
cp "$src/tests/guest/steps.sh" "$root/steps.sh"
[ -f "$guest/expected.sh" ] && cp "$guest/expected.sh" "$root/expected.sh" || : > "$root/expected.sh"
chmod 755 "$root/init"
(cd "$root" && find . | "$bb" cpio -o -H newc 2>/dev/null) | gzip -1 > "$guest/initrd.gz"
echo "guest: kernel $kver, initramfs $(du -h "$guest/initrd.gz" | cut -f1)"
