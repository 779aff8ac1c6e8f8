#!/usr/bin/env bash
# The Windows service end to end, under Wine's own Service Control Manager:
# "installme" and "uninstallme" of the real program, the service's states and
# controls, its first pass against chronyd on 127.0.0.1:123, the named event
# as the single-instance guard and as an outside stop signal. The program is
# copied into a folder whose path holds a blank, so its registration must be
# quoted. Runs in a private network namespace.
#   windows_service_test.sh PROGRAM SERVICE_CONTROL SIGNAL_EVENT RUNNER
set -euo pipefail
. "$(dirname "$0")/lib.sh"
program=$1; control=$2; signal=$3; runner=${4:-}
require_private_netns

service=OrvantaService
work=$(mktemp -d)
# The command line of a process started from either copy of the program.
copies="$(basename "$work").(Orvanta Service|other).orvanta"
sc() { $runner "$control" "$@" | tr -d '\r'; }

pids=()
cleanup() {
  set +e
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  # Never leave a service behind in the prefix, whatever failed.
  if sc exists "$service" >/dev/null 2>&1; then
    $runner "$program" uninstallme >/dev/null 2>&1
    for _ in $(seq 1 100); do sc exists "$service" >/dev/null 2>&1 || break; sleep 0.1; done
  fi
  stop_chronyd "$work/chrony"
  rm -rf "$work"
}
trap cleanup EXIT

folder="$work/Orvanta Service"
mkdir -p "$folder" "$work/other"
exe="$folder/$(basename "$program")"
cp "$program" "$exe"
cp "$program" "$work/other/"
ini="${exe%.exe}.ini"
printf '[SERVERS]\r\nserver_1=127.0.0.1\r\n[OPTIONS]\r\nperiod=1\r\n' >"$ini"
start_chronyd "$work/chrony"

run() { set +e; $runner "$@" >>"$work/program.log" 2>&1; status=$?; set -e; }
value() { sed -nE "s/^$1=([^\r]*)\r?$/\1/p" "$ini"; }
field() { sed -n "s/^$1=//p" <<<"$2"; }
now() { date +%s.%N; }
since() { python3 -c 'import sys,time; print(round(time.time() - float(sys.argv[1]), 1))' "$1"; }
within() { python3 -c 'import sys; sys.exit(0 if float(sys.argv[2]) <= float(sys.argv[1]) <= float(sys.argv[3]) else 1)' "$@"; }
registration() {
  sc query "$service" | grep -E '^(service_type|start_type|error_control|binary_path|display_name|description|account)='
}
expect_state() {  # expect_state STATE SECONDS: reached in time, exit code 0
  local out
  out=$(sc wait "$service" "$1" "$2") || die "the service did not reach $1 in $2 s: $out"
  [ "$(field win32_exit_code "$out")" = 0 ] || die "win32 exit code in $1: $(field win32_exit_code "$out")"
}
send() {  # send CONTROL STATE: the control is taken and the service answers STATE
  local out
  out=$(sc control "$service" "$1") || die "$1 refused: $out"
  [ "$(field state "$out")" = "$2" ] || die "$1 answered $(field state "$out"), expected $2"
  [ "$(field controls_accepted "$out")" = 3 ] || die "$1: controls accepted $(field controls_accepted "$out")"
}
process_ended() {  # the service process itself ends once it has reported stopped
  for _ in $(seq 1 100); do pgrep -f "$copies" >/dev/null || return 0; sleep 0.1; done
  die "the program still runs: $(pgrep -af "$copies")"
}

if sc exists "$service" >/dev/null; then die "$service is registered before the test"; fi

echo "-- installme registers the service, quoted, and starts it"
started=$(now)
run "$exe" installme
[ "$status" = 0 ] || die "installme exited $status"
expect_state RUNNING 30
windows_path=$($runner winepath -w "$exe" | tr -d '\r')
expected="service_type=0x10
start_type=2
error_control=1
binary_path=\"$windows_path\"
display_name=$service
account=LocalSystem
description=Internet time synchronizing utility"
registered=$(registration)
[ "$(sort <<<"$registered")" = "$(sort <<<"$expected")" ] || die "registration is
$registered
expected
$expected"
echo "  $(field binary_path "$registered")"

