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
program=$1
require_private_netns

work=$(mktemp -d)
state=$work/state
listener=
cleanup() {
  if [ -f "$state/pid" ]; then kill -KILL "$(cat "$state/pid")" 2>/dev/null || true; fi
  if [ -n "$listener" ]; then kill "$listener" 2>/dev/null || true; fi
  stop_chronyd "$work/chrony"
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/bin" "$work/units" "$state" "$work/opt dir"
exe="$work/opt dir/orvanta"  # a blank in the path: quoted in the unit
ini="$work/opt dir/orvanta.ini"
unit="$work/units/OrvantaService.service"
cp "$program" "$exe"
printf '[SERVERS]\nserver_1=127.0.0.1\n' >"$ini"
start_chronyd "$work/chrony"

export ORVANTA_SYSTEMD_UNIT_DIR=$work/units E2E_STATE=$state
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
listener=$!
for _ in $(seq 1 50); do [ -f "$state/listening" ] && break; sleep 0.1; done
[ -f "$state/listening" ] || die "the notify listener did not start"
touch "$state/notify" "$state/calls"

cat >"$work/bin/systemctl" <<'STANDIN'
#!/usr/bin/env bash
# systemctl for one notify service, as far as the test needs it.
set -u
echo "$*" >>"$E2E_STATE/calls"
words=()
for word in "$@"; do [[ $word == -* ]] || words+=("$word"); done
verb=${words[0]} name=${words[1]:-}
running() { [ -f "$E2E_STATE/pid" ] && [ ! -f "$E2E_STATE/status" ] && kill -0 "$(cat "$E2E_STATE/pid")" 2>/dev/null; }
case $verb in
  is-active) running; exit ;;
  start)
    running && exit 0
    line=$(sed -n 's/^ExecStart=//p' "$ORVANTA_SYSTEMD_UNIT_DIR/$name")
    exec_start=$(python3 -c 'import shlex, sys; print(shlex.split(sys.argv[1])[0].replace("%%", "%"))' "$line")
    rm -f "$E2E_STATE/pid" "$E2E_STATE/status"
    seen=$(wc -l <"$E2E_STATE/notify")
    # The main process: its own pid in SYSTEMD_EXEC_PID; its exit status kept.
    NOTIFY_SOCKET="@$E2E_NOTIFY" INVOCATION_ID=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n') setsid bash -c '
      bash -c '\''echo $$ >"$0/pid"; export SYSTEMD_EXEC_PID=$$; exec "$1"'\'' "$0" "$1"
      echo $? >"$0/status"' "$E2E_STATE" "$exec_start" </dev/null >>"$E2E_STATE/service.out" 2>&1 &
    for _ in $(seq 1 100); do
      tail -n +"$((seen + 1))" "$E2E_STATE/notify" | grep -q 'READY=1' && exit 0
      [ -f "$E2E_STATE/status" ] && exit 1
      sleep 0.1
    done
    exit 1 ;;
  stop)
    running || exit 0
    kill -TERM "$(cat "$E2E_STATE/pid")"
    for _ in $(seq 1 100); do [ -f "$E2E_STATE/status" ] && exit 0; sleep 0.1; done
    exit 1 ;;
esac
exit 0
STANDIN
chmod +x "$work/bin/systemctl"

calls() { cp "$state/calls" "$state/calls.last"; cat "$state/calls"; : >"$state/calls"; }
notify_count() { wc -l <"$state/notify"; }
expect_notify() {  # expect_notify FROM MESSAGE...: the messages after line FROM, in order
  local from=$1; shift
  local want; want=$(printf '%s\n' "$@")
  local got
  for _ in $(seq 1 50); do
    got=$(tail -n +"$((from + 1))" "$state/notify")
    [ "$got" = "$want" ] && return 0
    sleep 0.1
  done
  die "notify messages: expected
$want
got
$got"
}
wait_status() {  # wait_status: the service process's exit status, once it has ended
  for _ in $(seq 1 100); do [ -f "$state/status" ] && { cat "$state/status"; return 0; }; sleep 0.1; done
  die "the service process did not end"
}
ends_at_once() {  # ends_at_once WORD...: orvanta WORD ends within 5 s, with status 0 and no output
  local out status=0
  out=$(timeout 5 "$exe" "$@" 2>&1) || status=$?
  [ "$status" = 0 ] || die "orvanta $* ended with $status (124: still running after 5 s)"
  [ -z "$out" ] || die "orvanta $* wrote: $out"
}
start1='STATUS=Starting (checkpoint 1)|EXTEND_TIMEOUT_USEC=3000000'
start2='STATUS=Starting (checkpoint 2)|EXTEND_TIMEOUT_USEC=3000000'
ready='READY=1|STATUS=Running'
paused='STATUS=Paused'
stopping='STOPPING=1|STATUS=Stopping|EXTEND_TIMEOUT_USEC=3000000'
stopped='STOPPING=1|STATUS=Stopped'

