#!/usr/bin/env bash
# Authenticated time against a real peer: chronyd serves NTS on 127.0.0.1
# (key exchange on 4460) with a certificate made here, and its key exchange
# sends clients to a relay on 127.0.0.3:123 that passes the time packets on,
# or flips one bit of each reply. An NTS entry synchronizes only through
# NTS; a wrong trust anchor, a closed key exchange port and a flipped bit
# each fail that server alone, in words, and the next server is used. On
# Windows, a chain that only the system's certificate engine can complete
# (its intermediate in the system's CA store) is trusted.
#   nts_test.sh PROGRAM [RUNNER CERT_STORE]   (for orvanta.exe: the Wine wrapper, tools/cert_store)
set -euo pipefail
. "$(dirname "$0")/lib.sh"
program=$1; runner=${2:-}; cert_store=${3:-}
prepare
place "$program" "$work/bin"
# The records of "once" go to the log: Wine traces the Event Log's, natively
# they go to stderr as for the journal.
if [ -n "$runner" ]; then export WINEDEBUG=+eventlog; else export JOURNAL_STREAM=1:1; fi
# A second name of the server, "localhost", with a certificate from an
# intermediate of a root of our own; chronyd sends the certificate alone.
sign() {  # sign NAME ISSUER EXTENSIONS: $work/NAME.pem issued by ISSUER (.pem, .key)
  openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -subj "/CN=$1" -keyout "$work/$1.key" 2>/dev/null |
    openssl x509 -req -CA "$work/$2.pem" -CAkey "$work/$2.key" -CAcreateserial -days 2 -out "$work/$1.pem" \
      -extfile <(printf '%s\n' "$3") 2>/dev/null
  openssl x509 -in "$work/$1.pem" -outform der -out "$work/$1.der"
}
certificate root
sign intermediate root 'basicConstraints=critical,CA:TRUE'
sign localhost intermediate 'subjectAltName=DNS:localhost'
openssl x509 -in "$work/root.pem" -outform der -out "$work/root.der"
start_nts_chronyd 'ntsntpserver 127.0.0.3' "ntsservercert $work/localhost.pem" "ntsserverkey $work/localhost.key"
certificate stranger
cp "$work/server.pem" "$work/stranger.pem" "$work/bin/"
python3 -c '
import os, socket, sys
relay = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); relay.bind(("127.0.0.3", 123))
server = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); server.connect(("127.0.0.1", 123)); server.settimeout(5)
while True:
    request, client = relay.recvfrom(4096)
    with open(sys.argv[1] + "/sizes", "a") as sizes: print(len(request), file=sizes)
    server.send(request)
    try: reply = bytearray(server.recv(4096))
    except socket.timeout: continue
    if os.path.exists(sys.argv[1] + "/flip"): reply[40] ^= 1
    relay.sendto(reply, client)
' "$work" 2>>"$log" &
pids+=($!)
wait_until 10 ntpdig -t 1 127.0.0.3 >/dev/null 2>&1 || die "the relay does not pass answers on"
rm -f "$work/sizes"  # the probe's plain request

query() { status=0; lines=$($runner "$exe" query "$@" </dev/null 2>>"$log" | tr -d '\r') || status=$?; echo "$lines"; }
line_of() { grep -F "$1 " <<<"$lines"; }

