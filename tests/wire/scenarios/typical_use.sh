# SPDX-License-Identifier: MIT
# The road of one typical use: pick "2", Start, three pulses, Stop and Close
# from the keyboard.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
launch
mark 1
pick 2
click start; sleep 2
mark 2
for _ in 1 2 3; do click pulse; sleep 2; done
mark 3
key Tab Tab space # from "Pulse Out": the list, then "Stop and Close"
wait_exit status "$PID"
mark 4
