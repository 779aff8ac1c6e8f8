#!/usr/bin/env bash
# The benchmark (not a test: nothing here fails on a number). In a private
# network namespace, chronyd serves this machine's own clock on 127.0.0.1:123,
# so the true offset is 0 and every reported offset is an error. It prints a
# Markdown table and draws docs/bench-errors.png.
#
#   accuracy   median and largest |offset| of 50 queries each, for orvanta
#              query (native), orvanta.exe query (Wine x64), ntpdig and
#              chronyd -Q; directly, and through a relay of our own that adds
#              5 ms each way (symmetric) or 0 and 10 ms (asymmetric)
#   footprint  stripped sizes; resident memory of "debug" after its first
#              pass; system calls between two periodic passes; the time a pass
#              takes with 0, 1 or 2 silent servers ahead of a good one
#
#   scripts/bench.sh [SAMPLES]      (default 50)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
samples=${1:-50}

if [ "${ORVANTA_IN_NETNS:-}" != 1 ]; then
  bash scripts/build-program.sh linux windows-x64 windows-x86
  export ORVANTA_IN_NETNS=1
  exec unshare --net -- bash "$0" "$@"
fi

. tests/e2e/lib.sh
ip link set lo up
work=$(mktemp -d)
prefix=$root/build/windows-x64/wineprefix
pids=()
cleanup() {
  set +e
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  stop_chronyd "$work/chrony"
  bash scripts/wine-session.sh stop "$prefix" >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
start_chronyd "$work/chrony"
bash scripts/wine-session.sh start "$prefix" >/dev/null
native=$root/build/linux/src/orvanta
wine_run=$root/build/windows-x64/wine-run
cp "$root/build/windows-x64/src/orvanta.exe" "$work/"

# A relay on 127.0.0.2:123 that holds each request OUT ms and each reply
# BACK ms on their way to and from chronyd.
relay() {
  python3 -u - "$1" "$2" <<'PY' &
import socket, sys, threading, time
out_ms, back_ms = float(sys.argv[1]), float(sys.argv[2])
front = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
front.bind(("127.0.0.2", 123))
def carry(data, client):
    time.sleep(out_ms / 1000)
    back = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    back.settimeout(5)
    back.sendto(data, ("127.0.0.1", 123))
    try:
        reply = back.recv(2048)
    except socket.timeout:
        return
    time.sleep(back_ms / 1000)
    front.sendto(reply, client)
print("ready", flush=True)
while True:
    data, client = front.recvfrom(2048)
    threading.Thread(target=carry, args=(data, client), daemon=True).start()
PY
  pids+=($!)
}

# offsets CLIENT HOST: one offset in seconds per line, $samples of them.
offsets() {
  local client=$1 host=$2 i
  case $client in
    orvanta) "$native" query $(yes "$host" | head -n "$samples") | sed -nE 's/.* offset=([-+0-9.]+) .*/\1/p' ;;
    orvanta.exe) "$wine_run" "$work/orvanta.exe" query $(yes "$host" | head -n "$samples") 2>/dev/null |
                   tr -d '\r' | sed -nE 's/.* offset=([-+0-9.]+) .*/\1/p' ;;
    ntpdig) for i in $(seq "$samples"); do ntpdig -j -t 2 "$host" | sed -nE 's/.*"offset":([-0-9.e]+).*/\1/p'; done ;;
    chronyd) for i in $(seq "$samples"); do
               chronyd -Q -t 10 "server $host iburst minsamples 1 maxsamples 1" "cmdport 0" "pidfile $work/q.pid" 2>&1 |
                 sed -nE 's/.*wrong by ([-0-9.e]+) seconds.*/\1/p'
             done ;;
  esac
}

clients=(orvanta orvanta.exe ntpdig chronyd)
: >"$work/samples.csv"
measure() {  # measure LABEL HOST
  local client
  for client in "${clients[@]}"; do
    offsets "$client" "$2" | sed "s/^/$1,$client,/" >>"$work/samples.csv"
  done
}

measure direct 127.0.0.1
relay 5 5
sleep 0.5
measure "symmetric 5+5 ms" 127.0.0.2
kill "${pids[-1]}"; wait "${pids[-1]}" 2>/dev/null || true
relay 0 10
sleep 0.5
measure "asymmetric 0+10 ms" 127.0.0.2

# Footprint.
strip -o "$work/orvanta.stripped" "$native"
size_of() { stat -c %s "$1"; }
linux_size=$(size_of "$work/orvanta.stripped")
x64_size=$(size_of "$root/build/windows-x64/src/orvanta.exe")
x86_size=$(size_of "$root/build/windows-x86/src/orvanta.exe")

