# SPDX-License-Identifier: MIT
# wire: launches 1 waits 6
# The frame's close control (WM_DELETE_WINDOW) while the port is open and idle.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
launch_and_start pick 2 /dev/ttyS1
mark 1
arm_close 2 # marks when the close is out
frame_close
wait_exit status "$PID"
mark 3
