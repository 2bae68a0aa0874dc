# SPDX-License-Identifier: MIT
# wire: wine
# wire: launches 1 waits 4
# The frame's close control while a pulse is high.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
launch_and_start type_port 2 /dev/ttyS1
mark 1
arm_close 2 # marks when the close is out
begin_pulse
frame_close
wait_exit status "$PID"
mark 3
check_ports
