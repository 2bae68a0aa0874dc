#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Boots a throwaway Linux guest on QEMU with two emulated 16550 UARTs, runs
# one script in it, and brings back its exit status and a trace of every
# write the guest made to the second UART's registers.
#
#   guest.sh OUTDIR SCRIPT [TIMEOUT_SECONDS]
#   guest.sh --limit SCRIPT      prints the time limit SCRIPT gets
#
# Without TIMEOUT_SECONDS, the guest's time limit follows from what SCRIPT
# says it does, in a line "# wire: launches N waits M" (lib.sh fails a run
# that needs more): see limit_for.
#
# The guest mounts the host's / read-only (so the host's build of the
# program, Qt and Xvfb run unchanged), with tmpfs on /tmp, /run, /root and
# the like, and OUTDIR writable at /tmp/out, where SCRIPT runs as root. The
# first UART (ttyS0) is the guest's console, logged to OUTDIR/console.log;
# the second (ttyS1, I/O port 0x2f8) goes to a null backend: nothing on the
# host is touched.
#
# A scenario that says "# wire: wine" runs Windows programs under the host's
# Wine: it needs WIRE_WINE_PREFIX, a prefix made on the host by
# scripts/wine-prefix create, which the guest lays read-only under a scratch
# layer, with COM2 pinned to its ttyS1 and every other COM port left as the
# prefix has it; WIRE_WINDOWS_EXE, if set, is passed on as a path the guest
# can open.
#
# Leaves in OUTDIR: status (SCRIPT's exit status), guest.log (its output),
# trace.log (QEMU's memory_region_ops_write rows, microsecond stamps) and
# usb_trace.log (the USB adapter's control requests, where there is one).
# Exits 0 when the guest ran SCRIPT, 77 when no guest can boot here, and 1
# when the guest failed or outlived the timeout (it is killed then).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# Seconds for the boot, the modules and Xvfb (under 10 on a quiet machine);
# then for each launch of the program (2-3; Wine's: wine_lib.sh allows two
# tries of 240 s); then for each wait for an event and the processes around
# it (under 1-2). Each many times what a quiet machine needs: a busy one
# passes slowly instead of failing.
readonly BOOT_S=120 LAUNCH_S=60 WINE_LAUNCH_S=480 WAIT_S=20
limit_for() {
  local line launches waits launch=$LAUNCH_S
  line=$(grep -m1 -E '^# wire: launches [0-9]+ waits [0-9]+$' "$1") || {
    echo "wire: $1 does not say what it does: '# wire: launches N waits M'" >&2
    return 1
  }
  read -r _ _ _ launches _ waits <<<"$line"
  if grep -qx '# wire: wine' "$1"; then launch=$WINE_LAUNCH_S; fi
  echo $((BOOT_S + launches * launch + waits * WAIT_S))
}
if [[ ${1:-} == --limit ]]; then limit_for "$2"; exit; fi

out=$(realpath "$1")
script=$(realpath "$2")
limit=${3:-$(limit_for "$script")}

