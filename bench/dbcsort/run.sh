#!/bin/sh
# DBCSORT on 5,000,000 tags as ixmark writes them (key size 20), text form (-T) and compressed
# form (-C), against GNU sort on the text form with the same memory budget, in the same run:
# first with the default budget (the input a little over it), then with a budget an eighth of the
# input (runs merged from the run file), each with 1 and 2 threads (DBCSORT_THREADS). Every
# program is run BENCH_REPEAT times (3 by default) and its median run reported, wall clock and
# processor time (user + system) both, since a shared machine makes the wall clock noisy.
# Set DBCSORT_BENCH_TAGS for another count.
set -eu
bin=${BENCH_BIN:?}
dir=${BENCH_DIR:?}/dbcsort
n=${DBCSORT_BENCH_TAGS:-5000000}
repeat=${BENCH_REPEAT:-3}
mkdir -p "$dir"
"$bin/dbcsort_benchgen" "$dir/tags.txt" "$dir/tags.cmp" "$n"
cat "$dir/tags.txt" "$dir/tags.cmp" > /dev/null  # every run starts from a warm cache
bytes=$(wc -c < "$dir/tags.txt")
eighth=$((bytes / 8 / 1024))K

# Prints "seconds user+sys peak-KiB" of the median of `repeat` runs, by wall clock.
measure() {
  : > "$dir/runs"
  i=0
  while [ $i -lt "$repeat" ]; do
    /usr/bin/time -f '%e %U %S %M' -o "$dir/time" "$@" > /dev/null
    awk '{print $1, $2 + $3, $4}' "$dir/time" >> "$dir/runs"
    i=$((i + 1))
  done
  sort -n "$dir/runs" | awk -v r="$repeat" 'NR == int((r + 1) / 2)'
}

# One report line: label, "seconds user+sys peak" of the program and of GNU sort, and the goal
# for the program's time as a fraction of sort's (empty: none).
line() {
  echo "$2 $3" | awk -v l="$1" -v n="$n" -v mb="$bytes" -v goal="${4:-}" '{
    printf "%-38s %6.2f s  user+sys %6.2f s  peak %5.0f MiB  %5.0f ns/tag  %6.1f MB/s  %.2f x sort",
      l, $1, $2, $3 / 1024, $1 * 1e9 / n, mb / 1e6 / $1, $1 / $4
    if (goal != "") printf "  (goal <= %.2f x: %s)", goal, ($1 / $4 <= goal ? "met" : "NOT met")
    printf "\n"
  }'
}

dbcsort() {  # budget threads form input output
  DBCSORT_MEMORY=$1 DBCSORT_THREADS=$2 measure "$bin/DBCSORT" "$4" "$5" 25-56 "$3" -M=76
}

# The goals: -T at most 0.15 x the time of sort -s on the same tags (with every thread; one
# thread is shown for the speed-up), -C at most 0.70 x.
goal_t=0.15
goal_c=0.70
echo "$n tags ($((bytes / 1000000)) MB as text), median of $repeat runs; load $(cut -d' ' -f1-3 /proc/loadavg)"
for budget in 256M "$eighth"; do
  sort_r=$(LC_ALL=C measure sort -s -k1.25,1.56 -S "$budget" -T "$dir" -o "$dir/out.sort" "$dir/tags.txt")
  echo "--- memory budget $budget"
  line "LC_ALL=C sort -s -k1.25,1.56" "$sort_r" "$sort_r"
  for threads in 1 2; do
    t_r=$(dbcsort "$budget" "$threads" -T "$dir/tags.txt" "$dir/out.t")
    same=different
    cmp -s "$dir/out.sort" "$dir/out.t" && same=identical
    line "DBCSORT -T, $threads thread(s) ($same)" "$t_r" "$sort_r" "$goal_t"
    c_r=$(dbcsort "$budget" "$threads" -C "$dir/tags.cmp" "$dir/out.c")
    line "DBCSORT -C, $threads thread(s)" "$c_r" "$sort_r" "$goal_c"
  done
done
echo "(goals: DBCSORT -T <= $goal_t x sort, -C <= $goal_c x sort; identical: the same bytes as sort -s; load $(cut -d' ' -f1-3 /proc/loadavg))"
rm -f "$dir"/tags.* "$dir"/out.* "$dir/time" "$dir/runs"
