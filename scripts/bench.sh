#!/usr/bin/env bash
# Builds the benchmark program (Release, in build-bench/) and measures what
# BENCHMARKS.md reports: figures 1-3 with Google Benchmark, then figure 4
# (peak memory and time per MB, every run in a fresh process), then the
# goals against the strict floor (single records also on tmpfs), then figure 5
# (threads calling at once). Figure 4's table is kept in build-bench/memory.txt
# and drawn by scripts/plot-memory.py into docs/figures/.
#
# Usage: scripts/bench.sh [--scratch DIR] [--quick]
#   --scratch DIR  where generated inputs and outputs go (default /tmp/zk8bench;
#                  needs about 2 GB, removed at the end)
#   --quick        1 and 10 MB only, instead of up to 100 MB
set -euo pipefail
cd "$(dirname "$0")/.."

scratch=/tmp/zk8bench
sizes=1,10,100
memory_sizes=1,3,10,30,100
goal_sizes=10,50,100
while [ $# -gt 0 ]; do
  case "$1" in
    --scratch) scratch="$2"; shift 2 ;;
    --quick) sizes=1,10; memory_sizes=1,3,10; goal_sizes=10; shift ;;
    *) echo "usage: scripts/bench.sh [--scratch DIR] [--quick]" >&2; exit 2 ;;
  esac
done

scripts/install-deps.sh
scripts/install-deps.sh libbenchmark-dev
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build-bench -j"$(nproc)" --target zk8bench zk8gen >/dev/null

echo "Machine: $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')," \
     "$(awk '/MemTotal/ {printf "%.1f GB", $2 / 1048576}' /proc/meminfo) memory"
echo "Scratch: $scratch ($(df -h --output=fstype,avail "$(dirname "$scratch")" | tail -1 | xargs))"
echo "Load average before the run: $(cut -d' ' -f1-3 /proc/loadavg)"
echo

build-bench/bench/zk8bench --scratch "$scratch" --sizes "$sizes"
echo
build-bench/bench/zk8bench --memory --scratch "$scratch" --sizes "$memory_sizes" | tee build-bench/memory.txt
python3 scripts/plot-memory.py build-bench/memory.txt docs/figures
echo
build-bench/bench/zk8bench --goals --scratch "$scratch" --sizes "$goal_sizes"
echo
# The single records again where the file system costs least.
if [ -d /dev/shm ]; then
  build-bench/bench/zk8bench --singles --scratch /dev/shm/zk8bench
  echo
fi
build-bench/bench/zk8bench --overlap --scratch "$scratch"
