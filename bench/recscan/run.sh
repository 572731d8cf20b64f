#!/bin/sh
# recscan's throughput on a page-cached 1 GiB DB/C file and a text file of the same size, against
# wc -l and cksum over the same bytes in the same run, with the goal each figure is held to. Every
# command is run once to warm the cache, then BENCH_REPEAT times (3 by default), interleaved with
# the others so that a burst of load on a shared machine hits them alike, and its median reported.
# Set RECSCAN_BENCH_MIB for another size.
set -eu
bin=${BENCH_BIN:?}
dir=${BENCH_DIR:?}/recscan
mib=${RECSCAN_BENCH_MIB:-1024}
repeat=${BENCH_REPEAT:-3}
mkdir -p "$dir/qlon/dmf"
dbc="$dir/BENCH.DBC"
txt="$dir/BENCH.TXT"
if [ ! -f "$dbc" ] || [ "$(($(wc -c <"$dbc") / 1048576))" -ne "$mib" ]; then
  echo "generating $mib MiB files in $dir"
  "$bin/recscan_benchgen" "$dbc" "$txt" "$mib"
fi
export QLON_ROOT="$dir/qlon"
now() { date +%s.%N; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# The commands run on each file, by name.
names="wc cksum recscan recscan-c recscan-s"
command_of() {
  case $1 in
    wc) echo "wc -l $2" ;;
    cksum) echo "cksum $2" ;;
    recscan) echo "$bin/recscan $2" ;;
    recscan-c) echo "$bin/recscan -c $2" ;;
    recscan-s) echo "$bin/recscan -s $2" ;;
  esac
}

# Prints "name seconds" for each command in $names, the median of its runs on file $1.
measure() {
  for name in $names; do
    $(command_of "$name" "$1") >/dev/null 2>&1 || true
    : >"$dir/$name.runs"
  done
  i=0
  while [ "$i" -lt "$repeat" ]; do
    for name in $names; do
      t0=$(now)
      $(command_of "$name" "$1") >/dev/null 2>&1 || true
      t1=$(now)
      echo "$t0 $t1" | awk '{printf "%.3f\n", $2 - $1}' >>"$dir/$name.runs"
    done
    i=$((i + 1))
  done
  for name in $names; do
    echo "$name $(median <"$dir/$name.runs")"
  done
  rm -f "$dir"/*.runs
}

# line LABEL SECONDS SIZE WC_SECONDS GOAL
line() {
  printf '%-14s %7ss %7.0f MB/s  %.2f x wc -l  %s\n' "$1" "$2" \
    "$(echo "$3 $2" | awk '{print $1 / 1e6 / $2}')" "$(echo "$4 $2" | awk '{print $1 / $2}')" "$5"
}

echo "$(uptime | sed 's/.*load average/load average/'); median of $repeat runs"
for f in "$dbc" "$txt"; do
  size=$(wc -c <"$f")
  echo "--- $(basename "$f"): $size bytes"
  measure "$f" >"$dir/medians"
  get() { awk -v n="$1" '$1 == n { print $2 }' "$dir/medians"; }
  wc_s=$(get wc)
  line "wc -l" "$wc_s" "$size" "$wc_s" ""
  line "cksum" "$(get cksum)" "$size" "$wc_s" ""
  line "recscan" "$(get recscan)" "$size" "$wc_s" "(goal >= 0.75 x wc -l)"
  if [ "$f" = "$dbc" ]; then goal="(goal >= 2500 MB/s)"; else goal="(no estimate in text files)"; fi
  line "recscan -c" "$(get recscan-c)" "$size" "$wc_s" "$goal"
  line "recscan -s" "$(get recscan-s)" "$size" "$wc_s" ""
  if [ -x /usr/bin/time ]; then
    echo "recscan -c max RSS: $(/usr/bin/time -f %M "$bin/recscan" -c "$f" 2>&1 >/dev/null | tail -n 1) KiB"
  fi
done
# The data is large; keep the generator, not the files.
rm -f "$dbc" "$txt" "$dir/medians"
