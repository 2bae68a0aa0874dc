# SPDX-License-Identifier: MIT
# Sourced by start_lines and usb_start_lines: DTR and RTS while a port
# opens, the program and the minimal C pulser taking turns on one device,
# TRIALS first opens each (saved speed not zero), the program's each followed
# by a later Start; then a first Start and a later one that pulses. The marks:
#   1 .. 2   a reset: the saved speed 9600, as after boot
#   2 .. 3   the program: launch, Start, Stop and Close (a first Start)
#   4 .. 5   the C pulser opens, lowers both lines and closes
#   6 .. 7   a later Start (the instance before left B0): launch to open
#  10 .. 11  the C pulser opens after us (a later open for it)
#   8 .. 9   another program opens the port, sets its own speed and reads
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
# Three rounds prove the order of the writes; bench/wire_pulse runs ten.
TRIALS=${TRIALS:-3}

program_start() { # DEVICE PORT: launched, Start, the port open
  launch_and_start type_port "$2" "$1"
  [[ $OPENED == yes ]] || fail "Start on $1 was refused"
}

program_trial() { # DEVICE PORT NAME: and closed, its status under status_NAME
  program_start "$1" "$2"
  stop_and_close "status_$3"
}

# stty fails its own check now and then, having set the speed.
reset_speed() {
  stty -F "$1" 9600 || stty -F "$1" -a >&2
  [[ $(stty -F "$1" speed) == 9600 ]]
}

start_trials() { # DEVICE PORT
  local device=$1 port=$2
  for trial in $(seq "$TRIALS"); do
    mark 1
    # A later trial follows the C pulser's open, which left the speed as it was.
    ((trial > 1)) || reset_speed "$device"
    mark 2
    program_trial "$device" "$port" "$trial"
    mark 3
    mark 6
    program_start "$device" "$port"
    mark 7
    stop_and_close "status_later_$trial"
    mark 1
    reset_speed "$device"
    mark 4
    "$BUILD/bench/c_pulser" "$device" 0
    mark 5
  done
  # A first Start, then a later one that pulses: the first left B0.
  program_trial "$device" "$port" first
  mark 6
  program_start "$device" "$port"
  mark 7
  begin_pulse
  stop_and_close status_later
  # The C pulser after us: our close left B0 in place.
  mark 10
  "$BUILD/bench/c_pulser" "$device" 0
  mark 11
  mark 8
  set +e
  stty -F "$device" 9600
  # 124: it opened, then still waited for data after 3 s (the span is the check).
  timeout 3 cat "$device" >/dev/null; result read_status $?
  set -e
  mark 9
}
