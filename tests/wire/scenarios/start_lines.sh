# SPDX-License-Identifier: MIT
# wire: launches 8 waits 33
# DTR and RTS at Start on the guest's 16550 (ttyS1, port 2): see start_trials.sh.
source "$(dirname "${BASH_SOURCE[0]}")/start_trials.sh"
start_trials /dev/ttyS1 2
