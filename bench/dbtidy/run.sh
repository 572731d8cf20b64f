#!/bin/sh
# dbtidy against expand(1) on the same generated 100 MB DB/C source, in the same run: both read
# every line and rewrite its white space. dbtidy writes its output file (as it must), expand
# writes to /dev/null. Each is run BENCH_REPEAT times (3 by default), in turn, on the page-cached
# source, and its median run reported, wall clock and processor time (user + system) both, since
# a shared machine makes the wall clock noisy. Set DBTIDY_BENCH_MB for another size.
set -eu
bin=${BENCH_BIN:?}
dir=${BENCH_DIR:?}/dbtidy
size=${DBTIDY_BENCH_MB:-100}
repeat=${BENCH_REPEAT:-3}
goal=300  # MB/s
mkdir -p "$dir"
src="$dir/src.txt"
out="$dir/out.txt"
"$bin/dbtidy_gensource" "$size" > "$src"
cat "$src" > /dev/null  # every run starts from a warm cache
bytes=$(wc -c < "$src")

# Appends "seconds user+sys" of one run of the command to the file named first.
timed() {
  runs=$1
  shift
  /usr/bin/time -f '%e %U %S' -o "$dir/time" "$@" > /dev/null
  awk '{print $1, $2 + $3}' "$dir/time" >> "$runs"
}

: > "$dir/runs.dbtidy"
: > "$dir/runs.expand"
i=0
while [ $i -lt "$repeat" ]; do
  rm -f "$out"
  timed "$dir/runs.dbtidy" "$bin/dbtidy" "$src" "$out"
  timed "$dir/runs.expand" expand "$src"
  i=$((i + 1))
done
median() { sort -n "$1" | awk -v r="$repeat" 'NR == int((r + 1) / 2)'; }
tidy=$(median "$dir/runs.dbtidy")
exp=$(median "$dir/runs.expand")
echo "$tidy $exp" | awk -v b="$bytes" -v r="$repeat" -v goal="$goal" \
  -v load="$(cut -d' ' -f1-3 /proc/loadavg)" '{
  mb = b / 1e6
  printf "%.1f MB of source, median of %d runs (load average %s)\n", mb, r, load
  printf "%-8s %6.3f s  user+sys %6.3f s  %6.1f MB/s\n", "dbtidy", $1, $2, mb / $1
  printf "%-8s %6.3f s  user+sys %6.3f s  %6.1f MB/s\n", "expand", $3, $4, mb / $3
  printf "dbtidy/expand time: %.2f (processor time %.2f)\n", $1 / $3, $2 / $4
  printf "goal: dbtidy >= %d MB/s: %s\n", goal, (mb / $1 >= goal ? "met" : "not met")
}'
rm -f "$src" "$out" "$dir/time" "$dir"/runs.*
