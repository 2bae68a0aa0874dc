# SPDX-License-Identifier: MIT
# Sourced by lib.sh, inside the guest: waiting for events, never for a fixed
# time (a busy host stretches any), and the count of launches and waits the
# guest's time limit was sized for.
#
# A process started here costs about 0.3 s under TCG, more on a busy host:
# looks use builtins where they can, and naps need no process.

# A nap: a read that times out on a FIFO nobody writes to (held open
# read-write, so the open itself does not wait for a writer).
mkfifo /run/wire-nap
exec {NAP}<>/run/wire-nap
rm /run/wire-nap
nap() { read -r -t "$1" -u "$NAP" _ || true; }

# A line in the scenario's output with the guest's uptime: on a failure or a
# guest killed at its limit, the output shows how far the run got and when.
log() {
  local up _
  read -r up _ </proc/uptime
  echo "[$up] $*" >&2
}

fail() { log "wire: $*"; exit 1; }

LAUNCHES=0 WAITS=0

# await WHAT LIMIT EVERY CONDITION...: runs CONDITION (with its arguments)
# until it succeeds, pausing EVERY seconds between looks (0: none, for what
# lasts less than a process start), for at most LIMIT seconds; then fails
# the scenario, saying that WHAT did not happen.
await() {
  local what=$1 limit=$2 every=$3
  shift 3
  WAITS=$((WAITS + 1))
  local end=$((SECONDS + limit))
  until "$@"; do
    ((SECONDS < end)) || fail "$what: not within ${limit} s"
    [[ $every == 0 ]] || nap "$every"
  done
  log "$what"
}

# within WHAT LIMIT COMMAND...: a command that waits for its event itself,
# counted as a wait and cut off after LIMIT seconds.
within() {
  local what=$1 limit=$2
  shift 2
  WAITS=$((WAITS + 1))
  timeout "$limit" "$@" || fail "$what: not within ${limit} s (status $?)"
  log "$what"
}

# guest.sh sizes the guest's time limit from the scenario's own line
# "# wire: launches N waits M", and passes the numbers on. A run that needed
# more fails here, so the line grows with the scenario instead of the limit
# running out one day on a busy machine.
check_budget() {
  local launches=${WIRE_LAUNCHES:?guest.sh passes the declared launches} waits=${WIRE_WAITS:?and waits}
  log "wire: $LAUNCHES launches and $WAITS waits; $0 allows $launches and $waits"
  ((LAUNCHES <= launches && WAITS <= waits)) ||
    fail "$0 took more than its '# wire: launches $launches waits $waits': raise it"
}
