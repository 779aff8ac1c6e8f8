#!/usr/bin/env bash
# run_fuzzer.sh FUZZER SEEDS SECONDS: runs the fuzzer from the seeds for a
# while. Seeds are kept as text: *.hex files are hexadecimal bytes; the ini
# seeds hold the section, the key and the value on their first three lines,
# then the file, joined by NUL bytes as the fuzzer takes them.
set -euo pipefail
fuzzer=$1 seeds=$2 seconds=$3
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
for seed in "$seeds"/*; do
  name=$(basename "$seed")
  case $seed in
    *.hex) python3 -c "import sys; sys.stdout.buffer.write(bytes.fromhex(open(sys.argv[1]).read()))" "$seed" >"$corpus/$name" ;;
    */ini/*) { sed -n 1p "$seed"; sed -n 2p "$seed"; sed -n 3p "$seed"; } | tr '\n' '\0' >"$corpus/$name"
             tail -n +4 "$seed" >>"$corpus/$name" ;;
    *) cp "$seed" "$corpus/$name" ;;
  esac
done
# Crashes land beside the fuzzer, where a developer finds them.
cd "$(dirname "$fuzzer")"
exec "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 "$corpus"
