# SPDX-License-Identifier: MIT
# The frame's close control while the port is open: the window manager's
# WM_DELETE_WINDOW, sent as a window manager would.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
launch
pick 2
click start; sleep 2
mark 1
"$BUILD/tests/wire/wm_delete" "$WIN"
wait_exit status "$PID"
mark 2
