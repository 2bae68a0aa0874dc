# SPDX-License-Identifier: MIT
# Sourced by the Wine scenarios ("# wire: wine"), inside the guest: the
# Windows build ($WIRE_WINDOWS_EXE) under Wine, with the words of lib.sh
# (launch, click, type_port, mark, result, wait_exit) and a few of its own.
# guest.sh has set up the prefix: COM2 is ttyS1.
#
# Wine's first start here takes 20 s to 2 min, so every wait is for an event
# (a window, a line change, a process gone), bounded generously.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
EXE=${WIRE_WINDOWS_EXE:?the Windows program to run: WIRE_WINDOWS_EXE}
WINE_LOG=/tmp/out/wine.log # its stderr: +msgbox prints each message box's text
CLIENT=(208 200)           # the window's client area at 96 dpi

# Sleeps without a fork (each costs ~0.3 s in this guest): a read that times
# out on a FIFO nobody writes to.
mkfifo "$XVFB_RUNTIME/nap"
exec {NAP}<>"$XVFB_RUNTIME/nap"
nap() { read -r -t "$1" -u "$NAP" _ || true; }

stamp() { local up _; read -r up _ </proc/uptime; result "t_$1" "$up"; } # seconds since the guest booted

stop_wine() { "$WINESERVER" -k 2>/dev/null || true; stop_xvfb; }
trap stop_wine EXIT
stamp start

# Starts the program; sets PID and WIN (its top-level window, whose X window
# is the client area alone when no window manager draws a frame). Wine boots
# its services first, so they do not compete with the program's start; on a
# loaded machine Wine's desktop process can still fail to come up in time
# ("explorer process failed to start"), and then Wine is started once more.
WINE_START_LIMIT=240 # seconds, each try
launch() {
  local try t
  for try in 1 2; do
    timeout "$WINE_START_LIMIT" "$WINE" wineboot 2>>"$WINE_LOG" || echo "wineboot: status $?" >&2
    stamp booted
    WINEDEBUG=+msgbox "$WINE" "$EXE" 2>>"$WINE_LOG" & PID=$!
    WIN=
    for ((t = 0; t < WINE_START_LIMIT; t++)); do # plain search: --sync dies on Wine's helper windows
      WIN=$(xdotool search --name '^DTR Pulse Out$' 2>/dev/null | head -n1 || true)
      [[ -n $WIN ]] && break
      kill -0 "$PID" 2>/dev/null || break
      grep -q 'explorer process failed to start' "$WINE_LOG" && break
      nap 1
    done
    [[ -n $WIN ]] && break
    grep -q 'explorer process failed to start' "$WINE_LOG" && ((try == 1)) || break
    result wine_restarted yes
    "$WINESERVER" -k 2>/dev/null || true
    mv "$WINE_LOG" "${WINE_LOG%.log}-1.log"
  done
  [[ -n $WIN ]] || { echo "no window from $EXE" >&2; cat "$WINE_LOG" >&2; exit 1; }
  stamp window
  # Where the client area starts in the X window: 0 0 here, a frame's
  # border and caption if something ever draws one inside it.
  local WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$WIN" | grep -E '^(WIDTH|HEIGHT)=')"
  DX=$(((WIDTH - CLIENT[0]) / 2)) DY=$((HEIGHT - CLIENT[1] - (WIDTH - CLIENT[0]) / 2))
  result frame "$DX $DY"
  nap 1 # first paint
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

# Waits (at most SECONDS, default 60) until DTR is high (1) or low (0).
await_dtr() {
  local t
  for ((t = 0; t < ${2:-60} * 50; t++)); do
    uart_lines
    if [[ $UART == *DTR* ]]; then (($1)) && return 0; else ((!$1)) && return 0; fi
    nap 0.02
  done
  echo "DTR did not go $((($1)) && echo high || echo low); $UART" >&2
  return 1
}
in_pulse() { await_dtr 1; }

# Waits (at most 60 s) until a process has ttyS1 open.
await_open() {
  local t f
  for ((t = 0; t < 600; t++)); do
    for f in /proc/[0-9]*/fd/*; do [[ $f -ef /dev/ttyS1 ]] && return 0; done 2>/dev/null
    nap 0.1
  done
  echo "nothing opened ttyS1" >&2
  return 1
}

# Start on a port that opens: it is open and DTR back down (the driver raises
# both lines as it opens; the program lowers them).
start_port() { click start; await_open; await_dtr 0; }

# One pulse: Pulse Out, DTR up, then down again.
pulse() { click pulse; await_dtr 1; await_dtr 0; }

# Waits (at most 2 min) for a message box; records its text under NAME, one
# line with \n as Wine prints it.
read_box() {
  local t line
  for ((t = 0; t < 1200; t++)); do
    while IFS= read -r line; do
      if [[ $line == *trace:msgbox:MSGBOX_OnInit* ]]; then
        line=${line#*L\"}
        result "$1" "${line%\"}"
        return 0
      fi
    done <"$WINE_LOG"
    nap 0.1
  done
  echo "no message box" >&2
  return 1
}

# Presses Return in the message box: a second window with the program's
# caption (at most 60 s to map), clicked into first, there being no window
# manager to give it the focus.
dismiss_box() {
  local t box=
  for ((t = 0; t < 60; t++)); do
    box=$(xdotool search --name '^DTR Pulse Out$' 2>/dev/null | grep -vx "$WIN" | head -n1 || true)
    [[ -n $box ]] && break
    nap 1
  done
  [[ -n $box ]] || { echo "no message box window" >&2; return 1; }
  xdotool mousemove --window "$box" 10 10 click 1
  xdotool key Return
}

# The frame's close control: WM_DELETE_WINDOW, which Wine turns into SC_CLOSE.
# arm_close MARK starts the sender ahead (a process start here takes most of
# a pulse); frame_close fires it, and it writes MARK once the close is out.
arm_close() {
  mkfifo "$XVFB_RUNTIME/close"
  "$BUILD/tests/wire/wm_delete" "$WIN" "$1" <>"$XVFB_RUNTIME/close" & CLOSER=$! # read-write: no wait for a writer
}
frame_close() { echo >"$XVFB_RUNTIME/close"; wait "$CLOSER"; }

# Waits (at most 2 min: Wine's exit here is slow) for the program to end;
# records its exit status under NAME.
wait_exit() {
  local t status=timeout
  for ((t = 0; t < 1200; t++)); do kill -0 "$2" 2>/dev/null || break; nap 0.1; done
  if ! kill -0 "$2" 2>/dev/null; then set +e; wait "$2"; status=$?; set -e; fi
  result "$1" "$status"
  stamp exit
}

# COM ports as Wine left them: none may reach a device the prefix does not pin.
check_ports() {
  local map
  if map=$(bash "$REPO/scripts/wine-prefix" ports "$WINEPREFIX"); then result ports ok; else result ports bad; fi
  result port_map "$(grep -v absent <<<"$map" | tr '\n' ';')"
}
