# SPDX-License-Identifier: MIT
# Sourced by the scenarios in the guest: the words that drive either program
# as a user would. Waits are for events, never for a fixed time; a process
# start costs about 0.3 s under TCG, so looks use builtins where they can.
set -euo pipefail
REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
BUILD=${WIRE_BUILD_DIR:-$REPO/build}
OUT=${WIRE_OUT:-/tmp/out}
RESULTS=$OUT/results
: >"$RESULTS"
SCRATCH=$(mktemp -d) # the scenario's own pipes and files, in the guest's memory

CAPTION='^DTR Pulse Out$'
# Centres of the controls, in client-area pixels at 96 dpi.
declare -A AT=([field]="40 50" [arrow]="105 50" [start]="64 84" [pulse]="64 120" [stop]="64 160")
DX=0 DY=0 # where the client area starts in the program's X window

# A mark: N (1-254; 255 begins a scenario) written to ttyS1's scratch register.
mark() { printf "\\x$(printf %02x "$1")" | dd of=/dev/port bs=1 seek=$((0x2ff)) conv=notrunc status=none; }

result() { echo "$1=$2" >>"$RESULTS"; }
# The guest's uptime under t_NAME, and on each line of output: how far a run got.
stamp() { local up _; read -r up _ </proc/uptime; result "t_$1" "$up"; }
log() { local up _; read -r up _ </proc/uptime; echo "[$up] $*" >&2; }
fail() { log "wire: $*"; exit 1; }

# A nap: a read timing out on a FIFO nobody writes to (read-write: no wait to open).
mkfifo /run/wire-nap
exec {NAP}<>/run/wire-nap
rm /run/wire-nap
nap() { read -r -t "$1" -u "$NAP" _ || true; }

LAUNCHES=0 WAITS=0

# await WHAT LIMIT EVERY CONDITION...: CONDITION until it succeeds, napping
# EVERY seconds between looks (0: none), for at most LIMIT seconds.
await() {
  local what=$1 limit=$2 every=$3 end=$((SECONDS + $2))
  shift 3
  WAITS=$((WAITS + 1))
  until "$@"; do
    ((SECONDS < end)) || fail "$what: not within ${limit} s"
    [[ $every == 0 ]] || nap "$every"
  done
  log "$what"
}

# within WHAT LIMIT COMMAND...: a command that waits for its event itself.
within() {
  local what=$1 limit=$2
  shift 2
  WAITS=$((WAITS + 1))
  timeout "$limit" "$@" || fail "$what: not within ${limit} s (status $?)"
  log "$what"
}

