# SPDX-License-Identifier: MIT
# wire: launches 22 waits 90
# Guest side of bench/wire_pulse: ten first opens each, the program and the
# C pulser taking turns on the emulated FTDI adapter (ttyUSB0, port 3).
TRIALS=10
source "$(dirname "${BASH_SOURCE[0]}")/../../tests/wire/scenarios/start_trials.sh"
await_device /dev/ttyUSB0 1
start_trials /dev/ttyUSB0 3
