#!/usr/bin/env bash
# Draws the points of `zk8bench --scaling --data FILE` as one SVG: processor time
# against input size, a panel per direction and step (conversion, check),
# one line per dimension. Linear axes, so that a cost that grows faster
# than the input bends its line upwards.
#
# Usage: scripts/plot-scaling.sh DATA OUTPUT.svg
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -eq 2 ] || { echo "usage: scripts/plot-scaling.sh DATA OUTPUT.svg" >&2; exit 2; }
scripts/install-deps.sh gnuplot-nox
data="$1"
output="$2"

# The dimensions in the order the benchmark writes their blocks.
dimensions=(size records depth name-length text-length attribute-length attributes)
panel() {  # first block, column, title
  local first="$1" column="$2" title="$3" plots=()
  for i in "${!dimensions[@]}"; do
    plots+=("'$data' index $((first + i)) using 1:$column with linespoints ls $((i + 1)) title '${dimensions[$i]}'")
  done
  local joined
  joined=$(printf '%s, ' "${plots[@]}")
  printf "set title '%s'\nplot %s\n" "$title" "${joined%, }"
}

gnuplot <<GNUPLOT
set terminal svg size 960,720 dynamic font 'sans,11' background '#ffffff'
set output '$output'
set multiplot layout 2,2 title 'Time against input size: each dimension doubled five times (zk8bench --scaling)'
set xlabel 'input (MB)'
set ylabel 'processor seconds'
set key top left font ',9'
set grid
set xrange [0:*]
set yrange [0:*]
set style line 1 lc rgb '#1f5fa8' pt 7 ps 0.5
set style line 2 lc rgb '#c0392b' pt 5 ps 0.5
set style line 3 lc rgb '#27ae60' pt 9 ps 0.5
set style line 4 lc rgb '#8e44ad' pt 11 ps 0.5
set style line 5 lc rgb '#d35400' pt 13 ps 0.5
set style line 6 lc rgb '#16a085' pt 3 ps 0.5
set style line 7 lc rgb '#7f8c8d' pt 1 ps 0.5
$(panel 0 2 'customer to device: conversion')
$(panel 0 3 'customer to device: zk8conv check')
$(panel 7 2 'device to customer: conversion')
$(panel 7 3 'device to customer: zk8conv check')
unset multiplot
GNUPLOT
