# SPDX-License-Identifier: MIT
# Sourced by the scenarios, inside the guest: start X, run the real program,
# drive it with the mouse and the keyboard as a user would, wait for what
# each action does (await.sh), and leave marks in the UART trace so the host
# can tell the phases apart.
set -euo pipefail
REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
BUILD=${WIRE_BUILD_DIR:-$REPO/build}
PROGRAM=$BUILD/dtr-pulse-out
# A sanitized build's program fails its exit status on any error or leak of its own.
RESULTS=/tmp/out/results
: >"$RESULTS"
source "$REPO/scripts/xvfb.sh"
source "$(dirname "${BASH_SOURCE[0]}")/await.sh"

CAPTION='^DTR Pulse Out$'
# Centres of the controls, in window pixels.
declare -A AT=(
  [field]="40 50" [arrow]="105 50" [start]="64 84" [pulse]="64 120" [stop]="64 160"
)

# A mark: a write of N (1-255) to ttyS1's scratch register, which no line
# follows; it shows in the trace beside the line writes.
mark() { printf "\\x$(printf %02x "$1")" | dd of=/dev/port bs=1 seek=$((0x2ff)) conv=notrunc status=none; }

result() { echo "$1=$2" >>"$RESULTS"; }

# --- The program as the kernel sees it: builtins only, each look far
# shorter than a pulse.

