# SPDX-License-Identifier: MIT
# Sourced: starts a private Xvfb on a display it picks itself, exports
# DISPLAY and XDG_RUNTIME_DIR, and stops it all on exit.
start_xvfb() {
  XVFB_RUNTIME=$(mktemp -d)
  export XDG_RUNTIME_DIR=$XVFB_RUNTIME
  local fifo=$XVFB_RUNTIME/displayfd
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "${XVFB_SCREEN:-1280x1024x24}" -nolisten tcp -noreset 3>"$fifo" 2>"$XVFB_RUNTIME/xvfb.log" &
  XVFB_PID=$!
  local number
  if ! read -r -t 30 number <"$fifo"; then
    echo "Xvfb did not start:" >&2; cat "$XVFB_RUNTIME/xvfb.log" >&2; return 1
  fi
  export DISPLAY=:$number QT_QPA_PLATFORM=xcb
  trap stop_xvfb EXIT
}

stop_xvfb() {
  [[ -n ${XVFB_PID:-} ]] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
  [[ -n ${XVFB_RUNTIME:-} ]] && rm -rf "$XVFB_RUNTIME"
  XVFB_PID= XVFB_RUNTIME=
  return 0
}
