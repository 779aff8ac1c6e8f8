#!/usr/bin/env bash
# The Linux service end to end, without a running systemd: "installme" and
# "uninstallme" of the real program drive a stand-in systemctl first on PATH,
# which records its calls and, for "start", runs the unit's ExecStart= as
# systemd runs a Type=notify service (NOTIFY_SOCKET, INVOCATION_ID,
# SYSTEMD_EXEC_PID). The notify messages are read from a socket of the
# test's own; controls are the signals systemd would send. The service
# synchronizes against chronyd on 127.0.0.1 in a private network namespace.
#   linux_service_test.sh PROGRAM
set -euo pipefail
. "$(dirname "$0")/lib.sh"
program=$1; runner=
on_exit() { if [ -f "$state/pid" ]; then kill -KILL "$(cat "$state/pid")" 2>/dev/null; fi; }
begin
state=$work/state
unit=$work/units/OrvantaService.service
mkdir -p "$work/bin" "$work/units" "$state"
place "$program" "$work/opt dir"  # a blank in the path: quoted in the unit
settings '[SERVERS]' server_1=127.0.0.1

export ORVANTA_SYSTEMD_UNIT_DIR=$work/units E2E_STATE=$state E2E_LIB=$(realpath "$(dirname "$0")/lib.sh")
export E2E_NOTIFY="orvanta-e2e-notify-$$"
export PATH="$work/bin:$PATH"

# The notify socket: one line per message, its lines joined by "|".
python3 -u -c 'import socket, sys
s = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
s.bind("\0" + sys.argv[1])
open(sys.argv[2] + "/listening", "w").close()
with open(sys.argv[2] + "/notify", "a") as out:
    while True:
        out.write(s.recv(4096).decode().replace("\n", "|") + "\n")
        out.flush()' "$E2E_NOTIFY" "$state" &
pids+=($!)
wait_until 5 test -f "$state/listening" || die "the notify listener did not start"
touch "$state/notify" "$state/calls"

cat >"$work/bin/systemctl" <<'STANDIN'
#!/usr/bin/env bash
# systemctl for one notify service, as far as the test needs it.
set -u
. "$E2E_LIB"
echo "$*" >>"$E2E_STATE/calls"
while [[ ${1:-} == -* ]]; do shift; done
verb=${1:-} name=${2:-}
exited() { [ -f "$E2E_STATE/status" ]; }
active() { [ -f "$E2E_STATE/pid" ] && ! exited && kill -0 "$(cat "$E2E_STATE/pid")" 2>/dev/null; }
ready_or_exited() { exited || tail -n +"$((seen + 1))" "$E2E_STATE/notify" | grep -q 'READY=1'; }
case $verb in
  is-active) active ;;
  start)
    active && exit 0
    line=$(sed -n 's/^ExecStart=//p' "$ORVANTA_SYSTEMD_UNIT_DIR/$name")
    exec_start=$(python3 -c 'import shlex, sys; print(shlex.split(sys.argv[1])[0].replace("%%", "%"))' "$line")
    rm -f "$E2E_STATE/pid" "$E2E_STATE/status"
    seen=$(wc -l <"$E2E_STATE/notify")
    # The main process: its own pid in SYSTEMD_EXEC_PID; its exit status kept.
    NOTIFY_SOCKET="@$E2E_NOTIFY" INVOCATION_ID=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n') setsid bash -c '
      bash -c '\''echo $$ >"$0/pid"; export SYSTEMD_EXEC_PID=$$; exec "$1"'\'' "$0" "$1"
      echo $? >"$0/status"' "$E2E_STATE" "$exec_start" </dev/null >>"$E2E_STATE/service.out" 2>&1 &
    wait_until 20 ready_or_exited && ! exited ;;
  stop)
    active || exit 0
    kill -TERM "$(cat "$E2E_STATE/pid")"
    wait_until 20 exited ;;
esac
STANDIN
chmod +x "$work/bin/systemctl"

