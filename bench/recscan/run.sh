#!/bin/sh
# recscan's throughput on a page-cached 1 GiB DB/C file and a text file of the same size, against
# wc -l and cksum over the same bytes in the same run. Set RECSCAN_BENCH_MIB for another size.
set -eu
bin=${BENCH_BIN:?}
dir=${BENCH_DIR:?}/recscan
mib=${RECSCAN_BENCH_MIB:-1024}
mkdir -p "$dir/qlon/dmf"
dbc="$dir/BENCH.DBC"
txt="$dir/BENCH.TXT"
if [ ! -f "$dbc" ] || [ "$(($(wc -c <"$dbc") / 1048576))" -ne "$mib" ]; then
  echo "generating $mib MiB files in $dir"
  "$bin/recscan_benchgen" "$dbc" "$txt" "$mib"
fi
export QLON_ROOT="$dir/qlon"
now() { date +%s.%N; }

# Runs the command once to warm the cache, then times one run; prints seconds.
timed() {
  "$@" >/dev/null 2>&1 || true
  t0=$(now)
  "$@" >/dev/null 2>&1 || true
  t1=$(now)
  echo "$t0 $t1" | awk '{printf "%.3f", $2 - $1}'
}

rss() {
  /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1
}

for f in "$dbc" "$txt"; do
  size=$(wc -c <"$f")
  echo "--- $(basename "$f"): $size bytes"
  wc_s=$(timed wc -l "$f")
  printf '%-18s %8ss %9.0f MB/s\n' "wc -l" "$wc_s" "$(echo "$size $wc_s" | awk '{print $1/1e6/$2}')"
  ck_s=$(timed cksum "$f")
  printf '%-18s %8ss %9.0f MB/s  (%.2f x wc -l)\n' "cksum" "$ck_s" \
    "$(echo "$size $ck_s" | awk '{print $1/1e6/$2}')" "$(echo "$wc_s $ck_s" | awk '{print $1/$2}')"
  for opt in "" "-c" "-s"; do
    s=$(timed "$bin/recscan" $opt "$f")
    printf '%-18s %8ss %9.0f MB/s  (%.2f x wc -l)\n' "recscan $opt" "$s" \
      "$(echo "$size $s" | awk '{print $1/1e6/$2}')" "$(echo "$wc_s $s" | awk '{print $1/$2}')"
  done
  if [ -x /usr/bin/time ]; then
    echo "recscan -c max RSS: $(rss "$bin/recscan" -c "$f") KiB"
  fi
done
# The data is large; keep the generator, not the files.
rm -f "$dbc" "$txt"
