# SPDX-License-Identifier: MIT
# wire: launches 1 waits 5
# A number with no device: the report, dismissed from the keyboard.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
launch
mark 1
type_port 9
click start
dismiss_report
wait_exit status "$PID"
mark 2
