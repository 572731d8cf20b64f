#!/bin/sh
# jrnmake over a 1 GiB data file of 101-byte records against cksum on the same file, and jrnjoin
# on the lists of it and a changed copy against comm -3 on the same lists, in the same run: each
# the median of three runs, page-cached, with the goals the figures are held to. Set
# AUDIT_BENCH_MIB for another size.
set -eu
bin=${BENCH_BIN:?}
dir=${BENCH_DIR:?}/audit
mib=${AUDIT_BENCH_MIB:-1024}
mkdir -p "$dir"
"$bin/audit_benchgen" "$dir/old.dat" "$dir/new.dat" "$mib"
size=$(wc -c < "$dir/old.dat")
now() { date +%s.%N; }

# The median of three timed runs of the command, its output thrown away; prints seconds.
median3() {
  for run in 1 2 3; do
    t0=$(now)
    "$@" > /dev/null
    t1=$(now)
    echo "$t0 $t1" | awk '{printf "%.4f\n", $2 - $1}'
  done | sort -n | sed -n 2p
}

cat "$dir/old.dat" > /dev/null
mk=$(median3 "$bin/jrnmake" "$dir/old.dat")
ck=$(median3 cksum "$dir/old.dat")
md=$(median3 md5sum "$dir/old.dat")
"$bin/jrnmake" "$dir/old.dat" > "$dir/old.lst"
"$bin/jrnmake" "$dir/new.dat" > "$dir/new.lst"
lines=$(wc -l < "$dir/old.lst")
cat "$dir/old.lst" "$dir/new.lst" > /dev/null
jj=$(median3 "$bin/jrnjoin" "$dir/old.lst" "$dir/new.lst")
cm=$(median3 env LC_ALL=C comm -3 --nocheck-order "$dir/old.lst" "$dir/new.lst")
changes=$("$bin/jrnjoin" "$dir/old.lst" "$dir/new.lst" | wc -l)
rm -f "$dir"/old.* "$dir"/new.*

echo "$size bytes, $lines records; $changes change lines; load: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "$size $mk $ck $md" | awk '{
  printf "%-22s %7.3f s %6.0f MB/s  (goal >= 3000 MB/s)\n", "jrnmake", $2, $1 / 1e6 / $2
  printf "%-22s %7.3f s %6.0f MB/s  (jrnmake %.2f x its speed)\n", "cksum", $3, $1 / 1e6 / $3, $3 / $2
  printf "%-22s %7.3f s %6.0f MB/s  (jrnmake %.2f x its speed)\n", "md5sum", $4, $1 / 1e6 / $4, $4 / $2
}'
echo "$lines $jj $cm" | awk '{
  printf "%-22s %7.3f s %6.1f M lines/s\n", "jrnjoin", $2, 2 * $1 / 1e6 / $2
  printf "%-22s %7.3f s %6.1f M lines/s  (jrnjoin %.2f x its time; goal <= 0.35)\n", "LC_ALL=C comm -3", $3, 2 * $1 / 1e6 / $3, $2 / $3
}'
