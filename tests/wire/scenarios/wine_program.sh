# SPDX-License-Identifier: MIT
# Sourced by lib.sh: the looks that lib.sh's words take for the Windows
# build ($WIRE_WINDOWS_EXE) under Wine. guest.sh has set up the prefix:
# COM2 is ttyS1.
#
# Wine's first start here takes 20 s to 2 min, so every wait is for an event
# (a window, a line change, a process gone), bounded generously.
PROGRAM=${WIRE_WINDOWS_EXE:?the Windows program to run: WIRE_WINDOWS_EXE}
WINE_LOG=$OUT/wine.log # its stderr: +msgbox prints each message box's text
CLIENT=(208 200)       # the window's client area at 96 dpi
# guest.sh has booted Wine and keeps it up. On a loaded machine Wine's
# desktop process can still fail to come up in time ("explorer process
# failed to start"): then Wine is booted again and the program started once
# more. guest.sh allows a launch both tries, each of them a boot and a start.
LAUNCH_TRIES=2 LAUNCH_LIMIT=240 EXIT_LIMIT=120

program_run() { WINEDEBUG=+msgbox "$WINE" "$PROGRAM" 2>>"$WINE_LOG" & PID=$!; }
explorer_failed() { grep -q 'explorer process failed to start' "$WINE_LOG"; }
program_failed() { ! kill -0 "$PID" 2>/dev/null || explorer_failed; }
program_retry() {
  explorer_failed || { cat "$WINE_LOG" >&2; fail "no window from $PROGRAM"; }
  result wine_restarted yes
  "$WINESERVER" -k 2>/dev/null || true
  mv "$WINE_LOG" "${WINE_LOG%.log}-1.log"
  timeout "$LAUNCH_LIMIT" "$WINE" wineboot 2>>"$WINE_LOG" || echo "wineboot: status $?" >&2
}

# The program's top-level window (plain searches: --sync dies on Wine's
# helper windows). Its X window is the client area alone when no window
# manager draws a frame: DX and DY say where the client area starts in it,
# should something ever draw one inside it.
window_shown() {
  WIN=$(xdotool search --onlyvisible --name "$CAPTION" 2>/dev/null | head -n1 || true)
  [[ -n $WIN ]] || return 1
  local WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$WIN" | grep -E '^(WIDTH|HEIGHT)=')"
  DX=$(((WIDTH - CLIENT[0]) / 2)) DY=$((HEIGHT - CLIENT[1] - (WIDTH - CLIENT[0]) / 2))
  result frame "$DX $DY"
}

# A window has the keyboard once clicked into: no window manager hands out
# the focus. The main window has it from the start.
take_focus() { [[ $1 == "$WIN" ]] || xdotool mousemove --window "$1" 10 10 click 1; }

# The port is held by Wine's server and the program alike: any process counts.
port_held() { holds "$1"; }
# The driver raises both lines as it opens the port; the program lowers them.
start_settled() { dtr_is 0; }
pulse_begun() { dtr_is 1; }
pulse_over() { dtr_is 0; }

# The message box: a second window with the program's caption; sets REPORT.
report_shown() {
  REPORT=$(xdotool search --onlyvisible --name "$CAPTION" 2>/dev/null | grep -vx "$WIN" | head -n1 || true)
  [[ -n $REPORT ]]
}
# Its text into TEXT, as Wine's msgbox channel traced it: one line, with
# \n as Wine prints it.
boxed() {
  local line
  while IFS= read -r line; do
    if [[ $line == *trace:msgbox:MSGBOX_OnInit* ]]; then
      line=${line#*L\"}
      BOX=${line%\"}
      return 0
    fi
  done <"$WINE_LOG"
  return 1
}
report_text() {
  await "the message box's text traced" 60 0.1 boxed
  TEXT=$BOX
}

# COM ports as Wine left them: none may reach a device the prefix does not pin.
check_ports() {
  local map
  if map=$(bash "$REPO/scripts/wine-prefix" ports "$WINEPREFIX"); then result ports ok; else result ports bad; fi
  result port_map "$(grep -v absent <<<"$map" | tr '\n' ';')"
}
