#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-asan/ and runs the whole test suite there. Any memory error, leak or
# undefined behaviour fails the test it happens in. Then the same with
# ThreadSanitizer (build-tsan/) for the tests whose calls overlap.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# -O1 with line tables only: fast to compile, and every report still names
# file and line. Assertions stay on.
cmake -S . -B build-asan -DZK8_SANITIZE=ON -DZK8_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" >/dev/null
cmake --build build-asan -j"$(nproc)"

export ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir build-asan -j"$(nproc)" --output-on-failure --timeout 300

# ThreadSanitizer, into build-tsan/: the tests whose calls overlap (threads
# of one host, programs on one machine, concurrent run-log entries). Any data
# race fails the test it happens in.
cmake -S . -B build-tsan -DZK8_TSAN=ON -DZK8_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" >/dev/null
cmake --build build-tsan -j"$(nproc)"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
ctest --test-dir build-tsan -R '^(Concurrency|RunLogTest)\.' -j"$(nproc)" --output-on-failure --timeout 300
