# SPDX-License-Identifier: MIT
# wire: launches 1 waits 13
# Typical use: pick "2", Start, three pulses, Stop and Close from the keyboard.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
# The UARTs the port list sees: ttyS0 and ttyS1 known (ports 1 and 2),
# ttyS2 and ttyS3 registered without hardware (type 0).
result uarts "$(cd /sys/class/tty && for t in ttyS*; do printf '%s:%s ' "$t" "$(<"$t/type")"; done)"
launch
mark 1
pick 2
start /dev/ttyS1
mark 2
for _ in 1 2 3; do pulse; done
mark 3
key Tab Tab space # from "Pulse Out": the list, then "Stop and Close"
wait_exit status "$PID"
mark 4