# The program (PID) still runs; else the scenario ends here, saying so.
alive() {
  local stat=
  read -r stat 2>/dev/null <"/proc/$PID/stat" || true
  stat=${stat##*) }
  [[ -n $stat && $stat != Z* ]] || fail "$PROGRAM (pid $PID) ended"
}

# Its main thread asleep in a pulse (the sleep service's clock_nanosleep).
asleep() {
  local wchan=
  read -r wchan 2>/dev/null <"/proc/$PID/wchan" || true # no newline at its end
  [[ $wchan == *nanosleep* ]]
}

# Which sleep its main thread is in, into SLEEP: the count of its voluntary
# context switches, which holds still while it sleeps and grows with each
# new sleep. Two pulses can be told apart by it however short the gap
# between them, which a look every few milliseconds can miss.
sleep_count() {
  local key value
  SLEEP=
  while read -r key value; do
    [[ $key == voluntary_ctxt_switches: ]] && SLEEP=$value && return 0
  done 2>/dev/null <"/proc/$PID/status"
  return 1
}

# Its main thread asleep in the event loop's poll: every input it had is
# handled. It never sleeps there between a pulse and a click queued during
# it (seen: running, or a moment in a futex), so this follows a pulse's end.
idle() {
  local stat= wchan=
  read -r stat 2>/dev/null <"/proc/$PID/stat" || true
  read -r wchan 2>/dev/null <"/proc/$PID/wchan" || true
  stat=${stat##*) }
  [[ $stat == S* && $wchan == *poll* ]]
}

# It holds DEVICE open.
holds() {
  local fd
  for fd in /proc/"$PID"/fd/*; do [[ $fd -ef $1 ]] && return 0; done 2>/dev/null
  return 1
}

# It no longer holds DEVICE, whose node may be gone: the link's text, read
# by a process per look (its link still reads "DEVICE (deleted)").
released() { alive; ! ls -l "/proc/$PID/fd" 2>/dev/null | grep -qF -- "-> $1"; }

# CPU it has used, in clock ticks (user + system), into TICKS.
cpu_ticks() {
  local stat
  read -r stat <"/proc/$PID/stat"
  local fields=(${stat##*) }) # from field 3 on: utime is 14, stime 15
  TICKS=$((fields[11] + fields[12]))
}

# Whether PID has ended (a zombie counts: it has, and wait reads its status).
gone() {
  local stat=
  read -r stat 2>/dev/null <"/proc/$1/stat" || return 0
  stat=${stat##*) }
  [[ $stat == Z* ]]
}

# --- Its windows, as X shows them: a process per look.

# The viewable windows of the program (PID), with more search criteria.
program_windows() { xdotool search --all --onlyvisible --pid "$PID" "$@" 2>/dev/null || true; }

shown() { alive; WIN=$(program_windows --name "$CAPTION" | head -n1); [[ -n $WIN ]]; }
popup_shown() { alive; [[ -n $(program_windows | grep -vxF "$WIN") ]]; }
popup_gone() { alive; [[ -z $(program_windows | grep -vxF "$WIN") ]]; }
# The error report: a second window of the program's with its caption; sets REPORT.
report_shown() { alive; REPORT=$(program_windows --name "$CAPTION" | grep -vxF "$WIN" | head -n1); [[ -n $REPORT ]]; }

# Gives WINDOW the keyboard focus (there is no window manager to give it)
# and waits until it has it.
focus() { within "the focus on window $1" 60 xdotool windowfocus --sync "$1"; }

# --- What a user does, each waiting for what it brings about.

# Starts an instance of the program, as AS says where set (a command that
# execs the rest as another user); sets PID and WIN (its window), once the
# window is viewable (a focus before that fails) and has the focus.
AS=()
launch() {
  LAUNCHES=$((LAUNCHES + 1))
  "${AS[@]}" "$PROGRAM" & PID=$!
  WIN= PULSE_SLEEP=
  await "the window of $PROGRAM (pid $PID) shown" 120 0.2 shown
  focus "$WIN"
}

click() { xdotool mousemove --window "$WIN" ${AT[$1]} click 1; }
key() { within "keys $* to window $WIN" 60 xdotool windowfocus --sync "$WIN" key "$@"; }

# Picks entry N from the dropped list with the keyboard. Until the list has
# closed it holds the pointer, and a click elsewhere would only close it.
pick() {
  local keys=(Home) i # Home: the first entry, wherever the highlight starts
  for ((i = 2; i <= $1; i++)); do keys+=(Down); done
  click arrow
  await "the port list dropped" 60 0.1 popup_shown
  xdotool key "${keys[@]}" Return
  await "entry $1 picked, the list closed" 60 0.1 popup_gone
}

# Replaces the edit field's text by typing. Nothing outside shows that the
# program has the text; it takes its input in order, so the next action's
# own event comes after the text is in.
type_port() { xdotool mousemove --window "$WIN" ${AT[field]} click 1 key ctrl+a type --delay 50 "$1"; }

# Start, until it has had its effect: the program holds DEVICE and is idle
# again (the lines lowered), or its error report is up. Sets OPENED to yes
# or no.
start() {
  click start
  LOOKS=0
  await "Start: $1 opened or a report shown" 60 0.05 start_done "$1"
}
start_done() {
  alive
  if holds "$1" && idle; then OPENED=yes; return 0; fi
  # A look for the report takes a process: one look in twenty.
  ((++LOOKS % 20 == 0)) && report_shown && OPENED=no
}

# A pulse under way: ACTION (default: a click on Pulse Out) runs in the
# background while the main thread is watched, so a pulse cannot pass
# unseen while a process starts or ends. The action's effect is the proof
# that it ran; it is not waited for.
begin_pulse() {
  if (($#)); then "$@" & else click pulse & fi
  await "a pulse begun" 60 0.01 pulse_begun
}
# Asleep in a pulse other than the last one seen (PULSE_SLEEP), which it
# becomes: the count read on both sides of the look, so that it is this
# sleep's.
pulse_begun() {
  local before
  if sleep_count && before=$SLEEP && asleep && sleep_count &&
    [[ $SLEEP == "$before" && $SLEEP != "$PULSE_SLEEP" ]]; then
    PULSE_SLEEP=$SLEEP
    return 0
  fi
  alive
  return 1
}
# Still asleep in the pulse last seen begun.
same_pulse() { sleep_count && [[ $SLEEP == "$PULSE_SLEEP" ]] && asleep; }

# A whole pulse: begun, then over (the program idle again).
pulse() {
  begin_pulse "$@"
  end_pulses
}
end_pulses() { await "the pulse over" 60 0.01 idle_alive; }
idle_alive() { idle || { alive; return 1; }; }

# The error report up (focused: no window manager gives it the focus); sets REPORT.
await_report() {
  await "an error report shown" 60 0.2 report_shown
  focus "$REPORT"
}

# Dismisses the report from the keyboard.
dismiss_report() { await_report; xdotool key Return; }

# Reads the report's text (Ctrl+C copies it), records it on one line under
# NAME, and dismisses the report.
read_report() {
  local text
  await_report
  xdotool key ctrl+c
  within "the report's text on the clipboard" 70 "$BUILD/tests/wire/clipboard" 60 >"$XVFB_RUNTIME/clipboard"
  mapfile -t text <"$XVFB_RUNTIME/clipboard"
  result "$1" "${text[*]}"
  xdotool key Return
}

# The frame's close control: WM_DELETE_WINDOW, sent as a window manager
# would. arm_close MARK starts the sender ahead (a process start here takes
# most of a pulse); frame_close fires it, and it writes MARK once the close
# is out.
arm_close() {
  mkfifo "$XVFB_RUNTIME/close"
  "$BUILD/tests/wire/wm_delete" "$WIN" "$1" <>"$XVFB_RUNTIME/close" & CLOSER=$! # read-write: no wait for a writer
}
frame_close() { echo >"$XVFB_RUNTIME/close"; wait "$CLOSER"; rm "$XVFB_RUNTIME/close"; }

# Waits for PID to end; records its exit status under NAME.
wait_exit() {
  local status
  await "pid $2 ended" 60 0.05 gone "$2"
  set +e; wait "$2"; status=$?; set -e
  result "$1" "$status"
}

# Pulls the USB adapter behind ttyUSB0 out, or puts it back, the way the
# kernel sees a cable pulled: the device is disconnected from its driver,
# the open tty hung up and its node removed.
usb_device() { readlink -f /sys/class/tty/ttyUSB0/device/../..; } # port, interface, device
unplug() { echo 0 >"$1/authorized"; }
replug() { echo 1 >"$1/authorized"; }

# Waits until DEVICE is there (SHOULD=1) or gone (SHOULD=0).
await_device() {
  if (($2)); then await "$1 there" 60 0.1 test -e "$1"; else await "$1 gone" 60 0.1 test ! -e "$1"; fi
}

# Scenario ends: whatever a library adds (stop_programs), then X; a run that
# passed must have kept to its declared launches and waits.
stop_programs() { :; }
finish() {
  local status=$?
  ((status != 0)) || (check_budget) || status=1
  stop_programs
  stop_xvfb
  exit "$status"
}

start_xvfb
trap finish EXIT
# The guest's UARTs as the program's port list sees them: ttyS0 and ttyS1
# known (ports 1 and 2), ttyS2 and ttyS3 registered without hardware (type 0).
result uarts "$(cd /sys/class/tty && for t in ttyS*; do printf '%s:%s ' "$t" "$(cat "$t/type")"; done)"
