# Shared by the end-to-end scripts (and scripts/demo.sh): a private network
# namespace, chronyd serving this machine's own time on 127.0.0.1:123 without
# touching the clock, polling whose limits scale for slow runs, and the
# programs under test run with their output in a log file.

die() { echo "FAIL: $*" >&2; exit 1; }

# Program starts under Wine and sanitizer builds are slower: CMake sets this
# for them, and every limit below is multiplied by it.
factor=${ORVANTA_TIMEOUT_FACTOR:-1}
scaled() { awk -v s="$1" -v f="$factor" 'BEGIN { print s * f }'; }
now() { date +%s.%N; }
since() { awk -v t="$1" -v n="$(now)" 'BEGIN { printf "%.1f", n - t }'; }
# within VALUE MIN MAX: VALUE is a decimal number from MIN to MAX.
within() {
  [[ $1 =~ ^[-+]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][-+]?[0-9]+)?$ ]] && awk -v v="$1" -v lo="$2" -v hi="$3" 'BEGIN { exit !(v >= lo && v <= hi) }'
}

# wait_until SECONDS COMMAND...: polls COMMAND until it succeeds; status 1
# when SECONDS (scaled) pass first.
wait_until() {
  local deadline=$(($(date +%s%3N) + $(awk -v s="$(scaled "$1")" 'BEGIN { printf "%d", s * 1000 }')))
  shift
  until "$@"; do
    [ "$(date +%s%3N)" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# The tests bind port 123 and may set the clock to the time chronyd serves
# (this machine's own): they must run in a network namespace of their own.
require_private_netns() {
  local links
  links=$(ip -o link show | awk -F': ' '{print $2}' | sed 's/@.*//' | sort -u | tr '\n' ' ')
  [ "$links" = "lo " ] || die "run inside a private network namespace (scripts/test.sh does); links: $links"
  ip link set lo up
}

# start_chronyd [LINE...]: chronyd with these extra lines of configuration.
start_chronyd() {
  mkdir -m 700 -p "$work/chrony"  # chronyd opens its command socket only in a private folder
  printf '%s\n' 'local stratum 10' 'allow 127.0.0.1' 'bindaddress 127.0.0.1' 'port 123' 'cmdport 0' \
    "bindcmdaddress $work/chrony/chronyd.sock" "pidfile $work/chrony/chronyd.pid" "driftfile $work/chrony/drift" \
    "$@" >"$work/chrony/chrony.conf"
  # -x: never adjust the system clock; chronyd only serves it.
  chronyd -x -u root -f "$work/chrony/chrony.conf" >"$work/chrony/chronyd.log" 2>&1 ||
    die "chronyd did not start: $(cat "$work/chrony/chronyd.log")"
  wait_until 10 ntpdig -t 1 127.0.0.1 >/dev/null 2>&1 || die "chronyd does not answer on 127.0.0.1:123"
}

# certificate NAME: a self-signed P-256 certificate for 127.0.0.1,
# $work/NAME.pem, and its key $work/NAME.key.
certificate() {
  openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 -subj /CN=127.0.0.1 \
    -addext subjectAltName=IP:127.0.0.1 -keyout "$work/$1.key" -out "$work/$1.pem" 2>/dev/null
}

# start_nts_chronyd [LINE...]: chronyd serving NTS as well, its key exchange
# on 127.0.0.1:4460 with the certificate $work/server.pem.
start_nts_chronyd() {
  certificate server
  start_chronyd "ntsservercert $work/server.pem" "ntsserverkey $work/server.key" "ntsdumpdir $work/chrony" "$@"
  wait_until 10 bash -c 'exec 3<>/dev/tcp/127.0.0.1/4460' 2>/dev/null || die "no key exchange on 127.0.0.1:4460"
}

stop_chronyd() {
  local pid
  pid=$(cat "$work/chrony/chronyd.pid" 2>/dev/null) || return 0
  kill "$pid" 2>/dev/null
  wait_until 5 ended "$pid" || kill -9 "$pid" 2>/dev/null
}

# prepare: the netns check, a folder $work removed at exit; begin starts
# chronyd too. At exit the background programs in $pids are ended, then the
# script's own on_exit runs.
prepare() {
  require_private_netns
  work=$(mktemp -d) log=$work/program.log pids=()
  trap 'finish $?' EXIT
}
begin() { prepare; start_chronyd; }
finish() {
  set +eu
  for pid in "${pids[@]}"; do kill "$pid" && wait "$pid"; done 2>/dev/null
  if declare -F on_exit >/dev/null; then on_exit; fi
  stop_chronyd
  if [ "$1" != 0 ] && [ -s "$log" ]; then echo "-- the programs' output:"; tail -n 40 "$log"; fi
  rm -rf "$work"
}

# place PROGRAM DIR: a copy of PROGRAM in DIR, as $exe; its settings file $ini.
place() { mkdir -p "$2"; exe=$2/$(basename "$1"); ini=${exe%.exe}.ini; cp "$1" "$exe"; }
# settings LINE...: the settings file, with the platform's line ends.
settings() { if [[ $exe == *.exe ]]; then printf '%s\r\n' "$@"; else printf '%s\n' "$@"; fi >"$ini"; }
value() { sed -nE "s/^$1=([^\r]*)\r?$/\1/p" "$ini"; }
recorded() { [ -n "$(value last)" ]; }
ended() { ! kill -0 "$1" 2>/dev/null; }

# run COMMAND...: under $runner with its output in the log (a Wine process must
# not hold the test runner's pipes), for at most 60 s (scaled); status in $status.
run() { status=0; timeout "$(scaled 60)" $runner "$@" </dev/null >>"$log" 2>&1 || status=$?; }
# launch COMMAND...: the same in the background; its pid is the last of $pids.
launch() { $runner "$@" </dev/null >>"$log" 2>&1 & pids+=($!); }

# first_pass COMMAND...: COMMAND (run or launch) starts the worker, which
# records its first pass, and not before its 5 s start-up pause.
first_pass() {
  local started took
  started=$(now) status=0
  "$@"
  [ "$status" = 0 ] || die "${*:2} exited $status"
  wait_until 40 recorded || die "no pass recorded within $(scaled 40) s"
  took=$(since "$started")
  within "$took" 4.5 1e9 || die "first pass recorded after $took s, before the start-up pause"
  echo "  first pass after $took s: last=$(value last)"
}

# ends_at_once WORD...: "orvanta WORD..." beside the holder of the named event
# ends at once, with status 0.
ends_at_once() { run "$exe" "$@"; [ "$status" = 0 ] || die "orvanta $* beside the holder exited $status (124: kept running)"; }
signal_event() { run "$signal"; [ "$status" = 0 ] || die "signal_event exited $status"; }
# ends_with_zero PID: the background program ends within 20 s (scaled), with status 0.
ends_with_zero() {
  wait_until 20 ended "$1" || die "still running $(scaled 20) s after the signal"
  status=0; wait "$1" || status=$?
  [ "$status" = 0 ] || die "ended with status $status after the signal"
}

# The Windows service, through tests/tools/service_control ($control) and reg.
service=OrvantaService
source_key='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\OrvantaService'
svc() { $runner "$control" "$@" </dev/null 2>>"$log" | tr -d '\r'; }
reg_query() { $runner reg query "$@" </dev/null 2>>"$log" | tr -d '\r'; }
field() { sed -n "s/^$1=//p" <<<"$2"; }
unregistered() { out=$(svc query "$service"); [ "$(field error "$out")" = 1060 ]; }
# in_state STATE: the service is in STATE, with win32 exit code 0.
in_state() { out=$(svc query "$service") && [ "$(field state "$out")/$(field win32_exit_code "$out")" = "$1/0" ]; }
