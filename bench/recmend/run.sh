#!/bin/sh
# recmend's detection run over 1 GiB of 101-byte records with scattered damage, report only,
# against cksum reading the same file in the same run. The data is removed afterwards.
set -eu
data="$BENCH_DIR/recmend.dat"
size=1073741824
"$BENCH_BIN/recmend_benchgen" "$data" "$size"
bytes=$(wc -c < "$data")
cat "$data" > /dev/null  # both tools start from a warm cache

now() { date +%s.%N; }
t0=$(now)
"$BENCH_BIN/recmend" -d "$data" -l 101 -x -y > /dev/null
t1=$(now)
cksum "$data" > /dev/null
t2=$(now)
rm -f "$data"

awk -v b="$bytes" -v r="$t0 $t1" -v c="$t1 $t2" 'BEGIN {
  split(r, a, " "); split(c, d, " ")
  rt = a[2] - a[1]; ct = d[2] - d[1]
  printf "recmend -x -y: %.2f s, %.0f MB/s\n", rt, b / rt / 1e6
  printf "cksum:         %.2f s, %.0f MB/s\n", ct, b / ct / 1e6
  printf "recmend / cksum throughput ratio: %.2f (target: recmend at least 500 MB/s)\n", ct / rt
}'
