#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs them.
#
#   scripts/fuzz.sh                 every target for 20 s (what .ci/run does)
#   scripts/fuzz.sh --long          every target for 10 min
#   scripts/fuzz.sh --seconds N     every target for N s
#   scripts/fuzz.sh ... TARGET...   only these (to_device to_customer output encoding ini runlog)
#
# Targets run $ZK8_FUZZ_PARALLEL at a time (default: the number of cores),
# each as one libFuzzer process. --long (600 s) and --record write the runs'
# final lines into ROBUSTNESS.md. New inputs go to build-fuzz/corpus/<target>;
# the committed seeds in fuzz/corpus/<target> are only read. A crash leaves
# its input in build-fuzz/artifacts/ and makes the script fail; the log of
# each run is build-fuzz/logs/<target>.log.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=20
record=
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --long) seconds=600; record=1 ;;
    --record) record=1 ;;
    --seconds) seconds="$2"; shift ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) targets+=("$1") ;;
  esac
  shift
done
[ ${#targets[@]} -eq 0 ] && targets=(to_device to_customer output encoding ini runlog)
parallel="${ZK8_FUZZ_PARALLEL:-$(nproc)}"

scripts/install-deps.sh clang libclang-rt-14-dev cmake make libpugixml-dev libcli11-dev nlohmann-json3-dev
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DZK8_FUZZ=ON -DZK8_BENCH=OFF -DBUILD_TESTING=OFF \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -gline-tables-only" >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]/#/fuzz_}"

# Longest input each target builds: the XML and ini targets get room for
# several 1024-byte chunks and for ini files past their 256-line table.
max_len() {
  case "$1" in
    ini) echo 160000 ;;
    runlog) echo 4096 ;;
    *) echo 16384 ;;
  esac
}

mkdir -p build-fuzz/logs build-fuzz/artifacts
run_target() {
  local target="$1"
  local dict=()
  [ -f "fuzz/dict/$target.dict" ] && dict=(-dict="fuzz/dict/$target.dict")
  local seeds=("fuzz/corpus/$target")
  # The streamed output is checked on the inputs of both conversions.
  if [ "$target" = output ]; then
    seeds=(fuzz/corpus/to_device fuzz/corpus/to_customer)
    cat fuzz/dict/to_device.dict fuzz/dict/to_customer.dict >build-fuzz/output.dict
    dict=(-dict=build-fuzz/output.dict)
  fi
  mkdir -p "build-fuzz/corpus/$target"
  "build-fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len="$(max_len "$target")" \
    -timeout=25 -rss_limit_mb=2048 -print_final_stats=1 "${dict[@]}" \
    -artifact_prefix="build-fuzz/artifacts/$target-" \
    "build-fuzz/corpus/$target" "${seeds[@]}" >"build-fuzz/logs/$target.log" 2>&1
}

export ASAN_OPTIONS="detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
failed=()
running=()
names=()
wait_one() {
  local pid="${running[0]}" name="${names[0]}"
  running=("${running[@]:1}")
  names=("${names[@]:1}")
  if wait "$pid"; then
    local done_line executions
    done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "build-fuzz/logs/$name.log" | tail -1)
    executions=$(grep -E 'stat::number_of_executed_units' "build-fuzz/logs/$name.log" | tail -1 | awk '{print $2}')
    echo "fuzz_$name: ${executions:-?} executions; ${done_line}" | tee -a build-fuzz/summary.txt
  else
    echo "fuzz_$name: FAILED, see build-fuzz/logs/$name.log"
    grep -E 'ERROR|SUMMARY|invariant|Test unit written' "build-fuzz/logs/$name.log" | head -5 || true
    failed+=("$name")
  fi
}
rm -f build-fuzz/summary.txt
for target in "${targets[@]}"; do
  [ ${#running[@]} -ge "$parallel" ] && wait_one
  run_target "$target" &
  running+=("$!")
  names+=("$target")
done
while [ ${#running[@]} -gt 0 ]; do wait_one; done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found problems in: ${failed[*]}" >&2
  exit 1
fi

# --long and --record: the section "Latest fuzz runs" of ROBUSTNESS.md.
if [ -n "$record" ]; then
  commit=$(git rev-parse --short HEAD)
  git diff --quiet HEAD -- . ':!ROBUSTNESS.md' || commit="$commit with uncommitted changes"
  { echo "At $commit, $(date -u +%Y-%m-%d), $seconds s per target, $parallel at a time, load average"
    echo "before $(cut -d' ' -f1-3 /proc/loadavg); every target's final libFuzzer line, no finding:"
    echo; echo '```'; cat build-fuzz/summary.txt; echo '```'
  } | scripts/write-section.py ROBUSTNESS.md "latest fuzz runs"
fi
