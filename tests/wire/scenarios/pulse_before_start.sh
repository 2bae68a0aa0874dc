# SPDX-License-Identifier: MIT
# wire: launches 1 waits 8
# Pulse Out before any Start. The program still sleeps out the pulse's time,
# which shows when each press has been handled.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
launch
mark 1
pulse
pulse key space # the focus starts on "Pulse Out"
mark 2
stop_and_close status
mark 3
