# The drive path in the guest, through spindle-cli: each step prints its
# run and then "STEP OK name" or "STEP FAIL name: why" for the host.
# /opt/spindle has wodim behind cdrecord, /opt/spindle-skin cdrskin.
export HOME=/root LC_ALL=C PATH=/bin
SC=/opt/spindle/spindle-cli
SK=/opt/spindle-skin/spindle-cli
. /expected.sh   # DISC_SHA, BOOT_SHA: the drive's image and its boot file

ok() { echo "STEP OK $1"; }
bad() { echo "STEP FAIL $1: $2"; }
# run NAME COMMAND...: output in /tmp/NAME.out and .err, status in $rc.
run() {
  name=$1; shift
  t0=$(date +%s)
  "$@" >/tmp/$name.out 2>/tmp/$name.err
  rc=$?
  echo "RUN $name rc=$rc seconds=$(( $(date +%s) - t0 ))"
  sed -n '1,300s/^/  out| /p' /tmp/$name.out
  sed -n '1,20s/^/  err| /p' /tmp/$name.err
}
has() { grep -qF -- "$2" "/tmp/$1"; }
sha() { sha256sum "$1" | cut -d' ' -f1; }

# As udev gives them out: the ATAPI drive and the virtio-scsi one.
chown root:cdrom /dev/sr0 /dev/sg0 /dev/sr1 /dev/sg1 && chmod 0660 /dev/sr0 /dev/sg0 /dev/sr1 /dev/sg1 && ok devices ||
  bad devices "no /dev/sr0, /dev/sr1, /dev/sg0 or /dev/sg1"
ls -l /dev/sr0 /dev/sg0 /dev/sr1 /dev/sg1

run drives $SC drives
addr=$(sed -n 's/^\[\([0-9]*,[0-9]*,[0-9]*\)\] QEMU    QEMU DVD-ROM.*/\1/p' /tmp/drives.out | head -n 1)
saddr=$(sed -n 's/^\[\([0-9]*,[0-9]*,[0-9]*\)\] QEMU    QEMU CD-ROM.*/\1/p' /tmp/drives.out | head -n 1)
[ $rc = 0 ] && [ -n "$addr" ] && [ -n "$saddr" ] && ok drives || bad drives "not both drives listed"
addr=${addr:-0,0,0}
saddr=${saddr:-2,0,0}

# The ATAPI drive has no capability page; the virtio-scsi drive's says it
# writes nothing and reads at up to 16x.
run caps $SC caps "$addr"
[ $rc = 0 ] && has caps.out "writes CD-R: no" && has caps.out "writes CD-RW: no" && ok caps ||
  bad caps "the capability query did not say it writes neither"
run caps-scsi $SC caps "$saddr"
[ $rc = 0 ] && has caps-scsi.out "writes CD-R: no" && has caps-scsi.out "max write speed: 16" && ok caps-scsi ||
  bad caps-scsi "the virtio-scsi drive's page was not read"

run read $SC read --events "$addr" /work/read.iso
[ $rc = 0 ] && [ "$(sha /work/read.iso 2>/dev/null)" = "$DISC_SHA" ] && ok read-identical ||
  bad read-identical "readcd's image differs from the disc (rc=$rc)"
has read.out "C readcd dev=$addr f=\"/work/read.iso\"" && ok read-line || bad read-line "not the window's readcd line"
grep -q '^P [0-9]' /tmp/read.out && grep -qx 'P 100' /tmp/read.out && ok read-progress || bad read-progress "no progress events up to 100"

# Each drive, read back through readcd by its address, holds the disc just
# read (before a burn or blank below gives the tray its -eject).
run verify-ide $SC verify "$addr" /work/read.iso
v1=$rc
run verify-scsi $SC verify "$saddr" /work/read.iso
[ $v1 = 0 ] && [ $rc = 0 ] && has verify-ide.out "Disc verified: it matches the image." &&
  has verify-scsi.out "Reading the disc in $saddr back" && has verify-scsi.out "Disc verified: it matches the image." && ok verify ||
  bad verify "the drives did not read back the disc's image"


run cdimage $SC cdimage --events /dev/sr0 /work/dd.iso
[ $rc = 0 ] && [ "$(sha /work/dd.iso 2>/dev/null)" = "$DISC_SHA" ] && ok cdimage-identical ||
  bad cdimage-identical "dd's image differs from the disc (rc=$rc)"
has cdimage.out "C dd if=/dev/sr0 of=\"/work/dd.iso\" status=progress" && ok cdimage-line || bad cdimage-line "not the window's dd line"
grep -qx 'P 100' /tmp/cdimage.out && ok cdimage-progress || bad cdimage-progress "no progress event of 100"

run bootimage $SC bootimage /dev/sr0
[ $rc = 0 ] && [ "$(sha /opt/spindle/image1.bin 2>/dev/null)" = "$BOOT_SHA" ] && ok bootimage ||
  bad bootimage "bbie did not give the boot file back (rc=$rc)"

run burn $SC burn --events --simulate "$addr" /work/read.iso
has burn.out "C cdrecord -eject -v driveropts=burnfree dev=$addr -dummy speed=1 \"/work/read.iso\" gracetime=1" &&
  has burn.out "Sorry, no CD/DVD-Recorder or unsupported CD/DVD-Recorder found" && ok burn-reached ||
  bad burn-reached "the simulated burn did not reach wodim's verdict"
[ $rc != 0 ] && has burn.err "This drive cannot write CDs" && ok burn-cause || bad burn-cause "no cause line (rc=$rc)"