# "debug" against chronyd, period 1 minute: its memory after the first pass,
# and every system call it makes until the second pass begins.
mkdir -p "$work/debug"
cp "$native" "$work/debug/orvanta"
printf '[SERVERS]\nserver_1=127.0.0.1\n[OPTIONS]\nperiod=1\n' >"$work/debug/orvanta.ini"
value() { sed -nE "s/^$1=(.*)$/\1/p" "$work/debug/orvanta.ini"; }
ORVANTA_RUNTIME_DIR=$work/run "$work/debug/orvanta" debug >/dev/null 2>&1 &
debug=$!; pids+=("$debug")
until [ -n "$(value last)" ]; do sleep 0.2; done
sleep 1
rss_kb=$(sed -nE 's/^Rss:\s+([0-9]+) kB/\1/p' "/proc/$debug/smaps_rollup")
pss_kb=$(sed -nE 's/^Pss:\s+([0-9]+) kB/\1/p' "/proc/$debug/smaps_rollup")
anon_kb=$(sed -nE 's/^Pss_Anon:\s+([0-9]+) kB/\1/p' "/proc/$debug/smaps_rollup")
# Resident pages of shared libraries: counted in the RSS, shared with every process that maps them.
libs_kb=$(awk '/^[0-9a-f]+-/ {lib = ($6 ~ /\.so/)} /^Rss:/ && lib {n += $2} END {print n + 0}' "/proc/$debug/smaps")
first=$(value last)
strace -f -qq -e trace=all -o "$work/strace.log" -p "$debug" &
tracer=$!
until [ "$(value last)" != "$first" ]; do sleep 0.5; done
kill "$tracer"; wait "$tracer" 2>/dev/null || true
kill "$debug"
# Calls before the wait for the period runs out: the wait itself is one
# call, under way when strace came.
# (strace's attach shows the wait resumed as restart_syscall.)
between=$(awk '/\(Timeout\)/ {exit} !/unfinished|resumed|restart_syscall/ {n++} END {print n + 0}' "$work/strace.log")

# A pass with k silent servers first: "once" minus its 4 s start-up delay.
for address in 127.0.0.3 127.0.0.4; do
  python3 -c 'import socket,sys,time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind((sys.argv[1], 123)); time.sleep(600)' "$address" &
  pids+=($!)
done
sleep 0.3
pass_seconds() {  # pass_seconds SERVER...
  local ini=$work/debug/orvanta.ini n=1 s start
  printf '[SERVERS]\n' >"$ini"
  for s in "$@"; do printf 'server_%d=%s\n' "$n" "$s" >>"$ini"; n=$((n + 1)); done
  start=$(date +%s.%N)
  "$work/debug/orvanta" once >/dev/null 2>&1
  python3 -c 'import sys,time; print("%.2f" % (time.time() - float(sys.argv[1]) - 4.0))' "$start"
}
pass0=$(pass_seconds 127.0.0.1)
pass1=$(pass_seconds 127.0.0.3 127.0.0.1)
pass2=$(pass_seconds 127.0.0.3 127.0.0.4 127.0.0.1)

mkdir -p docs
/usr/bin/python3 - "$work/samples.csv" "$samples" <<PY
import csv, statistics, sys
import matplotlib
matplotlib.use("Agg")
import matplotlib.pyplot as plt

rows = list(csv.reader(open(sys.argv[1])))
scenarios, clients, errors = [], [], {}
for scenario, client, offset in rows:
    if scenario not in scenarios: scenarios.append(scenario)
    if client not in clients: clients.append(client)
    errors.setdefault((scenario, client), []).append(abs(float(offset)) * 1000)

print("### Accuracy: |offset| in ms against chronyd serving this machine's clock (%s queries each)" % sys.argv[2])
print()
print("| path | " + " | ".join(clients) + " |")
print("|---|" + "---|" * len(clients))
for s in scenarios:
    cells = []
    for c in clients:
        e = errors.get((s, c), [])
        cells.append("%.3f / %.3f" % (statistics.median(e), max(e)) if e else "-")
    print("| %s (median / max) | %s |" % (s, " | ".join(cells)))
direct = {c: statistics.median(errors[("direct", c)]) for c in clients if ("direct", c) in errors}
print()
print("### Footprint")
print()
print("| measure | value | goal |")
print("|---|---|---|")
print("| stripped orvanta.exe x64 | %d KB | at most 3 MB with NTS (400 KB before its OpenSSL) |" % ($x64_size // 1024))
print("| stripped orvanta.exe x86 | %d KB | |" % ($x86_size // 1024))
print("| stripped orvanta (Linux x86-64) | %d KB | |" % ($linux_size // 1024))
print("| resident memory of debug after its first pass | %d KB (%d KB of it shared libraries; proportional %d KB, private %d KB) | at most 2048 KB |"
      % ($rss_kb, $libs_kb, $pss_kb, $anon_kb))
print("| system calls between two periodic passes | %d | none |" % $between)
print("| a pass with 0 / 1 / 2 silent servers first | $pass0 / $pass1 / $pass2 s | |")
print()
print("Goals: native median %.3f ms (at most 0.05, and within 0.03 of ntpdig's %.3f); Wine median %.3f ms (at most 0.5)."
      % (direct.get("orvanta", float("nan")), direct.get("ntpdig", float("nan")), direct.get("orvanta.exe", float("nan"))))

fig, axes = plt.subplots(1, len(scenarios), figsize=(4 * len(scenarios), 3.6), sharey=False)
for ax, s in zip(axes, scenarios):
    data = [errors.get((s, c), [0]) for c in clients]
    ax.boxplot(data, labels=clients, showfliers=True)
    ax.set_title(s)
    ax.set_ylabel("|offset error| (ms)")
    ax.tick_params(axis="x", labelrotation=30)
fig.tight_layout()
fig.savefig("docs/bench-errors.png", dpi=90)
PY
