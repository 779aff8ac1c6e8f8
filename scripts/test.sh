#!/usr/bin/env bash
# Sets up, builds and runs every test: native, native under ASan/UBSan, the
# fuzzers for a bounded time each, and the Windows x64 and x86 builds under Wine. Everything runs inside a private
# network namespace with only loopback, so no test can reach another host.
#
#   scripts/test.sh [preset ...]     (default: all five presets)
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${ORVANTA_IN_NETNS:-}" != 1 ]; then
  bash scripts/setup.sh
  export ORVANTA_IN_NETNS=1
  exec unshare --net -- bash "$0" "$@"
fi
ip link set lo up

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(linux linux-sanitize linux-fuzz windows-x64 windows-x86)

passed=0 failed=0 broken=()
log=$(mktemp)
trap 'rm -f "$log"' EXIT
for preset in "${presets[@]}"; do
  echo "== $preset"
  if cmake --preset "$preset" >"$log" 2>&1 && cmake --build --preset "$preset" >>"$log" 2>&1; then
    # The verdict is ctest's exit status; its summary line only gives the counts.
    status=0
    ctest --preset "$preset" -j2 2>&1 | tee "$log" || status=$?
    summary=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1) || true
    total=$(sed -nE 's/.* out of ([0-9]+).*/\1/p' <<<"$summary")
    bad=$(sed -nE 's/.*passed, ([0-9]+) tests? failed.*/\1/p' <<<"$summary")
    total=${total:-0} bad=${bad:-0}
    if [ "$status" != 0 ]; then
      broken+=("$preset")
      [ "$bad" != 0 ] || bad=1 total=$((total + 1))  # failed without a failing test: count the run
    fi
    passed=$((passed + total - bad)); failed=$((failed + bad))
  else
    tail -n 60 "$log"
    echo "build of $preset failed"
    failed=$((failed + 1)); broken+=("$preset")
  fi
done

echo
[ ${#broken[@]} -eq 0 ] || echo "failing presets: ${broken[*]}"
echo "$passed passed, $failed failed"
[ ${#broken[@]} -eq 0 ]
