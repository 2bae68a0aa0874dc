# SPDX-License-Identifier: MIT
# Sourced after scripts/xvfb.sh: running Windows programs under Wine on that
# private display. WINEPREFIX must name the prefix.
WINESERVER=/usr/lib/wine/wineserver

# Waits until the prefix's wineserver has ended, so the next Wine process
# starts one (and its desktop) on this display. `wineserver -w` can hang
# after a killed process: then it is killed.
wine_settle() {
  timeout 60 "$WINESERVER" -w 2>/dev/null || "$WINESERVER" -k 2>/dev/null || true
}

# Prints the X id of the first viewable window named exactly $1, polling:
# `xdotool search --sync` can die with BadWindow while Wine makes and drops
# helper windows.
wait_for_window() {
  local name=$1 deadline=$((SECONDS + ${2:-60})) id
  while ((SECONDS < deadline)); do
    for id in $(xdotool search --name "^${name}\$" 2>/dev/null); do
      if xwininfo -id "$id" 2>/dev/null | grep -q 'IsViewable'; then
        echo "$id"
        return 0
      fi
    done
    sleep 0.05
  done
  echo "no window named '$name' within ${2:-60} s" >&2
  return 1
}
