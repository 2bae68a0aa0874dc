# SPDX-License-Identifier: MIT
# A second click on Pulse Out while the first pulse is high.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
launch
type_port 2
click start; sleep 2
mark 1
click pulse; sleep 0.2; click pulse
sleep 3
mark 2
click stop
wait_exit status "$PID"
