# SPDX-License-Identifier: MIT
# wire: launches 8 waits 59
# Every way the program ends, one instance after another on the same port:
# each next instance must open it at once, and the line must be down.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

open_instance() {
  launch_and_start pick 2 /dev/ttyS1
  [[ $OPENED == yes ]] || fail "instance '$1': Start was refused"
}

ended() { wait_exit "status_$1" "$PID"; result "lock_$1" "$(lock_state ttyS1)"; mark "$2"; }

open_instance stop
pulse
click stop
ended stop 1

open_instance frame
arm_close 7 # mark 7: when the close went out
begin_pulse
frame_close # the close arrives during the pulse
ended frame 2

open_instance error
click start # already open: reported
read_report report_error
ended error 3

# A signal during a pulse, and the mark after it.
for signal in TERM:4 KILL:5 HUP:8; do
  name=${signal%:*}
  open_instance "${name,,}"
  begin_pulse
  kill "-$name" "$PID"
  ended "${name,,}" "${signal#*:}"
done

open_instance int
click start # already open: reported
await_report
kill -INT "$PID" # while the report is up
ended int 9

open_instance last
click stop
ended last 6
