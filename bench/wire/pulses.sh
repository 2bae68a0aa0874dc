# SPDX-License-Identifier: MIT
# wire: launches 1 waits 46
# Guest side of bench/wire_pulse: 20 pulses from the real program, then 20
# from the minimal C pulser, on the same emulated UART. (More PULSES need
# two more waits each in the line above.)
source "$(dirname "${BASH_SOURCE[0]}")/../../tests/wire/scenarios/lib.sh"
N=${PULSES:-20}
launch
mark 1
pick 2
start /dev/ttyS1
mark 2
for _ in $(seq "$N"); do pulse; done
mark 3
click stop
wait_exit status "$PID"
mark 4
"$BUILD/bench/c_pulser" /dev/ttyS1 "$N"
mark 5