skip() { echo "wire: SKIP: $*" >&2; exit 77; }
command -v qemu-system-x86_64 >/dev/null || skip "qemu-system-x86_64 is not installed"
[[ -x /bin/busybox ]] || skip "busybox-static is not installed"
kernel=$(ls -1 /boot/vmlinuz-* 2>/dev/null | sort -V | tail -n1)
[[ -n $kernel && -r $kernel ]] || skip "no readable kernel in /boot (linux-image-amd64)"
version=${kernel#/boot/vmlinuz-}
[[ -d /lib/modules/$version ]] || skip "no modules for kernel $version"

# The initramfs depends on the kernel, the modules and the init: built once for each.
modules=(virtio_pci 9pnet_virtio 9p xhci_pci usbserial ftdi_sio overlay)
cache=${WIRE_CACHE:-$here/../../build/wire}
initrd=$cache/initramfs-$version-$( (echo "${modules[*]}"; cat "$here/guest-init") | md5sum | cut -c1-8).cpio.gz
if [[ ! -s $initrd ]]; then
  mkdir -p "$cache"
  tree=$(mktemp -d)
  trap 'rm -rf "$tree"' EXIT
  mkdir -p "$tree"/{bin,dev,proc,sys,newroot,modules}
  cp /bin/busybox "$tree/bin/busybox"
  for applet in sh mount umount insmod mkdir chroot poweroff cat sync sleep; do ln -s busybox "$tree/bin/$applet"; done
  : >"$tree/modules.list"
  for module in "${modules[@]}"; do
    modprobe -S "$version" --show-depends "$module" | awk '$1 == "insmod" {print $2}'
  done | awk '!seen[$0]++' | while read -r ko; do
    cp "$ko" "$tree/modules/"
    basename "$ko" >>"$tree/modules.list"
  done
  cp "$here/guest-init" "$tree/init"
  chmod +x "$tree/init"
  (cd "$tree" && find . | cpio -o -H newc --quiet | gzip -1) >"$initrd.tmp"
  mv "$initrd.tmp" "$initrd"
  rm -rf "$tree"
  trap - EXIT
fi

accel="tcg -cpu max"
# KVM only where the CPU itself shows it: a nested layer without vmx/svm boots far slower than TCG.
if [[ -w /dev/kvm ]] && grep -qwE 'vmx|svm' /proc/cpuinfo; then accel="kvm -cpu host"; fi

append=
wine=
if grep -qx '# wire: wine' "$script"; then
  [[ -x /usr/lib/wine/wine64 ]] || skip "wine64 is not installed"
  prefix=${WIRE_WINE_PREFIX:-}
  if [[ ! -f $prefix/system.reg ]]; then
    echo "wire: $script runs under Wine: set WIRE_WINE_PREFIX to a prefix made by scripts/wine-prefix create" >&2
    exit 1
  fi
  # Wine 8 under TCG: every Wine process dies on a kernel oops at iretq with SMAP.
  append=" clearcpuid=smap"
  prefix=/run/host$(realpath "$prefix")
  exe=${WIRE_WINDOWS_EXE:+/run/host$(realpath "$WIRE_WINDOWS_EXE")}
  # The host's prefix under a scratch layer: Wine writes its registry and
  # dosdevices as it runs, and the host's copy stays as it was.
  # Any step failing ends the run: Wine on an empty WINEPREFIX would make a
  # prefix of its own, whose COM1 is the guest's console.
  scripts=$(realpath "$here/../../scripts")
  wine=$(cat <<WINE
set -e
mkdir -p /run/wine/upper /run/wine/work /run/wine/prefix
mount -t overlay wine -o lowerdir=$(printf %q "$prefix"),upperdir=/run/wine/upper,workdir=/run/wine/work /run/wine/prefix
source $(printf %q "$scripts/wine-env.sh") /run/wine/prefix
bash $(printf %q "$scripts/wine-prefix") pin /run/wine/prefix 2 /dev/ttyS1
export WIRE_WINDOWS_EXE=$(printf %q "$exe")
set +e
WINE
)
fi

mkdir -p "$out"
rm -f "$out"/{status,guest.log,trace.log,usb_trace.log,console.log}
cat >"$out/run.sh" <<RUN
#!/bin/bash
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8
export WIRE_BUILD_DIR=$(printf '%q' "${WIRE_BUILD_DIR:-$here/../../build}")
# A checkout or build under a directory the guest covers with scratch (/tmp,
# /run, /root) comes back from the host's tree.
for dir in $(printf '%q' "$(realpath "$here/../..")") "\$WIRE_BUILD_DIR"; do
  if [[ ! -e \$dir ]]; then mkdir -p "\$dir" && mount --bind "/run/host\$dir" "\$dir"; fi
done
$wine
cd /tmp/out
bash $(printf '%q' "$script")
RUN

# A scenario that says "# wire: usb-serial" also gets a USB serial adapter:
# an FTDI FT232 on an xHCI controller, the guest's /dev/ttyUSB0.
# Its control requests (SET_MODEM_CTRL among them) are traced too.
usb=()
if grep -qx '# wire: usb-serial' "$script"; then
  usb=(-device qemu-xhci,id=xhci -chardev null,id=usbline
       -device usb-serial,id=adapter,chardev=usbline,bus=xhci.0,always-plugged=on
       -trace enable=usb_serial_handle_control)
fi

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
if [[ $qemu -eq 124 || $qemu -eq 137 ]]; then
  echo "wire: the guest outlived ${limit}s and was killed" >&2; exit 1
fi
if [[ ! -s $out/status ]]; then
  echo "wire: the guest ended without running the script (qemu exit $qemu); console:" >&2
  tail -n 30 "$out/console.log" >&2 || true
  cat "$out/qemu.log" >&2 || true
  exit 1
fi
exit 0
