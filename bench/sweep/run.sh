#!/bin/sh
# dbcsweep against the shell loop an administrator writes without it (recscan FILE -s on every data
# file, ixmark3 -v on every index, one after another) on the same generated installation of
# dozens of data files and indexes, some tens of MB, in the same run: median of 3 runs each, the
# ratio of the two, MB/s over the files' bytes, and user+sys (the machine may be shared). Set
# SWEEP_BENCH_PAIRS and SWEEP_BENCH_RECORDS for another installation, SWEEP_BENCH_JOBS for -j.
set -eu
bin=${BENCH_BIN:?}
dir=${BENCH_DIR:?}/sweep
pairs=${SWEEP_BENCH_PAIRS:-36}
records=${SWEEP_BENCH_RECORDS:-3000}
root=$dir/install-$pairs-$records
if [ ! -d "$root" ]; then
  mkdir -p "$dir"
  echo "generating the installation in $root"
  "$bin/sweep_benchgen" "$root" "$pairs" "$records"
fi
export DBC_CFG="$root/dbc.cfg" QLON_ROOT="$root/qlon" PATH="$bin:$PATH"
bytes=$(find "$root/data" "$root/more" "$root/arch" -type f \( -name '*.TXT' -o -name '*.ISI' \) \
  -printf '%s\n' | awk '{ s += $1 } END { print s }')
files=$(find "$root/data" "$root/more" "$root/arch" -type f \( -name '*.TXT' -o -name '*.ISI' \) | wc -l)

# The loop, as a script of its own so that one time(1) covers it and all it starts.
cat > "$dir/loop.sh" <<LOOP
for d in "$root/data" "$root/more" "$root/arch"; do
  for f in "\$d"/*.TXT; do [ -f "\$f" ] && recscan "\$f" -s; done
  for i in "\$d"/*.ISI; do [ -f "\$i" ] && NDXPROBE_WRK="$root/wrk" ixmark3 -v "\$i"; done
done > /dev/null 2>&1
rm -f "$root"/wrk/*
exit 0
LOOP
jobs=${SWEEP_BENCH_JOBS:-$(nproc)}

# One timed run: "elapsed user+sys".
timed() {
  /usr/bin/time -f '%e %U %S' -o "$dir/time" "$@" > /dev/null 2>&1 || true
  tail -n 1 "$dir/time" | awk '{ printf "%s %.2f\n", $1, $2 + $3 }'
}
median() { sort -n | sed -n 2p; }

# In the page cache before any clock starts, for both alike (regular files only: one is a FIFO).
find "$root/data" "$root/more" "$root/arch" -type f -exec cat {} + > /dev/null
: > "$dir/loop.times"
: > "$dir/sweep.times"
for run in 1 2 3; do
  timed sh "$dir/loop.sh" >> "$dir/loop.times"
  timed dbcsweep -j "$jobs" >> "$dir/sweep.times"
done
loop=$(cut -d' ' -f1 "$dir/loop.times" | median)
sweep=$(cut -d' ' -f1 "$dir/sweep.times" | median)
loopcpu=$(cut -d' ' -f2 "$dir/loop.times" | median)
sweepcpu=$(cut -d' ' -f2 "$dir/sweep.times" | median)
echo "$files files, $bytes bytes; $(nproc) cores, dbcsweep -j $jobs; median of 3"
echo "$loop $loopcpu $sweep $sweepcpu $bytes" | awk '{
  printf "%-34s %7.2f s  %7.1f MB/s  user+sys %6.2f s\n", "shell loop (recscan -s, ixmark3 -v)", $1, $5 / 1048576 / $1, $2
  printf "%-34s %7.2f s  %7.1f MB/s  user+sys %6.2f s\n", "dbcsweep", $3, $5 / 1048576 / $3, $4
  printf "ratio dbcsweep / loop: %.2f (elapsed), %.2f (user+sys)\n", $3 / $1, $4 / $2
}'
