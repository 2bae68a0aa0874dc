# SPDX-License-Identifier: MIT
# wire: wine
# wire: launches 1 waits 7
# The Windows program's typical use: "2" typed into the list, Start, two
# pulses, Stop and Close.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
launch
mark 1
type_port 2
start /dev/ttyS1
mark 2
pulse
pulse
mark 3
click stop
wait_exit status "$PID"
mark 4
check_ports
