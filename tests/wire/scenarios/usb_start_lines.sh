# SPDX-License-Identifier: MIT
# wire: launches 8 waits 34
# DTR and RTS at Start on the emulated FTDI adapter (ttyUSB0, port 3), read
# from its SET_MODEM_CTRL requests: see start_trials.sh.
source "$(dirname "${BASH_SOURCE[0]}")/start_trials.sh"
await_device /dev/ttyUSB0 1
start_trials /dev/ttyUSB0 3
