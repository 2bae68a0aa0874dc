# SPDX-License-Identifier: MIT
# wire: wine
# wire: launches 20 waits 30
# Guest side of bench/wire_pulse's Wine rows: ten Starts of the .exe under
# Wine and ten opens by the minimal Win32 opener (com_opener: CreateFile,
# then EscapeCommFunction CLRDTR), taking turns on COM2 (ttyS1) in one boot.
# Every open raises the lines under Wine, which never leaves a port at speed
# 0: each Start is a first one. The marks, as start_trials.sh has them:
#   2 .. 3   the program: launch, Start, Stop and Close
#   4 .. 5   com_opener opens, lowers DTR and closes (a launch of Wine too)
TRIALS=10
source "$(dirname "${BASH_SOURCE[0]}")/../../tests/wire/scenarios/lib.sh"
OPENER=${PROGRAM%/*}/bench/windows/com_opener.exe
[[ -f $OPENER ]] || fail "no $OPENER beside $PROGRAM: build-windows builds it"
for trial in $(seq "$TRIALS"); do
  mark 2
  launch
  type_port 2
  start /dev/ttyS1
  click stop
  wait_exit "status_$trial" "$PID"
  mark 3
  mark 4
  LAUNCHES=$((LAUNCHES + 1))
  set +e
  timeout "$LAUNCH_LIMIT" "$WINE" "$OPENER" COM2 2>>"$WINE_LOG"
  result "opener_$trial" $?
  set -e
  mark 5
done
check_ports
