#!/bin/sh
# recmend's detection run over 1 GiB of 101-byte records with scattered damage, report only,
# against cksum reading the same file in the same run; the median of three runs of each. The data
# is removed afterwards.
set -eu
data="$BENCH_DIR/recmend.dat"
size=1073741824
"$BENCH_BIN/recmend_benchgen" "$data" "$size"
bytes=$(wc -c < "$data")
cat "$data" > /dev/null  # both tools start from a warm cache

now() { date +%s.%N; }
# Prints the median of three timed runs of the command, in seconds.
median3() {
  for _ in 1 2 3; do
    t0=$(now); "$@" > /dev/null; t1=$(now)
    echo "$t0 $t1" | awk '{printf "%.4f\n", $2 - $1}'
  done | sort -n | sed -n 2p
}
rt=$(median3 "$BENCH_BIN/recmend" -d "$data" -l 101 -x -y)
ct=$(median3 cksum "$data")
rm -f "$data"

awk -v b="$bytes" -v rt="$rt" -v ct="$ct" 'BEGIN {
  printf "recmend -x -y: %.3f s, %.0f MB/s\n", rt, b / rt / 1e6
  printf "cksum:         %.3f s, %.0f MB/s\n", ct, b / ct / 1e6
  printf "recmend / cksum throughput ratio: %.2f (target: recmend at least 4000 MB/s)\n", ct / rt
}'
