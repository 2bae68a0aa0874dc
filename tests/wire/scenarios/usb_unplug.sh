# SPDX-License-Identifier: MIT
# wire: usb-serial
# A USB serial adapter pulled out while its port is open: during a pulse,
# and while the program sits idle between pulses.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
await_device /dev/ttyUSB0 1
ADAPTER=$(usb_device)

launch
type_port 3 # ttyS0, ttyS1, then the adapter
click start; sleep 1.5
result opened_mid "$([[ -z $(new_window) ]] && echo yes || echo no)"
click pulse
# The program's thread asleep in the pulse: pull the adapter now. Builtins
# only from here to the pull: on a busy machine a process started between
# can take longer than the rest of the pulse.
in_pulse
read -r wchan <"/proc/$PID/wchan" || true
unplug "$ADAPTER"
result asleep_at_unplug "$wchan"
read_report report_mid
wait_exit status_mid "$PID"
result lock_mid "$(ls /run/lock/LCK..ttyUSB0 2>/dev/null || echo none)"

replug "$ADAPTER"
await_device /dev/ttyUSB0 1
launch
type_port 3
click start; sleep 1.5
result opened_idle "$([[ -z $(new_window) ]] && echo yes || echo no)"
unplug "$ADAPTER"
await_device /dev/ttyUSB0 0
sleep 2 # the program notices on its own while idle
result cpu_idle "$(awk '{print $14 + $15}' /proc/$PID/stat)"
sleep 2
result cpu_idle_later "$(awk '{print $14 + $15}' /proc/$PID/stat)"
click pulse
read_report report_idle
wait_exit status_idle "$PID"
result lock_idle "$(ls /run/lock/LCK..ttyUSB0 2>/dev/null || echo none)"
