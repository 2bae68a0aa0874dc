# SPDX-License-Identifier: MIT
# Sourced by the scenarios, inside the guest: start X, run the real program,
# drive it with the mouse and the keyboard as a user would, and leave marks
# in the UART trace so the host can tell the phases apart.
set -euo pipefail
REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
BUILD=${WIRE_BUILD_DIR:-$REPO/build}
PROGRAM=$BUILD/dtr-pulse-out
# A sanitized build's program fails its exit status on any error or leak of its own.
RESULTS=/tmp/out/results
: >"$RESULTS"
source "$REPO/scripts/xvfb.sh"

# Centres of the controls, in window pixels.
declare -A AT=(
  [field]="40 50" [arrow]="105 50" [start]="64 84" [pulse]="64 120" [stop]="64 160"
)

# A mark: a write of N (1-255) to ttyS1's scratch register, which no line
# follows; it shows in the trace beside the line writes.
mark() { printf "\\x$(printf %02x "$1")" | dd of=/dev/port bs=1 seek=$((0x2ff)) conv=notrunc status=none; }

result() { echo "$1=$2" >>"$RESULTS"; }

# Starts an instance of the program; sets PID and WIN (its window).
KNOWN= # windows already accounted for, one a line
launch() {
  # Only windows that exist now: X hands a new client the window ids of one
  # that has gone.
  KNOWN=$(xdotool search --name '^DTR Pulse Out$' 2>/dev/null || true)
  "$PROGRAM" & PID=$!
  WIN=
  for _ in $(seq 600); do
    WIN=$(new_window)
    [[ -n $WIN ]] && break
    sleep 0.1
  done
  [[ -n $WIN ]] || { echo "no window from $PROGRAM" >&2; exit 1; }
  KNOWN+=$'\n'$WIN
  sleep 1 # first paint and focus
  xdotool windowfocus --sync "$WIN"
}

new_window() { xdotool search --name '^DTR Pulse Out$' 2>/dev/null | grep -vxF -e "${KNOWN:-none}" | head -n1 || true; }

click() { xdotool mousemove --window "$WIN" ${AT[$1]} click 1; }
key() { xdotool windowfocus --sync "$WIN"; xdotool key "$@"; }

# Picks entry N from the dropped list with the keyboard.
pick() {
  click arrow; sleep 1
  xdotool key Home # the first entry, wherever the highlight starts
  for _ in $(seq 2 "$1"); do xdotool key Down; done
  xdotool key Return; sleep 0.5
}

# Replaces the edit field's text by typing.
type_port() { click field; xdotool key ctrl+a; xdotool type --delay 50 "$1"; }

# The error report: a second window captioned like the main one. Focuses it
# (at most 30 s to appear).
focus_report() {
  local box=
  for _ in $(seq 300); do
    box=$(new_window)
    [[ -n $box ]] && break
    sleep 0.1
  done
  [[ -n $box ]] || { echo "no error report appeared" >&2; return 1; }
  sleep 0.5
  xdotool windowfocus --sync "$box"
}

# Dismisses the report from the keyboard.
dismiss_report() { focus_report; xdotool key Return; }

# Reads the report's text (Ctrl+C copies it), records it on one line under
# NAME, and dismisses the report.
read_report() {
  focus_report
  xdotool key ctrl+c; sleep 0.5
  result "$1" "$("$BUILD/tests/wire/clipboard" | tr '\n' ' ')"
  xdotool key Return
}

# Pulls the USB adapter behind ttyUSB0 out, or puts it back, the way the
# kernel sees a cable pulled: the device is disconnected from its driver,
# the open tty hung up and its node removed.
usb_device() { readlink -f /sys/class/tty/ttyUSB0/device/../..; } # port, interface, device
unplug() { echo 0 >"$1/authorized"; }
replug() { echo 1 >"$1/authorized"; }

# Waits (at most 20 s) until DEVICE is there (SHOULD=1) or gone (SHOULD=0).
await_device() {
  for _ in $(seq 200); do
    if [[ -e $1 ]]; then [[ $2 == 1 ]] && return 0; else [[ $2 == 0 ]] && return 0; fi
    sleep 0.1
  done
  echo "$1 did not $([[ $2 == 1 ]] && echo appear || echo go)" >&2; return 1
}

# Waits (at most 30 s) until the program's thread is asleep in a pulse. Reads
# with builtins only: on a busy machine a process started per look can take
# longer than the pulse lasts.
in_pulse() {
  local wchan end=$((SECONDS + 30))
  while ((SECONDS < end)); do
    wchan=
    read -r wchan <"/proc/$PID/wchan" 2>/dev/null || true # no newline at its end
    [[ $wchan == *nanosleep* ]] && return 0
  done
  echo "no pulse under way" >&2; return 1
}

# Waits (at most 30 s) until PID has DEVICE open.
await_open() {
  for _ in $(seq 600); do
    ls -l "/proc/$PID/fd" 2>/dev/null | grep -q -- "-> $1\$" && return 0
    sleep 0.05
  done
  echo "$PROGRAM never opened $1" >&2; return 1
}

# Waits (at most 60 s) for PID to end; records its status under NAME.
wait_exit() {
  local name=$1 pid=$2 status=timeout
  for _ in $(seq 600); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if ! kill -0 "$pid" 2>/dev/null; then set +e; wait "$pid"; status=$?; set -e; fi
  result "$name" "$status"
}

start_xvfb
# The guest's UARTs as the program's port list sees them: ttyS0 and ttyS1
# known (ports 1 and 2), ttyS2 and ttyS3 registered without hardware (type 0).
result uarts "$(cd /sys/class/tty && for t in ttyS*; do printf '%s:%s ' "$t" "$(cat "$t/type")"; done)"
