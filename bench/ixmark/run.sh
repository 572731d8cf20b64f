#!/bin/sh
# ixmark3 and ixmark on generated indexes of 1,000,000 and 10,000,000 entries (key size 20,
# block size 4096), phase by phase, against GNU sort sorting the equivalent text tags alone, in
# the same run. Set IXMARK_BENCH_SIZES for other sizes.
set -eu
bin=${BENCH_BIN:?}
dir=${BENCH_DIR:?}/ixmark
mkdir -p "$dir/wrk" "$dir/shim"
now() { date +%s.%N; }

# A DBCSORT in front of the real one notes when the sort starts and ends, and samples the peak
# memory of the program that started it (its grandparent: the shell of system() is between).
cat > "$dir/shim/DBCSORT" <<SHIM
#!/bin/sh
read -r _ _ _ caller _ < /proc/\$PPID/stat
date +%s.%N > "$dir/sort.start"
"$bin/DBCSORT" "\$@"
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

for n in ${IXMARK_BENCH_SIZES:-1000000 10000000}; do
  echo "--- $n entries"
  "$bin/ixmark_benchgen" "$dir/BENCH.TXT" "$dir/BENCH.ISI" "$dir/tags.txt" "$n"
  # Written out and in the page cache before any clock starts, for every program alike.
  sync
  cat "$dir/BENCH.TXT" "$dir/BENCH.ISI" "$dir/tags.txt" > /dev/null
  t0=$(now)
  LC_ALL=C sort -s -k1.25,1.56 -S 256M -T "$dir" -o "$dir/tags.srt" "$dir/tags.txt"
  t1=$(now)
  gnu=$(echo "$t0 $t1" | awk '{print $2 - $1}')
  printf '%-30s %7.2f s\n' "LC_ALL=C sort -s -k1.25,1.56" "$gnu"
  rm -f "$dir/tags.srt"
  for prog in ixmark3 ixmark; do
    rm -f "$dir/hwm" "$dir/sort.start" "$dir/sort.end"
    t0=$(now)
    PATH="$dir/shim:$PATH" DBC_CFG="$dir/dbc.cfg" NDXPROBE_WRK= "$bin/$prog" BENCH > "$dir/out"
    t1=$(now)
    sleep 0.1
    errors=$(ls "$dir/wrk" | wc -l)
    rm -f "$dir"/wrk/*
    hwm=$(awk '{print $2}' "$dir/hwm" 2>/dev/null || echo 0)
    echo "$t0 $(cat "$dir/sort.start") $(cat "$dir/sort.end") $t1 $gnu $hwm $errors" | awk -v p="$prog" '{
      printf "%-30s %7.2f s  walk+tags %.2f s, sort %.2f s, compare %.2f s; peak %.0f MiB; %.2f x sort alone; %d files left\n",
        p, $4 - $1, $2 - $1, $3 - $2, $4 - $3, $6 / 1024, ($4 - $1) / $5, $7
    }'
  done
  rm -f "$dir/BENCH.TXT" "$dir/BENCH.ISI" "$dir/tags.txt" "$dir/out"
done
