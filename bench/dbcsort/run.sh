#!/bin/sh
# DBCSORT on 5,000,000 tags as ixmark writes them (key size 20), text form (-T) and compressed
# form (-C), against GNU sort on the text form with the same memory budget, in the same run.
# Set DBCSORT_BENCH_TAGS for another count.
set -eu
bin=${BENCH_BIN:?}
dir=${BENCH_DIR:?}/dbcsort
n=${DBCSORT_BENCH_TAGS:-5000000}
budget=256M
mkdir -p "$dir"
"$bin/dbcsort_benchgen" "$dir/tags.txt" "$dir/tags.cmp" "$n"
cat "$dir/tags.txt" "$dir/tags.cmp" > /dev/null  # every run starts from a warm cache

# Prints "seconds peak-KiB" of one run.
measure() {
  /usr/bin/time -f '%e %M' -o "$dir/time" "$@" > /dev/null
  cat "$dir/time"
}

sort_r=$(LC_ALL=C measure sort -s -k1.25,1.56 -S "$budget" -T "$dir" -o "$dir/out.sort" "$dir/tags.txt")
t_r=$(DBCSORT_MEMORY=$budget measure "$bin/DBCSORT" "$dir/tags.txt" "$dir/out.t" 25-56 -T -M=76)
c_r=$(DBCSORT_MEMORY=$budget measure "$bin/DBCSORT" "$dir/tags.cmp" "$dir/out.c" 25-56 -C -M=76)
same=no
cmp -s "$dir/out.sort" "$dir/out.t" && same=yes
rm -f "$dir"/tags.* "$dir"/out.* "$dir/time"

echo "$n tags, memory budget $budget; DBCSORT -T output identical to GNU sort's: $same"
echo "$sort_r" "$t_r" "$c_r" | awk '{
  printf "%-34s %7.2f s  peak %6.0f MiB\n", "LC_ALL=C sort -s -k1.25,1.56", $1, $2 / 1024
  printf "%-34s %7.2f s  peak %6.0f MiB  (%.2f x sort; target <= 0.50)\n", "DBCSORT -T", $3, $4 / 1024, $3 / $1
  printf "%-34s %7.2f s  peak %6.0f MiB  (%.2f x sort; target <= 0.70)\n", "DBCSORT -C", $5, $6 / 1024, $5 / $1
}'