echo "-- an NTS entry synchronizes, and chronyd counts an authenticated client"
settings '[SERVERS]' 'server_1=nts://127.0.0.1' '[OPTIONS]' 'nts_certificates=server.pem'
run "$exe" once
[ "$status" = 0 ] || die "once exited $status"
recorded || die "nothing recorded"
within "$(value adjusted)" -3 3 || die "adjusted '$(value adjusted)' is not the offset from this machine's own time"
grep -q 'Synchronized from nts://127.0.0.1 (127.0.0.3).*authenticated by NTS' "$log" || die "no authenticated synchronization in the log"
served() { chronyc -h "$work/chrony/chronyd.sock" serverstats | sed -nE "s/^$1 *: *//p"; }
[ "$(served 'Authenticated NTP packets')" -ge 1 ] || die "chronyd counts no authenticated packet"
# A second question to the same server spends a cookie: no new key exchange.
exchanges=$(served 'NTS-KE connections accepted')
query nts://127.0.0.1 nts://127.0.0.1
[[ $lines =~ ^(nts://127\.0\.0\.1\ 127\.0\.0\.3\ offset=[^$'\n']*\ leap=0\ nts($'\n'|$)){2}$ ]] || die "not two authenticated answers"
[ "$(served 'NTS-KE connections accepted')" = $((exchanges + 1)) ] || die "a key exchange for each question"

if [ -n "$cert_store" ]; then
  echo "-- Windows: the system's engine completes a chain the roots at hand cannot"
  thumbprint() { openssl x509 -in "$work/$1.pem" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g'; }
  on_exit() {
    for store in ROOT:root CA:intermediate; do
      $runner reg delete "HKCU\\Software\\Microsoft\\SystemCertificates\\${store%:*}\\Certificates\\$(thumbprint "${store#*:}")" /f
    done </dev/null >/dev/null 2>&1
  }
  settings '[SERVERS]' 'server_1=nts://localhost' '[OPTIONS]' 'nts_certificates=server.pem'
  run "$cert_store" ROOT "Z:$work/root.der"
  run "$cert_store" CA "Z:$work/intermediate.der"
  [ "$status" = 0 ] || die "cert_store exited $status"
  query
  [[ $lines =~ ^nts://localhost\ 127\.0\.0\.3\ offset=.*\ nts$ ]] || die "a chain the system completes is not trusted"
fi

echo "-- each failure fails that server alone, in words, and is never asked without NTS"
touch "$work/flip"
query nts://127.0.0.1:4461 nts://127.0.0.1 127.0.0.1
[ "$status" = 0 ] || die "query exited $status with a plain server answering"
line_of nts://127.0.0.1:4461 | grep -q 'error=10061 connection refused' || die "closed key exchange port"
line_of nts://127.0.0.1 | grep -q 'error=536871207 NTS: reply not authenticated' || die "flipped bit"
grep -qx 48 "$work/sizes" && die "a plain request went to the NTS server's time address"
settings '[SERVERS]' 'server_1=nts://127.0.0.1' '[OPTIONS]' 'nts_certificates=stranger.pem'
query
[ "$status" = 1 ] || die "query exited $status with no server answering"
grep -q 'error=536871202 NTS: certificate not trusted' <<<"$lines" || die "wrong trust anchor"

echo "-- failing NTS servers set nothing and write nothing; the next server is used"
settings '[SERVERS]' 'server_1=nts://127.0.0.1:4461' 'server_2=nts://127.0.0.1' '[OPTIONS]' 'nts_certificates=stranger.pem'
run "$exe" once
[ "$status" = 1 ] || die "once exited $status with no server usable"
[ -z "$(value last)$(value adjusted)" ] || die "a failing NTS server was recorded"
grep -q 'Server nts://127.0.0.1 (127.0.0.1) failed: NTS: certificate not trusted' "$log" || die "wrong trust anchor not in the log"
settings '[SERVERS]' 'server_1=nts://127.0.0.1:4461' 'server_2=nts://127.0.0.1' 'server_3=127.0.0.1' \
  '[OPTIONS]' 'nts_certificates=server.pem'
run "$exe" once
[ "$status" = 0 ] || die "once exited $status"
grep -q 'Server nts://127.0.0.1:4461 (127.0.0.1) failed: connection refused' "$log" || die "closed port not in the log"
grep -q 'Server nts://127.0.0.1 (127.0.0.3) failed: NTS: reply not authenticated' "$log" || die "flipped bit not in the log"
grep -q 'Synchronized from 127.0.0.1 (127.0.0.1)' "$log" || die "the next server was not used"
recorded || die "the plain server's synchronization was not recorded"
echo "PASS"
