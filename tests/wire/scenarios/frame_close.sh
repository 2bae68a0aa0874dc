# SPDX-License-Identifier: MIT
# wire: launches 1 waits 6
# The frame's close control while the port is open: the window manager's
# WM_DELETE_WINDOW, sent as a window manager would.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
launch
pick 2
start /dev/ttyS1
mark 1
"$BUILD/tests/wire/wm_delete" "$WIN"
wait_exit status "$PID"
mark 2
