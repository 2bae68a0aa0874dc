# SPDX-License-Identifier: MIT
# wire: launches 3 waits 19
# A port something else uses: the console (port 1, ttyS0); ttyS1 held by a
# program that keeps no lock; another user's stale lock, met by a dialout user.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

result console_stty_before "$(stty -g -F /dev/ttyS0)"
refused_start console_ 1 1
result console_stty_after "$(stty -g -F /dev/ttyS0)"

sleep 600 <>/dev/ttyS1 & HOLDER=$!
await "the holder has ttyS1 open" 60 0.1 holds /dev/ttyS1 "$HOLDER"
result holder_pid "$HOLDER"
result holder_stty_before "$(stty -g -F /dev/ttyS1)"
refused_start holder_ 2 3
result holder_stty_after "$(stty -g -F /dev/ttyS1)"
kill "$HOLDER"
wait "$HOLDER" || true

# A lock a run as root left behind, on a desktop's port.
desktop_port
(:) & ENDED=$!
wait "$ENDED"
echo "$ENDED" >/run/lock/LCK..ttyS1
touch -d '-10 seconds' /run/lock/LCK..ttyS1
result stale_pid "$ENDED"
AS=("${DIALOUT[@]}")
refused_start stale_ 2 5
AS=()
rm /run/lock/LCK..ttyS1
guest_port
