# SPDX-License-Identifier: MIT
# wire: launches 22 waits 89
# Guest side of bench/wire_pulse: ten first opens each, the program and the
# C pulser taking turns on the 16550 (ttyS1, port 2).
TRIALS=10
source "$(dirname "${BASH_SOURCE[0]}")/../../tests/wire/scenarios/start_trials.sh"
start_trials /dev/ttyS1 2
