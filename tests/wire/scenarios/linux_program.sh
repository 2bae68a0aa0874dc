# SPDX-License-Identifier: MIT
# Sourced by lib.sh: its looks for the Linux program, as the kernel and X show it.
PROGRAM=$BUILD/dtr-pulse-out
LAUNCH_TRIES=1 LAUNCH_LIMIT=120 EXIT_LIMIT=60

AS=() # a command that execs the rest as another user, where a scenario sets it
# SIGINT as a terminal's foreground job has it: a script's background job
# starts with it ignored (POSIX), and the program leaves it so.
program_run() { "${AS[@]}" env --default-signal=INT "$PROGRAM" & PID=$!; }
program_failed() { gone "$PID"; }
# No window manager gives the focus.
take_focus() { within "the focus on window $1" 60 xdotool windowfocus --sync "$1"; }
port_held() { holds "$1" "$PID"; }

program_windows() { xdotool search --all --onlyvisible --pid "$PID" "$@" 2>/dev/null || true; }
window_shown() { WIN=$(program_windows --name "$CAPTION" | head -n1); [[ -n $WIN ]]; }
popup_shown() { alive; [[ -n $(program_windows | grep -vxF "$WIN") ]]; }
popup_gone() { ! popup_shown; }
# The error report: a second window with its caption; sets REPORT.
report_shown() { alive; REPORT=$(program_windows --name "$CAPTION" | grep -vxF "$WIN" | head -n1); [[ -n $REPORT ]]; }
# Its text into TEXT, on one line: Ctrl+C copies it to the clipboard.
report_text() {
  local lines
  xdotool key ctrl+c
  within "the report's text on the clipboard" 70 "$BUILD/tests/wire/clipboard" 60 >"$SCRATCH/clipboard"
  mapfile -t lines <"$SCRATCH/clipboard"
  TEXT="${lines[*]}"
}

# Its main thread asleep in a pulse (the sleep service's clock_nanosleep).
asleep() { peek "$PID"; [[ $WCHAN == *nanosleep* ]]; }

# Which sleep its main thread is in, into SLEEP: its count of voluntary context
# switches holds still while it sleeps, and tells two pulses apart however close.
sleep_count() {
  local key value
  SLEEP=
  while read -r key value; do
    [[ $key == voluntary_ctxt_switches: ]] && SLEEP=$value && return 0
  done 2>/dev/null <"/proc/$PID/status"
  return 1
}

# Its main thread asleep in the event loop's poll: every input it had is
# handled (never between a pulse and a click queued during it).
idle() { peek "$PID"; [[ $STATE == S && $WCHAN == *poll* ]]; }
start_settled() { idle; } # Start lowers the lines before it returns to the event loop

# Asleep in a pulse other than the last one seen (PULSE_SLEEP), which it
# becomes: the count read on both sides of the look is this sleep's.
pulse_begun() {
  local before
  if sleep_count && before=$SLEEP && asleep && sleep_count &&
    [[ $SLEEP == "$before" && $SLEEP != "$PULSE_SLEEP" ]]; then
    PULSE_SLEEP=$SLEEP
    return 0
  fi
  alive
  return 1
}
same_pulse() { sleep_count && [[ $SLEEP == "$PULSE_SLEEP" ]] && asleep; } # the pulse last seen begun
pulse_over() { idle || { alive; return 1; }; }

# It no longer holds DEVICE, whose node may be gone: its link reads "DEVICE (deleted)".
released() { alive; ! ls -l "/proc/$PID/fd" 2>/dev/null | grep -qF -- "-> $1"; }
