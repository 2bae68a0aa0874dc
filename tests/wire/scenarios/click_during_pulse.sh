# SPDX-License-Identifier: MIT
# wire: launches 1 waits 7
# A second click on Pulse Out while the first pulse is high.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
launch_and_start type_port 2 /dev/ttyS1
mark 1
begin_pulse
click pulse # the second, as soon as the first pulse is seen
# On a starved guest the first pulse may be over before that click is out;
# either way the second follows, told from it however short the gap.
when=after
if same_pulse; then when=during; fi
log "the second click went out $when the first pulse"
await "the second pulse begun" 60 0.01 pulse_begun
end_pulses
mark 2
stop_and_close status