# /proc/PID/stat from field 3 on (STAT: utime at 11, stime at 12), PID's state
# (STATE: R, S, Z...) and wait channel (WCHAN); empty once it has gone.
peek() {
  local stat=
  WCHAN=
  read -r stat 2>/dev/null <"/proc/$1/stat" || true
  read -r WCHAN 2>/dev/null <"/proc/$1/wchan" || true # no newline at its end
  STAT=(${stat##*) }) STATE=${STAT[0]:-}
}
# Whether PID has ended (a zombie counts: it has, and wait reads its status).
gone() { peek "$1"; [[ $STATE == "" || $STATE == Z ]]; }

alive() { ! gone "$PID" || fail "$PROGRAM (pid $PID) ended"; }

# Some process (PROCESSES: the pids to look at, default all) holds DEVICE open.
holds() {
  local fd
  for fd in /proc/${2:-[0-9]*}/fd/*; do [[ $fd -ef $1 ]] && return 0; done 2>/dev/null
  return 1
}

# UART_ROW: ttyS1's row of /proc/tty/driver/serial, its lines read without an open.
uart_row() { while IFS= read -r UART_ROW; do [[ $UART_ROW == 1:* ]] && break; done </proc/tty/driver/serial; }
dtr_up() { uart_row; [[ $UART_ROW == *DTR* ]]; }

# ttyS1 open to dialout and the lock directory world-writable, as on a Debian
# desktop, whose user DIALOUT runs the rest; guest_port puts back the guest's.
desktop_port() { chmod 1777 /run/lock; chgrp dialout /dev/ttyS1; chmod 660 /dev/ttyS1; }
guest_port() { chmod 755 /run/lock; chgrp root /dev/ttyS1; chmod 600 /dev/ttyS1; }
DIALOUT=(setpriv --reuid=nobody --regid=nogroup --groups=dialout env HOME=/tmp)

# The pid in NAME's lock (/run/lock/LCK..NAME), as minicom reads it;
# lock_state: none, live or stale by whether that pid runs.
lock_pid() { local pid=; read -r pid 2>/dev/null <"/run/lock/LCK..$1" || true; echo "${pid// /}"; }
lock_state() {
  local pid
  pid=$(lock_pid "$1")
  if [[ -z $pid ]]; then echo none; elif kill -0 "$pid" 2>/dev/null; then echo live; else echo stale; fi
}

# CPU PID has used, in clock ticks (user + system), recorded under NAME.
cpu_ticks() { peek "$PID"; result "$1" $((STAT[11] + STAT[12])); }

# --- What a user does, each waiting for what it brings about.

# Starts the program; sets PID and WIN once its window is viewable and has
# the focus, in LAUNCH_TRIES (a start under Wine can fail for Wine's reasons).
launch() {
  local try end
  LAUNCHES=$((LAUNCHES + 1))
  for ((try = 1; ; try++)); do
    program_run
    WIN= PULSE_SLEEP= WAITS=$((WAITS + 1)) end=$((SECONDS + LAUNCH_LIMIT))
    until window_shown || program_failed || ((SECONDS >= end)); do nap 0.2; done
    [[ -z $WIN ]] || break
    ((try < LAUNCH_TRIES)) || fail "no window from $PROGRAM (pid $PID) within $LAUNCH_LIMIT s"
    program_retry
  done
  stamp window
  log "the window of $PROGRAM (pid $PID) shown"
  take_focus "$WIN"
}

# Clicks a control (a name of AT) or "X Y" in the client area, then runs the
# xdotool COMMANDs that follow in the same process.
click() {
  local at=(${AT[$1]:-$1})
  shift
  xdotool mousemove --window "$WIN" $((at[0] + DX)) $((at[1] + DY)) click 1 "$@"
}
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

# Replaces the edit field's text. Nothing shows that the program has it, but
# it takes its input in order: the next action's event comes after it.
type_port() { click field key End shift+Home type --delay 50 "$1"; }

# Start, until the program holds DEVICE with the lines lowered (OPENED=yes) or
# its error report is up (OPENED=no).
start() {
  click start
  LOOKS=0
  await "Start: $1 opened or a report shown" 60 0.05 start_done "$1"
}
start_done() {
  alive
  if port_held "$1" && start_settled; then OPENED=yes; return 0; fi
  # A look for the report takes a process: one look in twenty.
  ((++LOOKS % 20 == 0)) && report_shown && OPENED=no
}
# launch_and_start pick|type_port PORT DEVICE: the program started, PORT
# chosen in the list or typed, and Start.
launch_and_start() { launch; "$1" "$2"; start "$3"; }

# ACTION (default: a click on Pulse Out) runs in the background while the
# program is watched, so a pulse cannot pass unseen while a process starts.
begin_pulse() {
  if (($#)); then "$@" & else click pulse & fi
  await "a pulse begun" 60 0.01 pulse_begun
}
end_pulses() { await "the pulse over" 60 0.01 pulse_over; }
pulse() { begin_pulse "$@"; end_pulses; }

# The error report up, with the focus; sets REPORT. read_report records its
# text on one line under NAME, and dismisses it.
await_report() {
  await "an error report shown" 60 0.2 report_shown
  take_focus "$REPORT"
}
read_report() {
  await_report
  report_text
  result "$1" "$TEXT"
  xdotool key Return
}

# refused_start PREFIX PORT MARK [DEVICE]: a Start on PORT refused between
# MARK and MARK + 1, its report and exit status under PREFIXreport and
# PREFIXstatus; one that opens DEVICE is closed, its report "none: DEVICE opened".
refused_start() {
  launch
  mark "$3"
  type_port "$2"
  if (($# > 3)); then start "$4"; else click start; OPENED=no; fi
  if [[ $OPENED == yes ]]; then
    result "$1report" "none: $4 opened"
    click stop
  else
    read_report "$1report"
  fi
  wait_exit "$1status" "$PID"
  mark $(($3 + 1))
}

# The frame's close control: arm_close MARK starts wm_delete ahead (a process
# start takes most of a pulse), frame_close fires it, and it writes MARK.
arm_close() {
  mkfifo "$SCRATCH/close"
  "$BUILD/tests/wire/wm_delete" "$WIN" "$1" <>"$SCRATCH/close" & CLOSER=$! # read-write: no wait for a writer
}
frame_close() { echo >"$SCRATCH/close"; wait "$CLOSER"; rm "$SCRATCH/close"; }

wait_exit() { # NAME PID: its exit status under NAME
  local status=0
  await "pid $2 ended" "$EXIT_LIMIT" 0.05 gone "$2"
  wait "$2" || status=$?
  result "$1" "$status"
  stamp exit
}
stop_and_close() { click stop; wait_exit "$1" "$PID"; } # NAME

# The adapter behind ttyUSB0 pulled out or put back, as a cable pull is seen;
# await_device DEVICE 1 (0) waits until it is there (gone).
usb_device() { readlink -f /sys/class/tty/ttyUSB0/device/../..; } # port, interface, device
unplug() { echo 0 >"$1/authorized"; }
replug() { echo 1 >"$1/authorized"; }
await_device() {
  if (($2)); then await "$1 there" 60 0.1 test -e "$1"; else await "$1 gone" 60 0.1 test ! -e "$1"; fi
}

# A run that passed must have kept to its "# wire: launches N waits M", which
# sized its time limit: the line grows before the limit runs out one day.
finish() {
  local status=$? launches=${WIRE_LAUNCHES:?guest.sh passes them} waits=${WIRE_WAITS:?}
  log "wire: $LAUNCHES launches and $WAITS waits; $0 allows $launches and $waits"
  if ((status == 0 && (LAUNCHES > launches || WAITS > waits))); then
    log "wire: $0 took more than its '# wire: launches $launches waits $waits': raise it"
    status=1
  fi
  rm -rf "$SCRATCH"
  exit "$status"
}

source "$(dirname "${BASH_SOURCE[0]}")/${WIRE_PROGRAM:-linux}_program.sh"
stamp start
trap finish EXIT
