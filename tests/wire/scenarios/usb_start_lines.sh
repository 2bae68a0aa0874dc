# SPDX-License-Identifier: MIT
# wire: launches 8 waits 36
# DTR and RTS at Start on the emulated FTDI adapter (ttyUSB0, port 3), read
# from its SET_MODEM_CTRL requests: see start_trials.sh. Then speed 0 until
# replug: at speed 0 an open that sets no speed raises nothing (marks 12 ..
# 13); once the adapter is plugged in again, the same open raises DTR and
# RTS (14 .. 15).
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
