#!/bin/sh
# dbtidy against expand(1) on the same generated 100 MB DB/C source: both read every line and
# rewrite its white space. Each is run three times in turn, the source page-cached; the medians
# are printed as MB/s, with dbtidy's time as a multiple of expand's and the goal beside them.
# dbtidy writes its output file (as it must); expand writes to /dev/null.
set -eu
size=${DBTIDY_BENCH_MB:-100}
goal=${DBTIDY_GOAL_MBS:-300}
src="$BENCH_DIR/dbtidy_src.txt"
out="$BENCH_DIR/dbtidy_out.txt"
"$BENCH_BIN/dbtidy_gensource" "$size" > "$src"
bytes=$(wc -c < "$src")
cat "$src" > /dev/null
now() { date +%s.%N; }
median() { sort -n | sed -n 2p; }

tidy_runs=""
expand_runs=""
for i in 1 2 3; do
  rm -f "$out"
  t0=$(now)
  "$BENCH_BIN/dbtidy" "$src" "$out" > /dev/null
  t1=$(now)
  expand "$src" > /dev/null
  t2=$(now)
  tidy_runs="$tidy_runs $(echo "$t0 $t1" | awk '{print $2 - $1}')"
  expand_runs="$expand_runs $(echo "$t1 $t2" | awk '{print $2 - $1}')"
done
td=$(echo $tidy_runs | tr ' ' '\n' | median)
te=$(echo $expand_runs | tr ' ' '\n' | median)
awk -v b="$bytes" -v td="$td" -v te="$te" -v goal="$goal" -v load="$(cut -d' ' -f1-3 /proc/loadavg)" 'BEGIN {
  mb = b / 1e6
  printf "dbtidy: %.1f MB in %.3f s, %.1f MB/s (median of 3)\n", mb, td, mb / td
  printf "expand: %.1f MB in %.3f s, %.1f MB/s (median of 3)\n", mb, te, mb / te
  printf "ratio dbtidy/expand time: %.2f\n", td / te
  printf "goal: dbtidy >= %d MB/s: %s (load average %s)\n", goal, mb / td >= goal ? "met" : "not met", load
}'
rm -f "$src" "$out"
