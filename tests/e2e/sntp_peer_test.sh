#!/usr/bin/env bash
# Our SNTP client against a real peer: chronyd on 127.0.0.1:123 in a private
# network namespace. The stratum must be the one ntpdig reads from chronyd.
# chronyd serves this machine's own clock, so the true offset is 0, and with
# all four timestamps from one clock a measured offset is never further from
# it than half the round trip, however loaded the machine.
#   sntp_peer_test.sh PROBE [RUNNER]   (RUNNER: the Wine wrapper for .exe builds)
set -euo pipefail
. "$(dirname "$0")/lib.sh"
probe=$1; runner=${2:-}
begin

reference=$(ntpdig -j -t 2 127.0.0.1) || die "ntpdig: $reference"
ours=$($runner "$probe" 127.0.0.1 123 | tr -d '\r') || die "probe: $ours"
echo "ntpdig: $reference"
echo "ours:   $ours"
measured() { sed -nE "s/.*$1=([^ ]+).*/\1/p" <<<"$ours"; }
stratum=$(python3 -c 'import json, sys; print(json.loads(sys.argv[1])["stratum"])' "$reference")
[ "$(measured stratum)" = "$stratum" ] || die "stratum $(measured stratum), chronyd says $stratum"
# 10 ms for chronyd's deliberate noise below its precision, and for a step
# of the clock by a test beside this one.
within "$(measured delay)" -0.01 5 || die "delay '$(measured delay)' is no round trip within the 5 s time-out"
half=$(awk -v d="$(measured delay)" 'BEGIN { print (d > 0 ? d / 2 : 0) + 0.01 }')
within "$(measured offset)" "-$half" "$half" || die "offset '$(measured offset)' is further from 0 than half the round trip"
echo "PASS"
