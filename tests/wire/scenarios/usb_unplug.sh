# SPDX-License-Identifier: MIT
# wire: launches 2 waits 19
# The USB adapter pulled out while its port is open: mid-pulse, and idle.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
await_device /dev/ttyUSB0 1
ADAPTER=$(usb_device)

launch_and_start type_port 3 /dev/ttyUSB0 # ttyS0, ttyS1, then the adapter
result opened_mid "$OPENED"
# Builtins only from here to the pull: on a busy machine a process started
# between can take longer than the rest of the pulse.
begin_pulse
read -r wchan <"/proc/$PID/wchan" || true
unplug "$ADAPTER"
result asleep_at_unplug "$wchan"
read_report report_mid
wait_exit status_mid "$PID"
result lock_mid "$(lock_state ttyUSB0)"

replug "$ADAPTER"
await_device /dev/ttyUSB0 1
launch_and_start type_port 3 /dev/ttyUSB0
result opened_idle "$OPENED"
unplug "$ADAPTER"
await_device /dev/ttyUSB0 0
# Idle, the program notices on its own: the hang-up wakes it and it lets go.
await "the program let go of the unplugged adapter" 60 0.2 released /dev/ttyUSB0
# CPU over two seconds idle with a dead device (the span is the measurement).
cpu_ticks cpu_idle
nap 2
cpu_ticks cpu_idle_later
click pulse
read_report report_idle
wait_exit status_idle "$PID"
result lock_idle "$(lock_state ttyUSB0)"