service=OrvantaService.service
expect_calls() {  # expect_calls CALL...: systemctl's calls since the last check, each with --quiet
  local want got
  want=$(for call in "$@"; do echo "--quiet $call"; done)
  got=$(cat "$state/calls"); : >"$state/calls"
  [ "$got" = "$want" ] || die "systemctl calls: $(paste -sd ';' <<<"$got"); expected $(paste -sd ';' <<<"$want")"
}
# mark, then expect_notify MESSAGE...: the notify messages since the mark, in
# order. A stop comes at the earliest after the worker's 5 s start-up pause.
mark() { from=$(wc -l <"$state/notify"); }
# The outcome of each pass (STATUS=Synchronized ...) comes whenever a pass
# ends; the sequences below are of the states alone.
notified() { tail -n +"$((from + 1))" "$state/notify" | grep -vE '^STATUS=(Synchronized|No server)' || true; }
notified_as_wanted() { [ "$(notified)" = "$want" ]; }
expect_notify() {
  want=$(printf '%s\n' "$@")
  wait_until 20 notified_as_wanted || die "notified: $(notified | paste -sd ';'); expected $(paste -sd ';' <<<"$want")"
}
exited_with_zero() {  # the service process ends, with status 0
  wait_until 20 test -f "$state/status" || die "the service process did not end"
  [ "$(cat "$state/status")" = 0 ] || die "the service exited $(cat "$state/status")"
}
start1='STATUS=Starting (checkpoint 1)|EXTEND_TIMEOUT_USEC=3000000'
start2='STATUS=Starting (checkpoint 2)|EXTEND_TIMEOUT_USEC=3000000'
ready='READY=1|STATUS=Running'
paused='STATUS=Paused'
stopping='STOPPING=1|STATUS=Stopping|EXTEND_TIMEOUT_USEC=3000000'
stopped='STOPPING=1|STATUS=Stopped'

echo "-- installme: a unit systemd accepts, reloaded, enabled, started; the first pass follows"
mark
first_pass run "$exe" installme
expect_calls daemon-reload "enable $service" daemon-reload "is-active $service" "start $service"
grep -qxF "ExecStart=\"$exe\"" "$unit" || die "ExecStart is not the program: $(grep ExecStart "$unit")"
verify=$(systemd-analyze verify --man=no "$unit" 2>&1) || die "systemd-analyze verify: $verify"
[ -z "$verify" ] || die "systemd-analyze verify warns: $verify"
expect_notify "$start1" "$start2" "$ready"
pid=$(cat "$state/pid")
# What the pass did, on systemd's status line and in the journal (stderr with
# the priority prefix).
synchronized() { grep -qE '^STATUS=Synchronized [0-9]{2}:[0-9]{2}:[0-9]{2} from 127\.0\.0\.1 \([-+][0-9]+\.[0-9]{3} s\)$' "$state/notify"; }
wait_until 10 synchronized || die "no status line of the pass: $(tail -n 3 "$state/notify" | paste -sd ';')"
grep -q '^<6>Synchronized from 127\.0\.0\.1 (127\.0\.0\.1): offset [-+]' "$state/service.out" ||
  die "no journal record of the pass: $(cat "$state/service.out")"

echo "-- while the service runs, \"debug\" and a start from the shell end at once"
ends_at_once debug
ends_at_once
kill -0 "$pid" || die "the service ended"

echo "-- pause and continue by signals"
mark
kill -USR1 "$pid"; expect_notify "$paused"
kill -USR2 "$pid"; expect_notify "$paused" "$ready"

echo "-- another process signals the event (as the README shows): stopped without stop pending"
mark
python3 -c 'import socket, sys; socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM).sendto(b"1", sys.argv[1])' \
  "$ORVANTA_RUNTIME_DIR/OrvantaServiceEvent.sock"
expect_notify "$stopped"
exited_with_zero

echo "-- uninstallme of the running service: stop (SIGTERM: stop pending, stopped, status 0), stop, disable, delete, reload"
systemctl start "$service" || die "the service did not start again"
: >"$state/calls"
mark
run "$exe" uninstallme
[ "$status" = 0 ] || die "uninstallme exited $status"
expect_calls "stop $service" "stop $service" "disable $service" daemon-reload
[ ! -e "$unit" ] || die "the unit is still there"
expect_notify "$stopping" "$stopped"
exited_with_zero

# The service writes its records for the journal, nothing else.
! grep -vE '^<[346]>' "$state/service.out" || die "the service wrote more than its records"
grep -q '^<6>OrvantaService [0-9.]* started; settings file ' "$state/service.out" || die "no start record"
echo "PASS"
