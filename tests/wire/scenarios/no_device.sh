# SPDX-License-Identifier: MIT
# wire: launches 1 waits 6
# A number with no device: the report read, then dismissed from the keyboard.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
launch
mark 1
type_port 9
click start
read_report report
wait_exit status "$PID"
mark 2
