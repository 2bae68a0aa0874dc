# SPDX-License-Identifier: MIT
# Sourced by start_lines and usb_start_lines: what DTR and RTS do while a
# port opens, for the program and for the minimal C pulser, taking turns on
# the same device in the same guest. Each side opens TRIALS times as a first
# open (the port's saved speed not zero), the program each time followed by
# a later Start; then the program opens twice more: a first Start and a
# later one that pulses. The marks:
#   1 .. 2   a reset: stty sets the saved speed to 9600, as after boot
#   2 .. 3   the program: launch, Start, Stop and Close (a first Start)
#   4 .. 5   the C pulser opens, lowers both lines and closes
#   6 .. 7   a later Start (the instance before left the port at B0), from
#            the launch to the port open (Stop and Close, or the first Pulse
#            Out, comes after 7)
#  10 .. 11  the C pulser opens after us (a later open for it)
#   8 .. 9   then another program opens the port and sets its own speed
# Records stty_status, speed and read_status from the program after us.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
# Three rounds prove the order of the writes; bench/wire_pulse runs ten of
# each to compare the glitches' lengths.
TRIALS=${TRIALS:-3}

# The program once on port $2 (device $1): launch, Start, the port open.
program_start() {
  launch
  type_port "$2"
  start "$1"
  [[ $OPENED == yes ]] || fail "Start on $1 was refused"
}

program_trial() {
  program_start "$1" "$2"
  click stop
  wait_exit "status_$3" "$PID"
}

# The saved speed back to 9600, as after boot (stty fails its own check now
# and then; the speed is set all the same, which is what counts here).
reset_speed() {
  stty -F "$1" 9600 || stty -F "$1" -a >&2
  [[ $(stty -F "$1" speed) == 9600 ]]
}

# $1 device, $2 its port number in the program's list.
start_trials() {
  local device=$1 port=$2
  for trial in $(seq "$TRIALS"); do
    mark 1
    # The port as after boot, whatever ran on it before in this guest.
    reset_speed "$device"
    mark 2
    program_trial "$device" "$port" "$trial"
    mark 3
    mark 6
    program_start "$device" "$port"
    mark 7
    click stop
    wait_exit "status_later_$trial" "$PID"
    mark 1
    reset_speed "$device"
    mark 4
    "$BUILD/bench/c_pulser" "$device" 0
    mark 5
  done
  # A first Start, then a later one: the first left the speed at B0.
  program_trial "$device" "$port" first
  mark 6
  program_start "$device" "$port"
  mark 7
  begin_pulse
  click stop
  wait_exit status_later "$PID"
  # The C pulser after us: our close left B0 in place.
  mark 10
  "$BUILD/bench/c_pulser" "$device" 0
  mark 11
  mark 8
  set +e
  stty -F "$device" 9600; result stty_status $?
  result speed "$(stty -F "$device" speed)"
  # 124: it opened, then still waited for data after 3 s, as ever. The span
  # is the check itself.
  timeout 3 cat "$device" >/dev/null; result read_status $?
  set -e
  mark 9
}
