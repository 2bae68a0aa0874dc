# SPDX-License-Identifier: MIT
# wire: wine
# wire: launches 1 waits 4
# wire: pin 9 absent
# A number with no device behind it: COM9 is not there at all.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
launch
mark 1
type_port 9
click start
read_report report
wait_exit status "$PID"
mark 2
check_ports
