#!/bin/sh
# dbtidy against expand(1) on the same generated 100 MB DB/C source: both read every line and
# rewrite its white space. Prints MB/s of each and dbtidy's time as a multiple of expand's.
set -eu
size=${DBTIDY_BENCH_MB:-100}
src="$BENCH_DIR/dbtidy_src.txt"
out="$BENCH_DIR/dbtidy_out.txt"
"$BENCH_BIN/dbtidy_gensource" "$size" > "$src"
bytes=$(wc -c < "$src")
now() { date +%s.%N; }
rm -f "$out"
t0=$(now)
"$BENCH_BIN/dbtidy" "$src" "$out" > /dev/null
t1=$(now)
expand "$src" > /dev/null
t2=$(now)
awk -v b="$bytes" -v d="$t0" -v e="$t1" -v x="$t2" 'BEGIN {
  td = e - d; te = x - e; mb = b / 1e6
  printf "dbtidy: %.1f MB in %.2f s, %.1f MB/s\n", mb, td, mb / td
  printf "expand: %.1f MB in %.2f s, %.1f MB/s\n", mb, te, mb / te
  printf "ratio dbtidy/expand time: %.2f\n", td / te
}'
rm -f "$src" "$out"