echo "-- installme: a unit systemd accepts, reloaded, enabled, started"
"$exe" installme || die "installme exited $?"
[ "$(calls)" = "--quiet daemon-reload
--quiet enable OrvantaService.service
--quiet daemon-reload
--quiet is-active OrvantaService.service
--quiet start OrvantaService.service" ] || die "unexpected systemctl calls: $(cat "$state/calls.last")"
grep -qxF "ExecStart=\"$exe\"" "$unit" || die "ExecStart is not the program: $(grep ExecStart "$unit")"
verify=$(systemd-analyze verify --man=no "$unit" 2>&1) || die "systemd-analyze verify: $verify"
[ -z "$verify" ] || die "systemd-analyze verify warns: $verify"
expect_notify 0 "$start1" "$start2" "$ready"
pid=$(cat "$state/pid")

echo "-- the first pass sets the clock and records it"
for _ in $(seq 1 150); do grep -q '^last=' "$ini" && break; sleep 0.1; done
grep -q '^last=' "$ini" || die "no pass recorded within 15 s"

echo "-- while the service runs, \"debug\" and a start from the shell end at once"
ends_at_once debug
ends_at_once
kill -0 "$pid" || die "the service ended"

echo "-- pause, interrogate, continue, interrogate by signals"
n=$(notify_count)
kill -USR1 "$pid"; expect_notify "$n" "$paused"
kill -HUP "$pid"; expect_notify "$n" "$paused" "$paused"
kill -USR2 "$pid"; expect_notify "$n" "$paused" "$paused" "$ready"
kill -HUP "$pid"; expect_notify "$n" "$paused" "$paused" "$ready" "$ready"

echo "-- installme again: running already, nothing changed"
cp "$unit" "$work/unit.before"
"$exe" installme || die "a second installme exited $?"
[ "$(calls)" = "--quiet is-active OrvantaService.service" ] || die "unexpected systemctl calls: $(cat "$state/calls.last")"
cmp -s "$unit" "$work/unit.before" || die "the unit changed"

echo "-- SIGTERM: stop pending, stopped, exit status 0"
n=$(notify_count)
kill -TERM "$pid"
expect_notify "$n" "$stopping" "$stopped"
[ "$(wait_status)" = 0 ] || die "the service exited $(cat "$state/status")"

echo "-- without systemd the program is no service: it ends at once"
ends_at_once

echo "-- another process signals the event (as the README shows): stopped without stop pending"
n=$(notify_count)
systemctl start OrvantaService.service || die "the service did not start again"
: >"$state/calls"
expect_notify "$n" "$start1" "$start2" "$ready"
python3 -c 'import socket; socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM).sendto(b"1", "\0orvanta-event:Global\\OrvantaServiceEvent")'
expect_notify "$n" "$start1" "$start2" "$ready" "$stopped"
[ "$(wait_status)" = 0 ] || die "the service exited $(cat "$state/status")"

echo "-- uninstallme of the running service: stop, stop, disable, delete, reload"
systemctl start OrvantaService.service || die "the service did not start again"
: >"$state/calls"
n=$(notify_count)
"$exe" uninstallme || die "uninstallme exited $?"
[ "$(calls)" = "--quiet stop OrvantaService.service
--quiet stop OrvantaService.service
--quiet disable OrvantaService.service
--quiet daemon-reload" ] || die "unexpected systemctl calls: $(cat "$state/calls.last")"
[ ! -e "$unit" ] || die "the unit is still there"
expect_notify "$n" "$stopping" "$stopped"
[ "$(wait_status)" = 0 ] || die "the service exited $(cat "$state/status")"

echo "-- uninstallme again: nothing to remove, exit 1, no call"
status=0; "$exe" uninstallme || status=$?
[ "$status" = 1 ] || die "a second uninstallme exited $status"
[ -z "$(calls)" ] || die "systemctl was called"
[ ! -s "$state/service.out" ] || die "the service wrote: $(cat "$state/service.out")"
echo "PASS"
