# SPDX-License-Identifier: MIT
# wire: launches 4 waits 28
# A port in use, refused with the line and the port's settings as they were:
# a second instance on the port the first holds (whose next pulse is still
# right); a program that keeps no lock holding it open; another user's stale
# lock, met by the program run as a member of dialout.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
launch
FIRST=$PID FIRST_WIN=$WIN
pick 2
start /dev/ttyS1
mark 1
launch
pick 2
click start
dismiss_report
wait_exit second "$PID"
result lock "$(cat /run/lock/LCK..ttyS1 2>/dev/null | head -n1 | tr -d ' ')"
result first_pid "$FIRST"
mark 2
PID=$FIRST WIN=$FIRST_WIN
pulse
mark 3
click stop
wait_exit first "$PID"

# A program that keeps no lock file has ttyS1 open.
sleep 600 <>/dev/ttyS1 & HOLDER=$!
holder_open() { [[ /proc/$HOLDER/fd/0 -ef /dev/ttyS1 ]]; }
await "the holder has ttyS1 open" 60 0.1 holder_open
result holder_pid "$HOLDER"
result holder_stty_before "$(stty -g -F /dev/ttyS1)"
mark 4
launch
type_port 2
click start
read_report holder_report
wait_exit holder_status "$PID"
mark 5
result holder_stty_after "$(stty -g -F /dev/ttyS1)"
kill "$HOLDER"
wait "$HOLDER" || true

# A lock that a run as root left behind, in the sticky lock directory, and
# ttyS1 open to dialout, as on a desktop.
chmod 1777 /run/lock
chgrp dialout /dev/ttyS1
chmod 660 /dev/ttyS1
(:) & ENDED=$!
wait "$ENDED"
echo "$ENDED" >/run/lock/LCK..ttyS1
touch -d '-10 seconds' /run/lock/LCK..ttyS1
result stale_pid "$ENDED"
mark 6
AS=(setpriv --reuid=nobody --regid=nogroup --groups=dialout env HOME=/tmp)
launch
AS=()
type_port 2
click start
read_report stale_report
wait_exit stale_status "$PID"
mark 7
result stale_lock_owner "$(stat -c %U /run/lock/LCK..ttyS1 2>/dev/null || echo gone)"
