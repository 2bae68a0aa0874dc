# SPDX-License-Identifier: MIT
# wire: launches 8 waits 36
# DTR and RTS at Start on the FTDI adapter (ttyUSB0, port 3): see
# start_trials.sh. Then a plain open at speed 0 (marks 12 .. 13), and the
# same open after a replug (14 .. 15).
source "$(dirname "${BASH_SOURCE[0]}")/start_trials.sh"
await_device /dev/ttyUSB0 1
start_trials /dev/ttyUSB0 3

ADAPTER=$(usb_device)
stty -F /dev/ttyUSB0 0 || true # stty's own check fails now and then; the speed is set
result replug_speed_before "$(stty -F /dev/ttyUSB0 speed)"
mark 12
: <>/dev/ttyUSB0
mark 13
unplug "$ADAPTER"
await_device /dev/ttyUSB0 0
replug "$ADAPTER"
await_device /dev/ttyUSB0 1
mark 14
: <>/dev/ttyUSB0
mark 15
