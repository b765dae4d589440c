#!/usr/bin/env bash
# Runs end-to-end tests under valgrind's memcheck, each test in a process of
# its own as ctest runs them, from a plain build (build-valgrind/ unless
# ZK8_VALGRIND_BUILD_DIR names another; CI passes build/, which the default
# test run has just built). Any memory error fails, and so does any leak:
# only what is still reachable at exit (the objects that live as long as the
# process) is allowed.
#
#   scripts/valgrind-test.sh          the hostile-input, encoding, settings and
#                                     example cases (CI)
#   scripts/valgrind-test.sh --all    every end-to-end test
set -euo pipefail
cd "$(dirname "$0")/.."

# A test costs seconds under valgrind, most of it loading, so CI takes the
# tests aimed at robustness. 64 MB of text and 100,000 levels would take
# minutes here; they run in the sanitizer build.
filter="Hostile.*:Encoding.*:Settings.*:Examples.*"
filter+="-Hostile.TextOfSixtyFourMegabytes:Hostile.HundredThousandLevels"
[ "${1:-}" = "--all" ] && filter="*"
build="${ZK8_VALGRIND_BUILD_DIR:-build-valgrind}"

scripts/install-deps.sh valgrind
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target e2e_tests

logs="$build/valgrind"
rm -rf "$logs"
mkdir -p "$logs"
tests="$build/tests/e2e_tests"
# "Suite." lines followed by "  Name" lines.
"$tests" --gtest_list_tests --gtest_filter="$filter" |
  awk '/^[^ ]/ { suite = $1 } /^  / { print suite $1 }' >"$logs/tests.txt"

run_one() {
  local name="$1" logs="$2" tests="$3"
  local log start=$SECONDS
  log="$logs/$(echo "$name" | tr '/' '_').log"
  if valgrind --tool=memcheck --error-exitcode=99 --leak-check=full \
       --show-leak-kinds=definite,indirect,possible \
       --errors-for-leak-kinds=definite,indirect,possible \
       --log-file="$log" "$tests" --gtest_filter="$name" >"$log.out" 2>&1; then
    echo "ok      $name ($((SECONDS - start)) s)"
  else
    echo "FAILED  $name (see $log)"
  fi
}
export -f run_one
xargs -P "$(nproc)" -I{} bash -c 'run_one "$@"' _ {} "$logs" "$tests" <"$logs/tests.txt" |
  tee "$logs/summary.txt"

count=$(wc -l <"$logs/tests.txt")
if grep -q '^FAILED' "$logs/summary.txt"; then
  echo "valgrind: $(grep -c '^FAILED' "$logs/summary.txt") of $count tests failed" >&2
  exit 1
fi
echo "valgrind: $count end-to-end tests, no memory errors, no leaks"
