#!/usr/bin/env bash
# "debug" end to end: the periodic worker in the foreground against chronyd on
# 127.0.0.1:123, stopped by another process through the named event, which
# also keeps a second "debug" from running. Natively, also: a "debug" killed
# outright leaves no stale guard behind. Runs in a private network namespace.
#   debug_test.sh PROGRAM SIGNAL_EVENT [RUNNER]   (RUNNER: the Wine wrapper)
set -euo pipefail
. "$(dirname "$0")/lib.sh"
program=$1; signal=$2; runner=${3:-}
begin
place "$program" "$work/bin"
settings '[SERVERS]' server_1=127.0.0.1 '[OPTIONS]' period=1

echo "-- debug passes until another process signals the event"
first_pass launch "$exe" debug
first=${pids[-1]}

echo "-- a second debug ends at once; the first goes on"
ends_at_once debug
ended "$first" && die "the first debug ended with the second"
signal_event
ends_with_zero "$first"

if [ -z "$runner" ]; then
  echo "-- a debug killed with SIGKILL leaves no stale guard"
  # The event natively: the socket the holder binds in its runtime folder.
  holds_event() { ss -Hxap | grep -F "$ORVANTA_RUNTIME_DIR/OrvantaServiceEvent.sock" | grep "pid=$1," >/dev/null; }
  launch "$exe" debug
  killed=${pids[-1]}
  wait_until 10 holds_event "$killed" || die "debug does not hold the event"
  kill -KILL "$killed"
  wait "$killed" 2>/dev/null || true
  launch "$exe" debug
  next=${pids[-1]}
  wait_until 10 holds_event "$next" || die "a debug after a killed one does not hold the event: stale guard"
  signal_event
  ends_with_zero "$next"
fi
echo "PASS"
