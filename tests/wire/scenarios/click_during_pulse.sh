# SPDX-License-Identifier: MIT
# wire: launches 1 waits 7
# A second click on Pulse Out while the first pulse is high.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
launch
type_port 2
start /dev/ttyS1
mark 1
begin_pulse
click pulse # the second, as soon as the first pulse is seen
# The program is idle only once it has handled the second click too. If the
# first pulse was over before that click got out (a starved guest), the
# second pulse has yet to begin.
if asleep; then
  log "the second click went out during a pulse"
else
  log "the second click went out after the first pulse"
  await "the second pulse begun" 60 0.01 pulse_begun
fi
end_pulses
mark 2
click stop
wait_exit status "$PID"
