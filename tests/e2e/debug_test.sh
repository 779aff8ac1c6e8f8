#!/usr/bin/env bash
# "debug" end to end: the periodic worker in the foreground against chronyd on
# 127.0.0.1:123, stopped by another process through the named event, which
# also keeps a second "debug" from running. Natively, also: a "debug" killed
# outright leaves no stale guard behind. Runs in a private network namespace.
#   debug_test.sh PROGRAM SIGNAL_EVENT [RUNNER]   (RUNNER: the Wine wrapper)
set -euo pipefail
. "$(dirname "$0")/lib.sh"
program=$1; signal=$2; runner=${3:-}
require_private_netns

work=$(mktemp -d)
pids=()
cleanup() {
  set +e
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  stop_chronyd "$work/chrony"
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/bin"
exe="$work/bin/$(basename "$program")"
cp "$program" "$exe"
ini="${exe%.exe}.ini"
printf '[SERVERS]\r\nserver_1=127.0.0.1\r\n[OPTIONS]\r\nperiod=1\r\n' >"$ini"
start_chronyd "$work/chrony"

value() { sed -nE "s/^$1=([^\r]*)\r?$/\1/p" "$ini"; }
now() { date +%s.%N; }
since() { python3 -c 'import sys,time; print(round(time.time() - float(sys.argv[1]), 1))' "$1"; }
within() { python3 -c 'import sys; sys.exit(0 if float(sys.argv[2]) <= float(sys.argv[1]) <= float(sys.argv[3]) else 1)' "$@"; }
# The programs' own output goes to a file: a Wine process they start must
# not hold the test runner's pipes.
# A "debug" that finds the event held ends at once, with status 0.
second_ends_at_once() {
  local status
  set +e; timeout 30 $runner "$exe" debug >>"$work/program.log" 2>&1; status=$?; set -e
  [ "$status" != 124 ] || die "a second debug kept running"
  [ "$status" = 0 ] || die "a second debug exited $status"
}
signal_event() {
  local out
  out=$($runner "$signal" | tr -d '\r') || die "signal_event: $out"
}
# ends_with_zero PID: the process ends within 20 s, with status 0.
ends_with_zero() {
  local status
  for _ in $(seq 1 200); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$1" 2>/dev/null && die "debug still runs 20 s after the signal"
  set +e; wait "$1"; status=$?; set -e
  [ "$status" = 0 ] || die "debug exited $status after the signal"
}

echo "-- debug passes until another process signals the event"
started=$(now)
timeout 120 $runner "$exe" debug >>"$work/program.log" 2>&1 &
first=$!; pids+=("$first")
for _ in $(seq 1 200); do [ -n "$(value last)" ] && break; sleep 0.2; done
[ -n "$(value last)" ] || die "no pass recorded within 40 s"
elapsed=$(since "$started")
within "$elapsed" 4.5 30 || die "first pass recorded after $elapsed s"
echo "  recorded after $elapsed s: last=$(value last)"

echo "-- a second debug ends at once; the first goes on"
second_ends_at_once
kill -0 "$first" 2>/dev/null || die "the first debug ended with the second"
signal_event
ends_with_zero "$first"

if [ -z "$runner" ]; then
  echo "-- a debug killed with SIGKILL leaves no stale guard"
  "$exe" debug >>"$work/program.log" 2>&1 &
  killed=$!; pids+=("$killed")
  sleep 0.5
  second_ends_at_once  # the first holds the event by now
  kill -KILL "$killed"
  wait "$killed" 2>/dev/null || true
  "$exe" debug >>"$work/program.log" 2>&1 &
  next=$!; pids+=("$next")
  sleep 1
  kill -0 "$next" 2>/dev/null || die "debug after a killed one ended at once: stale guard"
  second_ends_at_once  # and it holds the event itself
  signal_event
  ends_with_zero "$next"
fi
echo "PASS"
