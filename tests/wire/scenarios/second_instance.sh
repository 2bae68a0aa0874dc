# SPDX-License-Identifier: MIT
# wire: launches 2 waits 16
# A second instance on the port the first holds: refused as busy; the
# first instance's next pulse is still right.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
launch_and_start pick 2 /dev/ttyS1
FIRST=$PID FIRST_WIN=$WIN
mark 1
launch
pick 2
click start
read_report report
wait_exit second "$PID"
result lock "$(lock_pid ttyS1)"
result first_pid "$FIRST"
mark 2
PID=$FIRST WIN=$FIRST_WIN
pulse
mark 3
stop_and_close first
