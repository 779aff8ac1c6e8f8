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
registration() { svc query "$service" | grep -vE '^(state|win32_exit_code|controls_accepted)='; }
expect_state() { wait_until "$2" in_state "$1" || die "not $1 with exit code 0 within $(scaled "$2") s: $out"; }
send() {  # send CONTROL STATE: the control is taken and the service answers STATE
  out=$(svc control "$service" "$1") || die "$1 refused: $out"
  [ "$(field state "$out")" = "$2" ] || die "$1 answered $(field state "$out"), expected $2"
  [ "$(field controls_accepted "$out")" = 3 ] || die "$1: controls accepted $(field controls_accepted "$out")"
}
# The service process itself ends once it has reported stopped.
no_copy_runs() { ! pgrep -f "$(basename "$work").Orvanta Service.orvanta" >/dev/null; }
process_ended() { wait_until 10 no_copy_runs || die "the program still runs"; }
# Never leave a service behind in the prefix, whatever failed.
on_exit() { unregistered || { run "$program" uninstallme; wait_until 10 unregistered; }; }

begin
unregistered || die "$service is registered before the test"
place "$program" "$work/Orvanta Service"
settings '[SERVERS]' server_1=127.0.0.1 '[OPTIONS]' period=1

echo "-- installme registers the service, quoted, and starts it; its first pass follows"
first_pass run "$exe" installme
expect_state RUNNING 30
windows_path=$($runner winepath -w "$exe" | tr -d '\r')
expected=$(printf '%s\n' service_type=0x10 start_type=2 error_control=1 "binary_path=\"$windows_path\"" \
  display_name=$service account=LocalSystem 'description=Internet time synchronizing utility')
registered=$(registration)
[ "$(sort <<<"$registered")" = "$(sort <<<"$expected")" ] ||
  die "registration: $(paste -sd ';' <<<"$registered"); expected $(paste -sd ';' <<<"$expected")"
echo "  $(field binary_path "$registered")"
# The Event Log source, with the program as its message file.
reg_query "$source_key" | grep -qF "EventMessageFile    REG_EXPAND_SZ    $windows_path" ||
  die "event source: $(reg_query "$source_key")"
reg_query "$source_key" | grep -qE 'TypesSupported +REG_DWORD +0x7' || die "event source types: $(reg_query "$source_key")"

echo "-- pause, interrogate, continue, interrogate, pause, stop while paused: the process ends"
for step in "pause PAUSED" "interrogate PAUSED" "continue RUNNING" "interrogate RUNNING" "pause PAUSED" \
  "stop STOP_PENDING"; do send $step; done
expect_state STOPPED 30
process_ended

echo "-- installme while stopped, then while running: started, registration unchanged"
for limit in 30 1; do
  run "$exe" installme
  [ "$status" = 0 ] || die "installme exited $status"
  expect_state RUNNING $limit
done
[ "$(registration)" = "$registered" ] || die "registration changed: $(registration)"

echo "-- another process signals the named event: the service winds down"
signal_event
expect_state STOPPED 40
process_ended

echo "-- a debug that holds the event keeps the service from starting"
settings '[SERVERS]' server_1=127.0.0.1 '[OPTIONS]' period=1
first_pass launch "$exe" debug
debug=${pids[-1]}
run sc start "$service"
[ "$status" != 0 ] || die "the service started beside debug"
expect_state STOPPED 1
signal_event
ends_with_zero "$debug"

echo "-- uninstallme removes the running service"
run sc start "$service"; [ "$status" = 0 ] || die "sc start exited $status"
expect_state RUNNING 30
run "$exe" uninstallme
[ "$status" = 0 ] || die "uninstallme exited $status"
wait_until 10 unregistered || die "$service is still registered"
! reg_query "$source_key" >/dev/null || die "the event source is still registered"
process_ended

echo "-- uninstallme again: nothing to delete, exit 1"
run "$exe" uninstallme
[ "$status" = 1 ] || die "uninstallme exited $status, expected 1"
unregistered || die "$service reappeared"
echo "PASS"
