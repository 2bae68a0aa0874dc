# SPDX-License-Identifier: MIT
# Sourced: how this project runs Wine, one definition for the host tests,
# scripts/wine-prefix and the wire guest.
#   source scripts/wine-env.sh [PREFIX]      (PREFIX, else $WINEPREFIX)
# Sets WINEPREFIX (absolute), WINE (the 64-bit loader) and WINESERVER. There
# is no default: Wine would fall back to ~/.wine, a prefix of its own making
# whose COM1 is the machine's console.
#
# No Mono or Gecko (their install prompts would stop a test), no menu entries
# or file associations written into the user's desktop, and no debug output
# unless a caller asks for a channel.
if [[ -n ${1:-} ]]; then WINEPREFIX=$1; fi
if [[ -z ${WINEPREFIX:-} ]]; then
  echo "wine-env: no Wine prefix given (argument or WINEPREFIX)" >&2
  return 1
fi
WINEPREFIX=$(realpath -m "$WINEPREFIX")
export WINEPREFIX WINEARCH=win64
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEDEBUG=${WINEDEBUG:--all}
export WINE=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver
