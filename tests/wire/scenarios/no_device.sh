# SPDX-License-Identifier: MIT
# wire: launches 2 waits 11
# A number with no device: the report, dismissed from the keyboard. Then
# port 1, ttyS0, the guest's console: refused, its settings as they were.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
launch
mark 1
type_port 9
click start
dismiss_report
wait_exit status "$PID"
mark 2

result console_stty_before "$(stty -g -F /dev/ttyS0)"
launch
mark 3
type_port 1
click start
read_report console_report
wait_exit console_status "$PID"
mark 4
result console_stty_after "$(stty -g -F /dev/ttyS0)"
