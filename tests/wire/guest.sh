#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs SCRIPTs one after another in one throwaway QEMU guest (README: On the
# wire), each as root in a session of its own in /tmp/out/NAME.
#   guest.sh OUTDIR SCRIPT...     leaves NAME/{status,guest.log,results},
#                                 trace.log and usb_trace.log in OUTDIR
#   guest.sh --limit SCRIPT...    prints the time limit those SCRIPTs get
# Exits 77 when no guest can boot here, 1 when it failed or outlived its limit.
# Wine scenarios run the WIRE_WINDOWS_EXE in a scratch layer over WIRE_WINE_PREFIX.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# What SCRIPT declares, into LAUNCHES, WAITS, WINE (yes or no) and PINS:
#   # wire: launches N waits M   program launches and waits for an event: the
#                                time limit (lib.sh fails a run needing more)
#   # wire: wine                 it runs the Windows build under Wine
#   # wire: pin N TARGET         COMn opens TARGET (a device path, or absent)
declared() {
  local line
  line=$(grep -m1 -E '^# wire: launches [0-9]+ waits [0-9]+$' "$1") || {
    echo "wire: $1 does not say what it does: '# wire: launches N waits M'" >&2
    return 1
  }
  read -r _ _ _ LAUNCHES _ WAITS <<<"$line"
  if grep -qx '# wire: wine' "$1"; then WINE=yes; else WINE=no; fi
  mapfile -t PINS < <(sed -n 's/^# wire: pin \([0-9][0-9]*\) \(absent\|\/[^ ]*\)$/\1 \2/p' "$1")
}

# Seconds for the boot (under 10 on a quiet machine), Wine's boot (20-120),
# a launch (2-3; Wine's: two tries of a boot and a start) and a wait (1-2),
# many times over: a busy machine passes slowly instead of failing.
readonly BOOT_S=120 WINE_BOOT_S=300 LAUNCH_S=60 WINE_LAUNCH_S=480 WAIT_S=20
limit_for() {
  local total=$BOOT_S script launch wine=no
  for script; do
    declared "$script" || return 1
    launch=$LAUNCH_S
    [[ $WINE == no ]] || launch=$WINE_LAUNCH_S wine=yes
    total=$((total + LAUNCHES * launch + WAITS * WAIT_S))
  done
  [[ $wine == no ]] || total=$((total + WINE_BOOT_S))
  echo "$total"
}
if [[ ${1:-} == --limit ]]; then shift; limit_for "$@"; exit; fi

