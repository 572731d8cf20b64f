#!/bin/sh
# 32 callers at once, each taking 100 numbers from one counter file: numbers handed out per
# second, duplicates (must be 0) and calls that gave up on the lock.
set -eu
bin=${BENCH_BIN:?}
dir=${BENCH_DIR:?}/seqnext
callers=${SEQNEXT_BENCH_CALLERS:-32}
each=${SEQNEXT_BENCH_EACH:-100}
rm -rf "$dir"
mkdir -p "$dir"
printf '%10d counter of the benchmark\n' 0 > "$dir/SERIAL.TXT"
now() { date +%s.%N; }
t0=$(now)
c=1
while [ "$c" -le "$callers" ]; do
  (
    i=0
    while [ "$i" -lt "$each" ]; do
      out=$("$bin/seqnext" "$dir/SERIAL.TXT" | grep -v '^sleep$' || true)
      if [ -n "$out" ]; then echo "$out"; else echo timeout; fi
      i=$((i + 1))
    done > "$dir/caller.$c"
  ) &
  c=$((c + 1))
done
wait
t1=$(now)
cat "$dir"/caller.* > "$dir/all"
numbers=$(grep -cv '^timeout$' "$dir/all" || true)
timeouts=$(grep -c '^timeout$' "$dir/all" || true)
dups=$(grep -v '^timeout$' "$dir/all" | sort | uniq -d | wc -l)
last=$(head -c 10 "$dir/SERIAL.TXT" | tr -d ' ')
echo "$callers callers x $each calls: $numbers numbers, $dups duplicates, $timeouts timed out; counter ends at $last"
echo "$t0 $t1 $numbers" | awk '{printf "%.2f s, %.0f numbers/s\n", $2 - $1, $3 / ($2 - $1)}'
rm -rf "$dir"
