# SPDX-License-Identifier: MIT
# Every way the program ends, one instance after another on the same port:
# each next instance must open it at once, and the line must be down.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

# Starts an instance on port 2 and records whether Start went through (no
# report window came up).
open_instance() {
  launch
  pick 2
  click start; sleep 1.5
  if [[ -n $(new_window) ]]; then result "opened_$1" no; else result "opened_$1" yes; fi
}

# What the lock directory says about ttyS1 now: none, or the holder's state.
lock_state() {
  local pid
  pid=$(head -n1 /run/lock/LCK..ttyS1 2>/dev/null | tr -d ' ') || true
  if [[ -z $pid ]]; then echo none; elif kill -0 "$pid" 2>/dev/null; then echo live; else echo stale; fi
}

ended() { wait_exit "status_$1" "$PID"; result "lock_$1" "$(lock_state)"; mark "$2"; }

open_instance stop
click pulse; sleep 1
click stop
ended stop 1

open_instance frame
click pulse; in_pulse # the close arrives during the pulse
"$BUILD/tests/wire/wm_delete" "$WIN"
ended frame 2

open_instance error
click start # already open: reported
dismiss_report
ended error 3

open_instance term
click pulse; in_pulse
kill -TERM "$PID"
ended term 4

open_instance kill
click pulse; in_pulse
kill -KILL "$PID"
ended kill 5

open_instance last
click stop
ended last 6
