#!/bin/sh
# ixmark3 and ixmark on generated indexes (key size 20, block size 4096) of 1,000,000 and
# 10,000,000 entries, and ixmark3 alone on 50,000,000 when IXMARK_BENCH_LARGE=1 (some 15 minutes
# more on two cores, and 12 GB of disk), phase by phase, against GNU sort sorting the equivalent
# text tags alone, in the same run. Every program is run BENCH_REPEAT times (3 by default) and
# its median run reported, wall clock and processor time both, since a shared machine makes the
# wall clock noisy. A last table gives the time per entry at each size, which should grow with
# log n only, and the peak memory of ixmark3 and of the DBCSORT it starts, which should not grow.
# Set IXMARK_BENCH_SIZES for other sizes.
set -eu
bin=${BENCH_BIN:?}
dir=${BENCH_DIR:?}/ixmark
repeat=${BENCH_REPEAT:-3}
sizes=${IXMARK_BENCH_SIZES:-1000000 10000000}
[ "${IXMARK_BENCH_LARGE:-0}" = 1 ] && sizes="$sizes 50000000"
mkdir -p "$dir/wrk" "$dir/shim"
now() { date +%s.%N; }
# Runs a command, noting its processor time (user + system, its children's included) in cpu.
timed() { /usr/bin/time -f '%U %S' -o "$dir/cpu" "$@"; }
cpu() { awk '{print $1 + $2}' "$dir/cpu"; }
# The median of the numbers on standard input, one per line.
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# A DBCSORT in front of the real one notes when the sort starts and ends and its own peak memory,
# and samples the peak memory of the program that started it (its grandparent: the shell of
# system() is between).
cat > "$dir/shim/DBCSORT" <<SHIM
#!/bin/sh
read -r _ _ _ caller _ < /proc/\$PPID/stat
date +%s.%N > "$dir/sort.start"
/usr/bin/time -f %M -o "$dir/sort.peak" "$bin/DBCSORT" "\$@"
status=\$?
date +%s.%N > "$dir/sort.end"
( while [ -r /proc/\$caller/status ]; do
    grep VmHWM /proc/\$caller/status > "$dir/hwm.tmp" 2>/dev/null && mv "$dir/hwm.tmp" "$dir/hwm"
    sleep 0.02
  done ) &
exit \$status
SHIM
chmod +x "$dir/shim/DBCSORT"
printf 'dbcdx.file.open=%s\ndbcdx.file.vol.wrk=%s\n' "$dir" "$dir/wrk" > "$dir/dbc.cfg"
: > "$dir/scale"

# The goal for ixmark3's whole run, as a fraction of the time sort -s takes on the tags alone.
goal_ixmark3=0.40
for n in $sizes; do
  echo "--- $n entries (load $(cut -d' ' -f1-3 /proc/loadavg))"
  "$bin/ixmark_benchgen" "$dir/BENCH.TXT" "$dir/BENCH.ISI" "$dir/tags.txt" "$n"
  # Written out and in the page cache before any clock starts, for every program alike.
  sync
  cat "$dir/BENCH.TXT" "$dir/BENCH.ISI" "$dir/tags.txt" > /dev/null
  : > "$dir/gnu.runs"
  i=0
  while [ $i -lt "$repeat" ]; do
    t0=$(now)
    LC_ALL=C timed sort -s -k1.25,1.56 -S 256M -T "$dir" -o "$dir/tags.srt" "$dir/tags.txt"
    t1=$(now)
    echo "$t0 $t1 $(cpu)" | awk '{print $2 - $1, $3}' >> "$dir/gnu.runs"
    rm -f "$dir/tags.srt"
    i=$((i + 1))
  done
  gnu=$(awk '{print $1}' "$dir/gnu.runs" | median)
  gnucpu=$(awk '{print $2}' "$dir/gnu.runs" | median)
  # Rates are of the text tags' bytes, the same work for every program.
  mb=$(wc -c < "$dir/tags.txt" | awk '{print $1 / 1e6}')
  printf '%-30s %7.2f s  %6.0f MB/s  user+sys %.2f s\n' "LC_ALL=C sort -s -k1.25,1.56" "$gnu" \
    "$(echo "$mb $gnu" | awk '{print $1 / $2}')" "$gnucpu"
  progs="ixmark3 ixmark"
  [ "$n" -gt 10000000 ] && progs=ixmark3
  for prog in $progs; do
    : > "$dir/runs"
    i=0
    while [ $i -lt "$repeat" ]; do
      rm -f "$dir/hwm" "$dir/sort.start" "$dir/sort.end" "$dir/sort.peak"
      t0=$(now)
      PATH="$dir/shim:$PATH" DBC_CFG="$dir/dbc.cfg" NDXPROBE_WRK= timed "$bin/$prog" BENCH > "$dir/out"
      t1=$(now)
      sleep 0.1
      errors=$(ls "$dir/wrk" | wc -l)
      rm -f "$dir"/wrk/*
      hwm=$(awk '{print $2}' "$dir/hwm" 2>/dev/null || echo 0)
      echo "$t0 $(cat "$dir/sort.start") $(cat "$dir/sort.end") $t1 $hwm $errors $(cpu) $(tail -n 1 "$dir/sort.peak")" |
        awk '{print $4 - $1, $2 - $1, $3 - $2, $4 - $3, $5, $6, $7, $8}' >> "$dir/runs"
      i=$((i + 1))
    done
    # The median run by wall clock.
    sort -n "$dir/runs" | awk -v r="$repeat" 'NR == int((r + 1) / 2)' > "$dir/median"
    goal=
    [ "$prog" = ixmark3 ] && goal=$goal_ixmark3
    awk -v p="$prog" -v gnu="$gnu" -v n="$n" -v goal="$goal" -v mb="$mb" '{
      printf "%-30s %7.2f s  %6.0f MB/s  walk+tags %.2f s, sort %.2f s, compare %.2f s; user+sys %.2f s; peak %.0f MiB (DBCSORT %.0f MiB); %.2f x sort alone",
        p, $1, mb / $1, $2, $3, $4, $7, $5 / 1024, $8 / 1024, $1 / gnu
      if (goal != "") printf " (goal <= %.2f x: %s)", goal, ($1 / gnu <= goal ? "met" : "NOT met")
      printf "; %d files left\n", $6
    }' "$dir/median"
    [ "$prog" = ixmark3 ] && awk -v n="$n" -v gnu="$gnu" '{print n, $1, $7, $5, $8, gnu}' "$dir/median" >> "$dir/scale"
  done
  rm -f "$dir/BENCH.TXT" "$dir/BENCH.ISI" "$dir/tags.txt" "$dir/out"
done

echo "--- ixmark3 by size (median of $repeat runs)"
awk '{
  n = $1; lg = log(n) / log(2)
  printf "%11d entries  %7.0f ns/entry  (%5.2f per log2 n; user+sys %6.0f ns/entry)  peak %4.0f MiB, DBCSORT %4.0f MiB; sort -s %6.0f ns/entry\n",
    n, $2 * 1e9 / n, $2 * 1e9 / n / lg, $3 * 1e9 / n, $4 / 1024, $5 / 1024, $6 * 1e9 / n
}' "$dir/scale"