(($# >= 2)) || { echo "usage: guest.sh OUTDIR SCRIPT... | guest.sh --limit SCRIPT..." >&2; exit 2; }
out=$(realpath "$1")
shift
mapfile -t scripts < <(realpath "$@")
limit=$(limit_for "${scripts[@]}")

skip() { echo "wire: SKIP: $*" >&2; exit 77; }
command -v qemu-system-x86_64 >/dev/null || skip "qemu-system-x86_64 is not installed"
[[ -x /bin/busybox ]] || skip "busybox-static is not installed"
kernel=$(ls -1 /boot/vmlinuz-* 2>/dev/null | sort -V | tail -n1)
[[ -n $kernel && -r $kernel ]] || skip "no readable kernel in /boot (linux-image-amd64)"
version=${kernel#/boot/vmlinuz-}
[[ -d /lib/modules/$version ]] || skip "no modules for kernel $version"

# One initramfs for each kernel, module list and init.
modules=(virtio_pci 9pnet_virtio 9p xhci_pci usbserial ftdi_sio overlay)
cache=${WIRE_CACHE:-$here/../../build/wire}
initrd=$cache/initramfs-$version-$( (echo "${modules[*]}"; cat "$here/guest-init") | md5sum | cut -c1-8).cpio.gz
if [[ ! -s $initrd ]]; then
  mkdir -p "$cache"
  tree=$(mktemp -d)
  trap 'rm -rf "$tree"' EXIT
  mkdir -p "$tree"/{bin,dev,proc,sys,newroot,modules}
  cp /bin/busybox "$tree/bin/busybox"
  for applet in sh mount umount insmod mkdir chroot poweroff cat sync; do ln -s busybox "$tree/bin/$applet"; done
  for module in "${modules[@]}"; do
    modprobe -S "$version" --show-depends "$module" | awk '$1 == "insmod" {print $2}'
  done | awk '!seen[$0]++' | while read -r ko; do
    cp "$ko" "$tree/modules/"
    basename "$ko"
  done >"$tree/modules.list"
  install -m 755 "$here/guest-init" "$tree/init"
  (cd "$tree" && find . | cpio -o -H newc --quiet | gzip -1) >"$initrd.tmp"
  mv "$initrd.tmp" "$initrd"
fi

accel="tcg -cpu max"
# KVM only where the CPU itself shows it: a nested layer without vmx/svm boots far slower than TCG.
if [[ -w /dev/kvm ]] && grep -qwE 'vmx|svm' /proc/cpuinfo; then accel="kvm -cpu host"; fi

append='' wine='' wants_wine=no runs=''
declare -A pins=([2]=/dev/ttyS1) seen=() # COM2 is ttyS1 for every Wine scenario
for script in "${scripts[@]}"; do
  declared "$script"
  name=$(basename "$script" .sh) program=linux
  [[ -z ${seen[$name]:-} ]] || { echo "wire: $name twice in one guest" >&2; exit 1; }
  seen[$name]=1
  rm -rf "${out:?}/$name"
  [[ $WINE == no ]] || wants_wine=yes program=wine
  for pin in "${PINS[@]}"; do
    read -r n target <<<"$pin"
    [[ ${pins[$n]:-$target} == "$target" ]] || { echo "wire: COM$n pinned to two targets in one guest" >&2; exit 1; }
    pins[$n]=$target
  done
  runs+="scenario $name $program $LAUNCHES $WAITS $(printf '%q' "$script")"$'\n'
done
if [[ $wants_wine == yes ]]; then
  [[ -x /usr/lib/wine/wine64 ]] || skip "wine64 is not installed"
  prefix=${WIRE_WINE_PREFIX:-}
  if [[ ! -f $prefix/system.reg ]]; then
    echo "wire: a scenario runs under Wine: set WIRE_WINE_PREFIX to a prefix made by scripts/wine-prefix create" >&2
    exit 1
  fi
  # Wine 8 under TCG: every Wine process dies on a kernel oops at iretq with SMAP.
  append=" clearcpuid=smap"
  prefix=/run/host$(realpath "$prefix")
  exe=${WIRE_WINDOWS_EXE:+/run/host$(realpath "$WIRE_WINDOWS_EXE")}
  # Any step failing ends the run: Wine on an empty WINEPREFIX makes a prefix
  # whose COM1 is the guest's console.
  tools=$(realpath "$here/../../scripts")
  wine=$(cat <<WINE
set -e
mkdir -p /run/wine/upper /run/wine/work /run/wine/prefix
mount -t overlay wine -o lowerdir=$(printf %q "$prefix"),upperdir=/run/wine/upper,workdir=/run/wine/work /run/wine/prefix
source $(printf %q "$tools/wine-env.sh") /run/wine/prefix
$(for n in "${!pins[@]}"; do printf 'bash %q pin /run/wine/prefix %s %q\n' "$tools/wine-prefix" "$n" "${pins[$n]}"; done)
export WIRE_WINDOWS_EXE=$(printf %q "$exe")
set +e
# Wine's server and services start once: a cmd.exe reading a pipe nobody
# writes to keeps them up between scenarios.
timeout $WINE_BOOT_S "\$WINE" wineboot
log "Wine booted (status \$?)"
mkfifo /run/wine-hold
"\$WINE" cmd.exe </run/wine-hold >/dev/null 2>&1 &
exec {hold}>/run/wine-hold
WINE
)
fi

mkdir -p "$out"
rm -rf "$out"/{status,trace.log,usb_trace.log,console.log}
cat >"$out/run.sh" <<RUN
#!/bin/bash
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8
export WIRE_BUILD_DIR=$(printf '%q' "${WIRE_BUILD_DIR:-$here/../../build}")
# A checkout or build under the guest's scratch (/tmp, /run, /root): the host's.
for dir in $(printf '%q' "$(realpath "$here/../..")") "\$WIRE_BUILD_DIR"; do
  if [[ ! -e \$dir ]]; then mkdir -p "\$dir" && mount --bind "/run/host\$dir" "\$dir"; fi
done
log() { local up _; read -r up _ </proc/uptime; echo "[\$up] \$*"; }
source $(printf '%q' "$(realpath "$here/../../scripts/xvfb.sh")")
start_xvfb
log "Xvfb up on \$DISPLAY"
$wine
# scenario NAME PROGRAM LAUNCHES WAITS SCRIPT: after mark 255, in a session
# of its own that is killed when it ends.
scenario() {
  printf '\\xff' | dd of=/dev/port bs=1 seek=\$((0x2ff)) conv=notrunc status=none
  log "\$1 begins"
  mkdir -p /tmp/out/\$1
  cd /tmp/out/\$1
  WIRE_OUT=/tmp/out/\$1 WIRE_PROGRAM=\$2 WIRE_LAUNCHES=\$3 WIRE_WAITS=\$4 setsid bash "\$5" >guest.log 2>&1 &
  wait \$!
  echo \$? >status
  pkill -KILL -s \$! || true
}
$runs
RUN

# An FTDI FT232 on an xHCI controller: the guest's ttyUSB0 (port 3 there).
usb=(-device qemu-xhci,id=xhci -chardev null,id=usbline
     -device usb-serial,id=adapter,chardev=usbline,bus=xhci.0,always-plugged=on
     -trace enable=usb_serial_handle_control)

set +e
# shellcheck disable=SC2086
timeout -k 5 "$limit" qemu-system-x86_64 "${usb[@]}" \
  -accel $accel -m 2048 -smp 2 -nodefaults -no-user-config -display none -no-reboot \
  -kernel "$kernel" -initrd "$initrd" \
  -append "console=ttyS0 panic=-1 quiet loglevel=3 tsc=reliable$append" \
  -serial "file:$out/console.log" -serial null \
  -fsdev local,id=hostroot,path=/,security_model=none,readonly=on,multidevs=remap \
  -device virtio-9p-pci,fsdev=hostroot,mount_tag=hostroot \
  -fsdev local,id=out,path="$out",security_model=none,multidevs=remap \
  -device virtio-9p-pci,fsdev=out,mount_tag=out \
  -trace enable=memory_region_ops_write -D "$out/trace.full" -msg timestamp=on \
  </dev/null >"$out/qemu.log" 2>&1
qemu=$?
set -e
# Keep only the second UART's rows (0x2f8-0x2ff); the rest is console and virtio traffic.
grep -E "addr 0x2f[89a-f] " "$out/trace.full" >"$out/trace.log" 2>/dev/null || true
grep -F ":usb_serial_handle_control " "$out/trace.full" >"$out/usb_trace.log" 2>/dev/null || true
rm -f "$out/trace.full"
((qemu != 124 && qemu != 137)) || { echo "wire: the guest outlived ${limit}s and was killed" >&2; exit 1; }
if [[ ! -s $out/status ]]; then
  echo "wire: the guest ended without running the scenarios (qemu exit $qemu); console:" >&2
  tail -n 30 "$out/console.log" >&2 || true
  cat "$out/qemu.log" >&2 || true
  exit 1
fi
