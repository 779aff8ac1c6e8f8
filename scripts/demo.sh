#!/usr/bin/env bash
# The main job, safely on any machine: set up, build, start chronyd in a
# private network namespace as the stand-in for the Internet time servers
# (plain SNTP and NTS), synchronize once against it with authenticated time
# (natively, then orvanta.exe under Wine), show what was recorded in the
# settings file, and what "query" reports.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

if [ "${ORVANTA_IN_NETNS:-}" != 1 ]; then
  echo "== setting up and building (native and Windows x64)"
  bash scripts/build-program.sh linux windows-x64
  export ORVANTA_IN_NETNS=1
  exec unshare --net -- bash "$0" "$@"
fi

. tests/e2e/lib.sh
prefix=$root/build/windows-x64/wineprefix
on_exit() { scripts/wine-session.sh stop "$prefix" >/dev/null 2>&1; }
prepare
start_nts_chronyd
echo "== chronyd serves this machine's time on 127.0.0.1:123 (private network namespace),"
echo "   and NTS with a certificate made here (key exchange on 127.0.0.1:4460)"

describe() {  # describe INI: what the last synchronization recorded, in words
  python3 - "$1" <<'PY'
import re, struct, sys
text = open(sys.argv[1], newline="").read()
def value(key):
    m = re.search(r"^%s=([^\r\n]*)" % key, text, re.M)
    return m.group(1) if m else None
adjusted, last = value("adjusted"), value("last")
if adjusted is None or last is None:
    print("   nothing recorded: the clock was not set"); sys.exit()
raw = bytes.fromhex(last[:32])
y, mo, dow, d, h, mi, s, ms = struct.unpack("<8H", raw)
days = ["Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"]
print("   clock corrected by %s s" % adjusted)
print("   last adjustment: %s %04d-%02d-%02d %02d:%02d:%02d.%03d (local time)" % (days[dow % 7], y, mo, d, h, mi, s, ms))
PY
}

sync_once() {  # sync_once LABEL PROGRAM [RUNNER]
  local label=$1 runner=${3:-} status=0
  place "$2" "$work/$label"
  cp "$work/server.pem" "$work/$label/"
  settings '[OPTIONS]' 'nts_certificates=server.pem' '[SERVERS]' 'server_1=nts://127.0.0.1' 'server_2=127.0.0.1'
  echo "== $label: orvanta once (waits its 4 s start-up delay, then asks nts://127.0.0.1)"
  $runner "$exe" once || status=$?
  echo "   exit status $status"
  describe "$ini"
  echo "   orvanta query (the settings file's servers; \"nts\": authenticated):"
  $runner "$exe" query </dev/null 2>/dev/null | tr -d '\r' | sed 's/^/   /' || true
}

sync_once linux "$root/build/linux/src/orvanta"
scripts/wine-session.sh start "$prefix" >/dev/null
sync_once windows-x64 "$root/build/windows-x64/src/orvanta.exe" "$root/build/windows-x64/wine-run"
