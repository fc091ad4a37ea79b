#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build, the core
# tests under AddressSanitizer and UndefinedBehaviorSanitizer, the threaded tests under
# ThreadSanitizer, and the fuzz targets over their corpora.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/deps.sh"
export QUORVANE_PYTHON=/usr/bin/python3
status=0
passed=0
failed=0
skipped=0
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# Runs ctest, keeping its output for the summary at the end.
run_ctest() {
  local rc=0
  ctest "$@" 2>&1 | tee "$log" || rc=1
  local line total bad skip
  line=$(grep -E "tests passed, [0-9]+ tests? failed out of [0-9]+" "$log" | tail -n 1 || true)
  if [ -n "$line" ]; then
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
    bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    # ctest counts a skipped test among the passed ones.
    skip=$(grep -cE "^[[:space:]]*[0-9]+ - .*\(Skipped\)" "$log" || true)
    passed=$((passed + total - bad - skip))
    failed=$((failed + bad))
    skipped=$((skipped + skip))
  fi
  return $rc
}

echo "== include floors"
if scripts/check_floors.sh; then
  passed=$((passed + 1))
else
  status=1
  failed=$((failed + 1))
fi

echo "== build and test (RelWithDebInfo)"
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
run_ctest --test-dir build --output-on-failure -j2 || status=1

echo "== core tests under AddressSanitizer and UndefinedBehaviorSanitizer"
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DQUORVANE_SANITIZE=address,undefined -DQUORVANE_FUZZ=ON
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_ctest --test-dir build-asan --output-on-failure -j2 -L core || status=1

echo "== threaded tests under ThreadSanitizer"
scripts/build.sh build-tsan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DQUORVANE_SANITIZE=thread
if ctest --test-dir build-tsan -N -L threads | grep -q "Total Tests: [1-9]"; then
  TSAN_OPTIONS=halt_on_error=1 run_ctest --test-dir build-tsan --output-on-failure -j2 -L threads || status=1
fi

echo "== fuzz targets over their corpora"
for target in build-asan/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  seeds="fuzz/corpus/${name#fuzz_}"
  [ -d "$seeds" ] || continue
  if "$target" -runs=0 "$seeds" >"$log" 2>&1; then
    echo "$name: corpus clean"
    passed=$((passed + 1))
  else
    echo "$name: FAILED"; tail -30 "$log"; status=1
    failed=$((failed + 1))
  fi
done

echo
echo "all runs: $passed passed, $failed failed, $skipped skipped"
exit $status
