# SPDX-License-Identifier: MIT
# Sourced by lib.sh: its looks for the Windows build ($WIRE_WINDOWS_EXE)
# under Wine, in the prefix guest.sh set up (COM2 is ttyS1).
PROGRAM=${WIRE_WINDOWS_EXE:?the Windows program to run: WIRE_WINDOWS_EXE}
WINE_LOG=$OUT/wine.log # its stderr: +msgbox prints each message box's text
CLIENT=(208 200)       # the window's client area at 96 dpi
# Wine's desktop can fail to come up on a loaded machine ("explorer process
# failed to start"): Wine boots again for a second try, which guest.sh allows.
LAUNCH_TRIES=2 LAUNCH_LIMIT=240 EXIT_LIMIT=120

program_run() { WINEDEBUG=+msgbox "$WINE" "$PROGRAM" 2>>"$WINE_LOG" & PID=$!; }
explorer_failed() { grep -q 'explorer process failed to start' "$WINE_LOG"; }
program_failed() { ! kill -0 "$PID" 2>/dev/null || explorer_failed; }
program_retry() {
  explorer_failed || { cat "$WINE_LOG" >&2; fail "no window from $PROGRAM"; }
  log "Wine's desktop did not come up: Wine boots again"
  "$WINESERVER" -k 2>/dev/null || true
  mv "$WINE_LOG" "${WINE_LOG%.log}-1.log"
  timeout "$LAUNCH_LIMIT" "$WINE" wineboot 2>>"$WINE_LOG" || echo "wineboot: status $?" >&2
}

# The top-level window, by plain searches (--sync dies on Wine's helper
# windows); DX and DY as any frame drawn inside its X window leaves them.
window_shown() {
  WIN=$(xdotool search --onlyvisible --name "$CAPTION" 2>/dev/null | head -n1 || true)
  [[ -n $WIN ]] || return 1
  local WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$WIN" | grep -E '^(WIDTH|HEIGHT)=')"
  DX=$(((WIDTH - CLIENT[0]) / 2)) DY=$((HEIGHT - CLIENT[1] - (WIDTH - CLIENT[0]) / 2))
}

# No window manager hands out the focus: a click does. The main window has it.
take_focus() { [[ $1 == "$WIN" ]] || xdotool mousemove --window "$1" 10 10 click 1; }

# Wine's server holds the port for the program: any process counts. Its
# driver raises both lines as it opens the port; the program lowers them.
port_held() { holds "$1"; }
start_settled() { ! dtr_up; }
pulse_begun() { dtr_up; }
pulse_over() { ! dtr_up; }

# The message box: a second window with the caption; sets REPORT. Its text
# into TEXT, as Wine's msgbox channel traced it (\n as printed).
report_shown() {
  REPORT=$(xdotool search --onlyvisible --name "$CAPTION" 2>/dev/null | grep -vx "$WIN" | head -n1 || true)
  [[ -n $REPORT ]]
}
report_text() { await "the message box's text traced" 60 0.1 boxed; }
boxed() {
  TEXT=$(grep -m1 -F 'trace:msgbox:MSGBOX_OnInit' "$WINE_LOG") || return 1
  TEXT=${TEXT#*L\"}
  TEXT=${TEXT%\"}
}

# COM ports as Wine left them: none may reach a device the prefix does not pin.
check_ports() {
  local map
  if map=$(bash "$REPO/scripts/wine-prefix" ports "$WINEPREFIX"); then result ports ok; else result ports bad; fi
  result port_map "$(grep -v absent <<<"$map" | tr '\n' ';')"
}
