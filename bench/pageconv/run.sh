#!/bin/sh
# pageconv on a 200 MB print file, against cat copying the same file, in the same run. Every
# program is run BENCH_REPEAT times (3 by default) and its median run reported, wall clock and
# processor time (user + system) both, since a shared machine makes the wall clock noisy; every
# run writes a new file, so that none pays for emptying the last one's. Set PAGECONV_BENCH_MB for
# another size.
set -eu
gen="$BENCH_BIN/genprint"
data="$BENCH_DIR/pageconv"
mb=${PAGECONV_BENCH_MB:-200}
repeat=${BENCH_REPEAT:-3}
mkdir -p "$data"
"$gen" "$data/bench.prt" "$mb"
size=$(wc -c < "$data/bench.prt")
cat "$data/bench.prt" > /dev/null  # every run starts from the page cache

# Prints "seconds user+sys" of the median of `repeat` runs, by wall clock; the command's last
# operand is the file it writes.
measure() {
  : > "$data/runs"
  i=0
  while [ $i -lt "$repeat" ]; do
    rm -f "$data/bench.out"
    /usr/bin/time -f '%e %U %S' -o "$data/time" "$@"
    awk '{print $1, $2 + $3}' "$data/time" >> "$data/runs"
    i=$((i + 1))
  done
  sort -n "$data/runs" | awk -v r="$repeat" 'NR == int((r + 1) / 2)'
}

cat_t=$(measure sh -c 'cat "$1" > "$2"' sh "$data/bench.prt" "$data/bench.out")
pc_t=$(measure "$BENCH_BIN/pageconv" "$data/bench.prt" "$data/bench.out")
out=$(wc -c < "$data/bench.out")

echo "$cat_t $pc_t" | awk -v s="$size" -v o="$out" -v r="$repeat" \
    -v load="$(cut -d' ' -f1 /proc/loadavg)" '{
  mb = s / 1e6
  printf "input %.0f MB, RTF %.0f MB, median of %d runs, load %s\n", mb, o / 1e6, r, load
  printf "cat       %6.3f s  user+sys %6.3f s  %7.1f MB/s\n", $1, $2, mb / $1
  printf "pageconv  %6.3f s  user+sys %6.3f s  %7.1f MB/s  (%.2f x the time of cat; goal 1200 MB/s)\n",
    $3, $4, mb / $3, $3 / $1
}'
rm -f "$data/bench.prt" "$data/bench.out" "$data/runs" "$data/time"
