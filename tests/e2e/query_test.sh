#!/usr/bin/env bash
# "query" against a real peer: chronyd on 127.0.0.1:123 in a private network
# namespace, and a name that does not resolve. The stratum must be the one
# ntpdig reads from chronyd. chronyd serves this machine's own clock, so the
# true offset is 0, and with all four timestamps from one clock a measured
# offset is never further from it than half the round trip, however loaded
# the machine. Nothing is written beside the program.
#   query_test.sh PROGRAM [RUNNER]   (RUNNER: the Wine wrapper for orvanta.exe)
set -euo pipefail
. "$(dirname "$0")/lib.sh"
program=$1; runner=${2:-}
begin
place "$program" "$work/bin"

reference=$(ntpdig -j -t 2 127.0.0.1) || die "ntpdig: $reference"
status=0
lines=$($runner "$exe" query 127.0.0.1 nowhere.invalid </dev/null 2>>"$log" | tr -d '\r') || status=$?
echo "ntpdig: $reference"
echo "query:  $lines"
[ "$status" = 0 ] || die "query exited $status with an answer"
ours=$(head -n 1 <<<"$lines")
[[ $ours =~ ^127\.0\.0\.1\ 127\.0\.0\.1\ offset=[-+][0-9]+\.[0-9]{6}\ delay=-?[0-9]+\.[0-9]{6}\ stratum=[0-9]+\ leap=0$ ]] ||
  die "not a line of an answer: $ours"
[[ $(sed -n 2p <<<"$lines") =~ ^nowhere\.invalid\ -\ error=1100[1-4]\ name\  ]] || die "not a line of a name not resolved"
measured() { sed -nE "s/.*$1=([^ ]+).*/\1/p" <<<"$ours"; }
stratum=$(python3 -c 'import json, sys; print(json.loads(sys.argv[1])["stratum"])' "$reference")
[ "$(measured stratum)" = "$stratum" ] || die "stratum $(measured stratum), chronyd says $stratum"
# 10 ms for chronyd's deliberate noise below its precision, and for a step
# of the clock by a test beside this one.
within "$(measured delay)" -0.01 5 || die "delay '$(measured delay)' is no round trip within the 5 s time-out"
half=$(awk -v d="$(measured delay)" 'BEGIN { print (d > 0 ? d / 2 : 0) + 0.01 }')
within "$(measured offset)" "-$half" "$half" || die "offset '$(measured offset)' is further from 0 than half the round trip"
[ "$(ls -A "$work/bin")" = "$(basename "$exe")" ] || die "query wrote beside the program: $(ls -A "$work/bin")"
echo "PASS"
