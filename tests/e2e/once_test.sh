#!/usr/bin/env bash
# "once" end to end: the real program, a settings file beside it, chronyd on
# 127.0.0.1:123 serving this machine's own time, all in a private network
# namespace.
#   once_test.sh PROGRAM [RUNNER]   (RUNNER: the Wine wrapper for orvanta.exe)
set -euo pipefail
. "$(dirname "$0")/lib.sh"
program=$1; runner=${2:-}
require_private_netns

work=$(mktemp -d)
silent_pids=()
cleanup() {
  stop_chronyd "$work/chrony"
  for pid in "${silent_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/bin"
exe="$work/bin/$(basename "$program")"
cp "$program" "$exe"
ini="${exe%.exe}.ini"
start_chronyd "$work/chrony"

servers() {  # servers NAME...: a settings file naming these servers, in order
  : >"$ini"
  printf '[SERVERS]\r\n' >>"$ini"
  local n=1
  for s in "$@"; do printf 'server_%d=%s\r\n' "$n" "$s" >>"$ini"; n=$((n + 1)); done
}
run_once() { set +e; $runner "$exe" once >>"$work/program.log" 2>&1; status=$?; set -e; }
value() { sed -nE "s/^$1=([^\r]*)\r?$/\1/p" "$ini"; }
check_recorded() {
  [ "$status" = 0 ] || die "once exited $status, expected 0"
  local last adjusted
  last=$(value last); adjusted=$(value adjusted)
  [[ "$last" =~ ^[0-9A-F]{34}$ ]] || die "last is '$last'"
  python3 -c 'import sys; sys.exit(0 if abs(float(sys.argv[1])) <= 0.005 else 1)' "$adjusted" \
    || die "adjusted is '$adjusted', not within 5 ms of zero"
  echo "  recorded adjusted=$adjusted last=$last"
}

echo "-- chronyd answers: the clock is set and recorded"
servers 127.0.0.1
run_once
check_recorded
offset=$(ntpdig -j -t 2 127.0.0.1 | python3 -c 'import json,sys; print(json.load(sys.stdin)["offset"])')
python3 -c 'import sys; sys.exit(0 if abs(float(sys.argv[1])) <= 0.05 else 1)' "$offset" \
  || die "the clock is $offset s off afterwards"

echo "-- an unreachable server first, chronyd second"
servers 127.0.0.2 127.0.0.1
run_once
check_recorded

echo "-- no server answers: exit 1 after the reply time-out of each, file unchanged"
for address in 127.0.0.3 127.0.0.4; do
  python3 -c 'import socket,sys,time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind((sys.argv[1], 123))
time.sleep(120)' "$address" &
  silent_pids+=($!)
done
sleep 0.3
servers 127.0.0.3 127.0.0.4
printf '[INFO]\r\nadjusted=1.234\r\n' >>"$ini"
cp "$ini" "$work/before.ini"
started=$(date +%s.%N)
run_once
elapsed=$(python3 -c 'import sys,time; print(round(time.time() - float(sys.argv[1]), 1))' "$started")
[ "$status" = 1 ] || die "once exited $status, expected 1"
cmp -s "$ini" "$work/before.ini" || die "the settings file changed"
# 4 s start-up delay, then 5 s for each silent server.
python3 -c 'import sys; sys.exit(0 if 13.5 <= float(sys.argv[1]) <= 20 else 1)' "$elapsed" \
  || die "took $elapsed s, expected about 14 s"
echo "  exit 1 after ${elapsed} s, file unchanged"
echo "PASS"
