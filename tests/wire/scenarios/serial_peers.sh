# SPDX-License-Identifier: MIT
# wire: launches 6 waits 60
# The serial programs people run beside this one, each under script(1) on a
# pipe as a terminal program wants, on ttyS1 as a desktop has it (both users
# in dialout). Marks 10-19: each holds the port as another user (screen, which
# keeps no lock, as ours); Start must name it and leave its lines and settings.
# Marks 30-39: we hold; each, as that user and as root, must fail without
# raising a line (not root's screen: root passes TIOCEXCL, and finds no lock).
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

THEIRS=(setpriv --reuid=daemon --regid=daemon --groups=dialout env HOME=/tmp)
ROOT=(env HOME=/root)
declare -A PEER=(
  [picocom]="picocom /dev/ttyS1"
  [tio]="tio --no-autoconnect /dev/ttyS1" # else it waits for the port in silence
  [minicom]="minicom -D /dev/ttyS1"
  [screen]="screen /dev/ttyS1"
  [pyserial]="python3 -c 'import select, serial
port = serial.Serial(\"/dev/ttyS1\", exclusive=True)
select.select([0], [], [])'"
)

desktop_port
mkdir -m 1777 /run/screen # screen's sockets, as Debian's tmpfiles.d makes it
mkfifo "$SCRATCH/keys"
exec {KEYS}<>"$SCRATCH/keys" # no peer is sent a key, but its input stays open

# peer NAME AS...: peer NAME under script, run by AS as some user; its output
# in $SCRATCH/NAME.
peer() {
  local name=$1
  shift
  "$@" TERM=xterm SHELL=/bin/sh script -qefc "${PEER[$name]}" /dev/null <"$SCRATCH/keys" >"$SCRATCH/$name" 2>&1 &
  SESSION=$!
}

# The process other than the program that has ttyS1 open, into HOLDER.
held() {
  local fd
  for fd in /proc/[0-9]*/fd/*; do
    [[ $fd -ef /dev/ttyS1 ]] || continue
    HOLDER=${fd#/proc/} HOLDER=${HOLDER%%/*}
    [[ $HOLDER == "${PID:-}" ]] || return 0
  done 2>/dev/null
  return 1
}
# A peer has the port once it waits for input, in select or poll.
holding() { held && peek "$HOLDER" && [[ $WCHAN == *select* || $WCHAN == *poll* ]]; }
peer_holds() { ! gone "$SESSION" || fail "$1 ended: $(<"$SCRATCH/$1")"; holding; }
refused_or_holding() { gone "$SESSION" || holding; }

# Ends the peer that holds the port, and script with it.
peer_end() {
  if held; then kill "$HOLDER"; fi
  await "$1 ended" 60 0.1 gone "$SESSION"
}

# ttyS1's lines and settings under NAME_lines_WHEN and NAME_stty_WHEN.
settings() { uart_row; result "${1}_lines_$2" "$UART_ROW"; result "${1}_stty_$2" "$(stty -g -F /dev/ttyS1)"; }

AS=("${DIALOUT[@]}")
m=10
for name in picocom tio minicom screen pyserial; do
  if [[ $name == screen ]]; then peer "$name" "${DIALOUT[@]}"; else peer "$name" "${THEIRS[@]}"; fi
  await "$name holds ttyS1" 60 0.1 peer_holds "$name"
  result "${name}_pid" "$HOLDER"
  settings "$name" before
  refused_start "${name}_" 2 "$m" /dev/ttyS1
  settings "$name" after
  peer_end "$name"
  m=$((m + 2))
done

launch_and_start pick 2 /dev/ttyS1
[[ $OPENED == yes ]] || fail "Start was refused on a free port"
m=30
for name in picocom tio minicom screen pyserial; do
  for user in daemon root; do
    [[ $name/$user != screen/root ]] || continue
    mark "$m"
    if [[ $user == root ]]; then peer "$name" "${ROOT[@]}"; else peer "$name" "${THEIRS[@]}"; fi
    await "$name as $user refused, or holding ttyS1" 60 0.1 refused_or_holding
    if gone "$SESSION"; then
      set +e; wait "$SESSION"; result "${name}_${user}_status" $?; set -e
    else
      result "${name}_${user}_status" "got the port"
      peer_end "$name"
    fi
    # What it said, on one line, without its escape sequences and blank lines.
    result "${name}_${user}_says" "$(sed -E 's/\x1b(\[[0-9;?]*[A-Za-z]|[()][0-9A-B]|[=>])//g; s/\r/\n/g' "$SCRATCH/$name" |
      sed '/^ *$/d' | paste -sd '|')"
    m=$((m + 1))
  done
done
mark 39
stop_and_close status

exec {KEYS}>&-
rm -r /run/screen
guest_port
