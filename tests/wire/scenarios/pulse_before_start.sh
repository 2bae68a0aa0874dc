# SPDX-License-Identifier: MIT
# Pulse Out before any Start: the port is closed, nothing reaches the line.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
launch
mark 1
click pulse; sleep 2
key space; sleep 2 # the focus starts on "Pulse Out"
mark 2
click stop
wait_exit status "$PID"
mark 3
