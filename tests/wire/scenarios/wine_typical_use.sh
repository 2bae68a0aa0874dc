# SPDX-License-Identifier: MIT
# wire: wine
# wire: launches 1 waits 7
# Typical use: "2" typed into the list, Start, two pulses, Stop and Close.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
launch
mark 1
type_port 2
start /dev/ttyS1
mark 2
for _ in 1 2; do pulse; done
mark 3
stop_and_close status
mark 4
check_ports
