#!/usr/bin/env bash
# Our SNTP client against a real peer: chronyd on 127.0.0.1:123 in a private
# network namespace. The stratum must be chronyd's and the offset within 2 ms
# of what ntpdig measures in the same run.
#   sntp_peer_test.sh PROBE [RUNNER]   (RUNNER: the Wine wrapper for .exe builds)
set -euo pipefail
. "$(dirname "$0")/lib.sh"
probe=$1; runner=${2:-}
require_private_netns

work=$(mktemp -d)
trap 'stop_chronyd "$work"; rm -rf "$work"' EXIT
start_chronyd "$work"

for attempt in 1 2 3; do
  reference=$(ntpdig -j -t 2 127.0.0.1)
  ours=$($runner "$probe" 127.0.0.1 123 | tr -d '\r')
  echo "ntpdig: $reference"
  echo "ours:   $ours"
  ref_offset=$(python3 -c 'import json,sys; print(json.loads(sys.argv[1])["offset"])' "$reference")
  ref_stratum=$(python3 -c 'import json,sys; print(json.loads(sys.argv[1])["stratum"])' "$reference")
  our_offset=$(sed -nE 's/.*offset=([-0-9.e]+).*/\1/p' <<<"$ours")
  our_stratum=$(sed -nE 's/.*stratum=([0-9]+).*/\1/p' <<<"$ours")
  [ -n "$our_offset" ] || die "probe gave no offset"
  [ "$our_stratum" = "$ref_stratum" ] || die "stratum $our_stratum, chronyd says $ref_stratum"
  if python3 -c 'import sys; sys.exit(0 if abs(float(sys.argv[1]) - float(sys.argv[2])) <= 0.002 else 1)' \
       "$our_offset" "$ref_offset"; then
    echo "PASS: offsets agree within 2 ms"
    exit 0
  fi
  echo "offsets differ by more than 2 ms; measuring again"
done
die "offset differs from ntpdig's by more than 2 ms in three runs"