echo "-- the first pass comes about 5 s after the start"
for _ in $(seq 1 200); do [ -n "$(value last)" ] && break; sleep 0.2; done
[ -n "$(value last)" ] || die "no pass recorded within 40 s"
elapsed=$(since "$started")
within "$elapsed" 4.5 30 || die "first pass recorded after $elapsed s"
echo "  recorded after $elapsed s: last=$(value last)"

echo "-- debug ends at once while the service holds the event"
set +e; timeout 30 $runner "$exe" debug >>"$work/program.log" 2>&1; status=$?; set -e
[ "$status" != 124 ] || die "debug kept running beside the service"
[ "$status" = 0 ] || die "debug exited $status"
expect_state RUNNING 1

echo "-- pause, interrogate, continue, interrogate, stop"
send pause PAUSED
send interrogate PAUSED
expect_state PAUSED 1
send continue RUNNING
send interrogate RUNNING
send stop STOP_PENDING
expect_state STOPPED 30
process_ended

echo "-- installme from another folder while stopped: started, registration unchanged"
run "$work/other/$(basename "$program")" installme
[ "$status" = 0 ] || die "installme exited $status"
expect_state RUNNING 30
[ "$(registration)" = "$registered" ] || die "registration changed: $(registration)"
pgrep -f "$(basename "$work").Orvanta Service.orvanta" >/dev/null || die "the service does not run the registered program"

echo "-- installme while running: nothing changes"
run "$exe" installme
[ "$status" = 0 ] || die "installme exited $status"
expect_state RUNNING 1
[ "$(registration)" = "$registered" ] || die "registration changed: $(registration)"

echo "-- stop while paused: stopped, and the process ends"
send pause PAUSED
send stop STOP_PENDING
expect_state STOPPED 30
process_ended

echo "-- a debug that holds the event keeps the service from starting"
printf '[SERVERS]\r\nserver_1=127.0.0.1\r\n[OPTIONS]\r\nperiod=1\r\n' >"$ini"
timeout 120 $runner "$exe" debug >>"$work/program.log" 2>&1 &
debug=$!; pids+=("$debug")
for _ in $(seq 1 200); do [ -n "$(value last)" ] && break; sleep 0.2; done
[ -n "$(value last)" ] || die "debug recorded no pass within 40 s"
if out=$(sc start "$service"); then die "the service started beside debug"; fi
expect_state STOPPED 1
out=$($runner "$signal" | tr -d '\r') || die "signal_event: $out"
for _ in $(seq 1 200); do kill -0 "$debug" 2>/dev/null || break; sleep 0.1; done
set +e; wait "$debug"; status=$?; set -e
[ "$status" = 0 ] || die "debug exited $status after the signal"

echo "-- another process signals the named event: the service winds down"
out=$(sc start "$service") || die "start refused: $out"
expect_state RUNNING 30
out=$($runner "$signal" | tr -d '\r') || die "signal_event: $out"
expect_state STOPPED 40
process_ended

echo "-- uninstallme removes the running service"
out=$(sc start "$service") || die "start refused: $out"
expect_state RUNNING 30
run "$exe" uninstallme
[ "$status" = 0 ] || die "uninstallme exited $status"
for _ in $(seq 1 100); do sc exists "$service" >/dev/null || break; sleep 0.1; done
[ "$(sc exists "$service")" = no ] || die "$service is still registered"
process_ended

echo "-- uninstallme again: nothing to delete, exit 1"
run "$exe" uninstallme
[ "$status" = 1 ] || die "uninstallme exited $status, expected 1"
[ "$(sc exists "$service")" = no ] || die "$service reappeared"
echo "PASS"
