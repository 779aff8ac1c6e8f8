#!/usr/bin/env bash
# "once" end to end: the real program, a settings file beside it, chronyd on
# 127.0.0.1:123 serving this machine's own time, all in a private network
# namespace.
#   once_test.sh PROGRAM [RUNNER]   (RUNNER: the Wine wrapper for orvanta.exe)
set -euo pipefail
. "$(dirname "$0")/lib.sh"
program=$1; runner=${2:-}
begin
place "$program" "$work/bin"

# Exit 0 and a believable record. chronyd serves this machine's own clock, so
# the true offset is 0, and a reply taken within the 5 s reply time-out is off
# by at most half its round trip: how precisely is for the benchmark to say.
check_recorded() {
  [ "$status" = 0 ] || die "once exited $status, expected 0"
  [[ $(value last) =~ ^[0-9A-F]{34}$ ]] || die "last is '$(value last)'"
  within "$(value adjusted)" -3 3 || die "adjusted is '$(value adjusted)', not a number within 3 s of zero"
  echo "  recorded adjusted=$(value adjusted) last=$(value last)"
}

echo "-- chronyd answers: the clock is set and recorded"
settings '[SERVERS]' server_1=127.0.0.1
run "$exe" once
check_recorded

echo "-- an unreachable server first, chronyd second; the records say so"
settings '[SERVERS]' server_1=127.0.0.2 server_2=127.0.0.1
: >"$log"
if [ -n "$runner" ]; then
  # Wine keeps no Event Log; its trace shows each record the program reports.
  WINEDEBUG=+eventlog run "$exe" once
  grep -q 'ReportEventW L"Server 127.0.0.2 (127.0.0.2) failed: ' "$log" || die "no warning record: $(cat "$log")"
  grep -q 'ReportEventW L"Synchronized from 127.0.0.1 (127.0.0.1): offset ' "$log" || die "no record of the pass"
else
  run "$exe" once
  [ ! -s "$log" ] || die "once wrote to its terminal: $(cat "$log")"
fi
check_recorded

echo "-- no server answers: exit 1 after the reply time-out of each, file unchanged"
python3 -c 'import socket, time
silent = [socket.socket(socket.AF_INET, socket.SOCK_DGRAM) for _ in range(2)]
for s, address in zip(silent, ("127.0.0.3", "127.0.0.4")): s.bind((address, 123))
time.sleep(600)' &
pids+=($!)
# Bound, or the kernel would refuse the requests at once.
silent_bound() { [ "$(ss -Hlun 'sport = :123' | grep -cE ' 127\.0\.0\.[34]:123 ')" = 2 ]; }
wait_until 10 silent_bound || die "the silent servers did not bind"
settings '[SERVERS]' server_1=127.0.0.3 server_2=127.0.0.4 '[INFO]' adjusted=1.234
cp "$ini" "$work/before.ini"
started=$(now)
run "$exe" once
took=$(since "$started")
[ "$status" = 1 ] || die "once exited $status, expected 1"
cmp -s "$ini" "$work/before.ini" || die "the settings file changed"
# The 4 s start-up delay and 5 s for each silent server make 14 s.
within "$took" 13.5 "$(scaled 30)" || die "took $took s, not 14 s and at most $(scaled 30) s"
echo "  exit 1 after $took s, file unchanged"
echo "PASS"
