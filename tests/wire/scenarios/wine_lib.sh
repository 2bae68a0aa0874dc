# SPDX-License-Identifier: MIT
# Sourced by the Wine scenarios ("# wire: wine"), inside the guest: the
# Windows build ($WIRE_WINDOWS_EXE) under Wine, with the words of lib.sh
# (launch, click, type_port, pulse, mark, result, wait_exit) made for it.
# guest.sh has set up the prefix: COM2 is ttyS1.
#
# Wine's first start here takes 20 s to 2 min, so every wait is for an event
# (a window, a line change, a process gone), bounded generously.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
EXE=${WIRE_WINDOWS_EXE:?the Windows program to run: WIRE_WINDOWS_EXE}
WINE_LOG=/tmp/out/wine.log # its stderr: +msgbox prints each message box's text
CLIENT=(208 200)           # the window's client area at 96 dpi

stamp() { local up _; read -r up _ </proc/uptime; result "t_$1" "$up"; } # seconds since the guest booted

stop_programs() { "$WINESERVER" -k 2>/dev/null || true; }
stamp start

# Starts the program; sets PID and WIN (its top-level window, whose X window
# is the client area alone when no window manager draws a frame), once the
# window is viewable. Wine boots its services first, so they do not compete
# with the program's start; on a loaded machine Wine's desktop process can
# still fail to come up in time ("explorer process failed to start"), and
# then Wine is started once more. guest.sh allows a launch both tries.
WINE_START_LIMIT=240 # seconds, each try: wineboot, then the window
launch() {
  local try end
  LAUNCHES=$((LAUNCHES + 1))
  for try in 1 2; do
    end=$((SECONDS + WINE_START_LIMIT))
    timeout "$WINE_START_LIMIT" "$WINE" wineboot 2>>"$WINE_LOG" || echo "wineboot: status $?" >&2
    stamp booted
    WINEDEBUG=+msgbox "$WINE" "$EXE" 2>>"$WINE_LOG" & PID=$!
    WIN=
    while ((SECONDS < end)); do # plain searches: --sync dies on Wine's helper windows
      WIN=$(xdotool search --onlyvisible --name "$CAPTION" 2>/dev/null | head -n1 || true)
      [[ -n $WIN ]] && break
      kill -0 "$PID" 2>/dev/null || break
      grep -q 'explorer process failed to start' "$WINE_LOG" && break
      nap 0.5
    done
    [[ -n $WIN ]] && break
    grep -q 'explorer process failed to start' "$WINE_LOG" && ((try == 1)) || break
    result wine_restarted yes
    "$WINESERVER" -k 2>/dev/null || true
    mv "$WINE_LOG" "${WINE_LOG%.log}-1.log"
  done
  [[ -n $WIN ]] || { cat "$WINE_LOG" >&2; fail "no window from $EXE"; }
  stamp window
  log "the window of $EXE shown"
  # Where the client area starts in the X window: 0 0 here, a frame's
  # border and caption if something ever draws one inside it.
  local WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$WIN" | grep -E '^(WIDTH|HEIGHT)=')"
  DX=$(((WIDTH - CLIENT[0]) / 2)) DY=$((HEIGHT - CLIENT[1] - (WIDTH - CLIENT[0]) / 2))
  result frame "$DX $DY"
}

# Clicks a control (a name of lib.sh's AT: client pixels) or at "X Y".
click() {
  local at=(${AT[$1]:-$1})
  xdotool mousemove --window "$WIN" $((at[0] + DX)) $((at[1] + DY)) click 1
}

# Types into the list's edit field over whatever it holds.
type_port() { click field; xdotool key End shift+Home; xdotool type --delay 50 "$1"; }

# The second UART's modem-control lines as the kernel holds them ("RTS|DTR"),
# read as root from /proc without opening the port.
uart_lines() {
  local line
  while IFS= read -r line; do [[ $line == 1:* ]] && { UART=$line; return; }; done </proc/tty/driver/serial
  UART=
}

# Whether DTR is high (1) or low (0).
dtr_is() {
  uart_lines
  if [[ $UART == *DTR* ]]; then (($1)); else ((!$1)); fi
}

# Whether a process has ttyS1 open.
ttyS1_open() {
  local f
  for f in /proc/[0-9]*/fd/*; do [[ $f -ef /dev/ttyS1 ]] && return 0; done 2>/dev/null
  return 1
}

# Start on a port that opens: it is open and DTR back down (the driver raises
# both lines as it opens; the program lowers them).
start_port() {
  click start
  await "ttyS1 opened" 60 0.1 ttyS1_open
  await "DTR low after the open" 60 0.02 dtr_is 0
}

# A pulse under way, then over, as the line shows it. The click runs in the
# background while the line is watched: a pulse can pass while a process
# starts or ends.
begin_pulse() {
  click pulse &
  await "DTR high: a pulse begun" 60 0.01 dtr_is 1
}
pulse() {
  begin_pulse
  await "DTR low: the pulse over" 60 0.02 dtr_is 0
}

# Waits for a message box; records its text under NAME, one line with \n as
# Wine prints it.
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
read_box() {
  await "a message box" 120 0.1 boxed
  result "$1" "$BOX"
}

# Presses Return in the message box: a second window with the program's
# caption, clicked into first, there being no window manager to give it the
# focus.
box_shown() { BOX_WIN=$(xdotool search --onlyvisible --name "$CAPTION" 2>/dev/null | grep -vx "$WIN" | head -n1 || true); [[ -n $BOX_WIN ]]; }
dismiss_box() {
  await "the message box's window shown" 60 0.5 box_shown
  xdotool mousemove --window "$BOX_WIN" 10 10 click 1
  xdotool key Return
}

# Waits for the program to end (Wine's exit here is slow); records its exit
# status under NAME.
wait_exit() {
  local status
  await "pid $2 ended" 120 0.1 gone "$2"
  set +e; wait "$2"; status=$?; set -e
  result "$1" "$status"
  stamp exit
}

# COM ports as Wine left them: none may reach a device the prefix does not pin.
check_ports() {
  local map
  if map=$(bash "$REPO/scripts/wine-prefix" ports "$WINEPREFIX"); then result ports ok; else result ports bad; fi
  result port_map "$(grep -v absent <<<"$map" | tr '\n' ';')"
}