run blank $SC blank --events "$addr" fast
has blank.out "C cdrecord -eject dev=$addr blank=fast" && ok blank-reached || bad blank-reached "not the window's blank line"
[ $rc != 0 ] && has blank.err "This drive cannot write CDs" && ok blank-cause || bad blank-cause "no cause line (rc=$rc)"

run alice su -s /bin/sh alice -c "$SC drives"
[ $rc = 0 ] && has alice.out "QEMU DVD-ROM" && ok user-in-cdrom || bad user-in-cdrom "alice (in cdrom) does not see the drive"

run bob su -s /bin/sh bob -c "$SC drives"
[ $rc != 0 ] && has bob.err "No CD-ROM devices found" &&
  has bob.err "Found 2 CD drives (/dev/sr0, /dev/sr1), but you may not open /dev/sr0: its device files belong to the group cdrom, and you are not in that group. To fix it: sudo adduser bob cdrom, then log out and log in again." &&
  ok user-not-in-cdrom || bad user-not-in-cdrom "bob (not in cdrom) did not get the diagnosis"

run bob-scan su -s /bin/sh bob -c "$SC exec /opt/spindle/cdrecord -scanbus"
[ $rc != 0 ] && has bob-scan.out "Cannot open SCSI driver" &&
  has bob-scan.err "cdrecord may not open the drive: its device files do not let you read and write them." &&
  has bob-scan.err "Found 2 CD drives (/dev/sr0, /dev/sr1), but you may not open /dev/sr0" && ok scan-cause ||
  bad scan-cause "the refused scan has no cause line with the diagnosis (rc=$rc)"

run bob-cdimage su -s /bin/sh bob -c "$SC cdimage /dev/sr0 /tmp/bob.iso"
[ $rc != 0 ] && has bob-cdimage.err "You may not open /dev/sr0 (permission denied)." && ok cdimage-refused ||
  bad cdimage-refused "dd's refusal has no cause line (rc=$rc)"

run bob-read su -s /bin/sh bob -c "$SC read $addr /tmp/bob.iso"
[ $rc != 0 ] && has bob-read.err "readcd may not open the drive: its device files do not let you read and write them." && has bob-read.err "Found 2 CD drives (/dev/sr0, /dev/sr1)" &&
  ok read-refused || bad read-refused "readcd's refusal has no cause line (rc=$rc)"

run doctor su -s /bin/sh bob -c "$SC doctor"
[ $rc = 0 ] && has doctor.out "/dev/sg0: owner 0, group cdrom, mode 0660, you may not read and write it" &&
  has doctor.out "cdrecord: /opt/spindle/cdrecord: wodim (Wodim 1." && ok doctor ||
  bad doctor "the whole check is not as expected"

# cdrskin behind cdrecord: the same scan, its own capability query, a
# simulated burn, and the same diagnosis for bob.
run skin-drives $SK drives
[ $rc = 0 ] && has skin-drives.out "[$addr] QEMU    QEMU DVD-ROM" && has skin-drives.out "[$saddr] QEMU    QEMU CD-ROM" &&
  ok skin-drives || bad skin-drives "cdrskin's scan did not list both drives"
run skin-caps $SK caps "$saddr"
s1=$rc
run skin-caps-ide $SK caps "$addr"
[ $s1 = 0 ] && [ $rc = 0 ] && has skin-caps.out "writes CD-R: no" && has skin-caps.out "max write speed: 16" &&
  has skin-caps-ide.out "writes CD-R: no" && ok skin-caps || bad skin-caps "cdrskin's answers were not read"
run skin-caps-none $SK caps 1,0,0
s1=$rc
run caps-none $SC caps 1,0,0
[ $s1 = 1 ] && has skin-caps-none.err "No drive answers at this address" && [ $rc = 1 ] && ok skin-caps-failed ||
  bad skin-caps-failed "a query of no drive did not fail with both recorders"
run skin-burn $SK burn --events --simulate "$saddr" /work/read.iso
has skin-burn.out "C cdrecord -eject -v driveropts=burnfree dev=$saddr -dummy speed=1 \"/work/read.iso\" gracetime=1" &&
  [ $rc != 0 ] && has skin-burn.err "There is no disc in the drive that cdrskin can write to" && ok skin-burn ||
  bad skin-burn "cdrskin's simulated burn did not fail with its cause (rc=$rc)"
run skin-bob su -s /bin/sh bob -c "$SK drives"
[ $rc != 0 ] && has skin-bob.err "No CD-ROM devices found" &&
  has skin-bob.err "but you may not open /dev/sr0: its device files belong to the group cdrom, and you are not in that group." &&
  ok skin-user-not-in-cdrom || bad skin-user-not-in-cdrom "bob did not get the diagnosis with cdrskin"
run skin-bob-scan su -s /bin/sh bob -c "$SK exec /opt/spindle-skin/cdrecord -scanbus"
[ $rc != 0 ] && has skin-bob-scan.out "Permission denied" &&
  has skin-bob-scan.err "cdrskin may not open the drive (permission denied)." &&
  has skin-bob-scan.err "Found 2 CD drives (/dev/sr0, /dev/sr1)" && ok skin-scan-cause ||
  bad skin-scan-cause "cdrskin's refused scan (exit 0) is no failure with the diagnosis (rc=$rc)"
run skin-doctor $SK doctor
[ $rc = 0 ] && has skin-doctor.out "cdrecord: /opt/spindle-skin/cdrecord: cdrskin (cdrskin 1." && ok skin-doctor ||
  bad skin-doctor "doctor did not name cdrskin"
