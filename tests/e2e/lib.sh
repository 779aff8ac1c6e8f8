# Shared by the end-to-end scripts: isolation checks and a chronyd that
# serves this machine's own time on 127.0.0.1:123 without touching the clock.

die() { echo "FAIL: $*" >&2; exit 1; }

# The tests bind port 123 and may set the clock to the time chronyd serves
# (this machine's own): they must run in a network namespace of their own.
require_private_netns() {
  local links
  links=$(ip -o link show | awk -F': ' '{print $2}' | sed 's/@.*//' | sort -u | tr '\n' ' ')
  [ "$links" = "lo " ] || die "run inside a private network namespace (scripts/test.sh does); links: $links"
  ip link set lo up
}

# start_chronyd DIR: chronyd in the foreground process group's background,
# its files in DIR; waits until it answers.
start_chronyd() {
  local dir=$1
  mkdir -p "$dir"
  cat >"$dir/chrony.conf" <<CONF
local stratum 10
allow 127.0.0.1
bindaddress 127.0.0.1
port 123
cmdport 0
pidfile $dir/chronyd.pid
driftfile $dir/drift
CONF
  # -x: never adjust the system clock; chronyd only serves it.
  chronyd -x -u root -f "$dir/chrony.conf" >"$dir/chronyd.log" 2>&1 || die "chronyd did not start: $(cat "$dir/chronyd.log")"
  local i
  for i in $(seq 1 50); do
    ntpdig -t 1 127.0.0.1 >/dev/null 2>&1 && return 0
    sleep 0.2
  done
  die "chronyd does not answer on 127.0.0.1:123"
}

stop_chronyd() {
  local dir=$1 pid
  [ -f "$dir/chronyd.pid" ] || return 0
  pid=$(cat "$dir/chronyd.pid")
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.1; done
  kill -9 "$pid" 2>/dev/null || true
}
