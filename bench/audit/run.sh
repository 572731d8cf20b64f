#!/bin/sh
# jrnmake over a 1 GiB data file of 101-byte records against cksum and md5sum on the same file,
# and jrnjoin on the lists of it and a changed copy against comm -3 on the same lists, in the
# same run. Set AUDIT_BENCH_MIB for another size.
set -eu
bin=${BENCH_BIN:?}
dir=${BENCH_DIR:?}/audit
mib=${AUDIT_BENCH_MIB:-1024}
mkdir -p "$dir"
"$bin/audit_benchgen" "$dir/old.dat" "$dir/new.dat" "$mib"
size=$(wc -c < "$dir/old.dat")
now() { date +%s.%N; }
secs() { echo "$1 $2" | awk '{printf "%.3f", $2 - $1}'; }

cat "$dir/old.dat" > /dev/null
# Timed writing to /dev/null, as the other two write nothing; the lists are made afterwards.
t0=$(now); "$bin/jrnmake" "$dir/old.dat" > /dev/null; t1=$(now)
cksum "$dir/old.dat" > /dev/null; t2=$(now)
md5sum "$dir/old.dat" > /dev/null; t3=$(now)
"$bin/jrnmake" "$dir/old.dat" > "$dir/old.lst"
"$bin/jrnmake" "$dir/new.dat" > "$dir/new.lst"
lines=$(wc -l < "$dir/old.lst")
cat "$dir/old.lst" "$dir/new.lst" > /dev/null
t4=$(now); "$bin/jrnjoin" "$dir/old.lst" "$dir/new.lst" > "$dir/changes"; t5=$(now)
LC_ALL=C comm -3 --nocheck-order "$dir/old.lst" "$dir/new.lst" > /dev/null; t6=$(now)
changes=$(wc -l < "$dir/changes")
rm -f "$dir"/old.* "$dir"/new.* "$dir/changes"

mk=$(secs "$t0" "$t1"); ck=$(secs "$t1" "$t2"); md=$(secs "$t2" "$t3")
jj=$(secs "$t4" "$t5"); cm=$(secs "$t5" "$t6")
echo "$size bytes, $lines records; $changes change lines"
echo "$size $mk $ck $md" | awk '{
  printf "%-22s %7.2f s %6.0f MB/s\n", "jrnmake", $2, $1 / 1e6 / $2
  printf "%-22s %7.2f s %6.0f MB/s  (jrnmake %.2f x its speed)\n", "cksum", $3, $1 / 1e6 / $3, $3 / $2
  printf "%-22s %7.2f s %6.0f MB/s  (jrnmake %.2f x its speed; target: jrnmake >= 1000 MB/s)\n", "md5sum", $4, $1 / 1e6 / $4, $4 / $2
}'
echo "$lines $jj $cm" | awk '{
  printf "%-22s %7.2f s %6.1f M lines/s\n", "jrnjoin", $2, 2 * $1 / 1e6 / $2
  printf "%-22s %7.2f s %6.1f M lines/s  (jrnjoin %.2f x its time; target <= 1.00)\n", "LC_ALL=C comm -3", $3, 2 * $1 / 1e6 / $3, $2 / $3
}'
