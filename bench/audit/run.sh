#!/bin/sh
# jrnmake over a 1 GiB data file of 101-byte records against cksum on the same file, and jrnjoin
# on the lists of it and a changed copy against comm -3 on the same lists, in the same run, with
# the goals the figures are held to. Every program is run BENCH_REPEAT times (3 by default),
# page-cached, and its median run reported, wall clock and processor time (user + system) both,
# since a shared machine makes the wall clock noisy. Set AUDIT_BENCH_MIB for another size.
set -eu
bin=${BENCH_BIN:?}
dir=${BENCH_DIR:?}/audit
mib=${AUDIT_BENCH_MIB:-1024}
repeat=${BENCH_REPEAT:-3}
mkdir -p "$dir"
"$bin/audit_benchgen" "$dir/old.dat" "$dir/new.dat" "$mib"
size=$(wc -c < "$dir/old.dat")
scratch=$dir
. "$(dirname "$0")/../timing.sh"

cat "$dir/old.dat" > /dev/null
mk=$(runs "$bin/jrnmake" "$dir/old.dat")
ck=$(runs cksum "$dir/old.dat")
# The read alone, in jrnmake's block size: the kernel's copy that any reader of the file pays.
rd=$(runs dd if="$dir/old.dat" of=/dev/null bs=128K status=none)
"$bin/jrnmake" "$dir/old.dat" > "$dir/old.lst"
"$bin/jrnmake" "$dir/new.dat" > "$dir/new.lst"
lines=$(wc -l < "$dir/old.lst")
cat "$dir/old.lst" "$dir/new.lst" > /dev/null
jj=$(runs "$bin/jrnjoin" "$dir/old.lst" "$dir/new.lst")
cm=$(runs env LC_ALL=C comm -3 --nocheck-order "$dir/old.lst" "$dir/new.lst")
changes=$("$bin/jrnjoin" "$dir/old.lst" "$dir/new.lst" | wc -l)
rm -f "$dir"/old.* "$dir"/new.*

echo "$size bytes, $lines records; $changes change lines; load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "                        wall      MB/s    cpu      MB/s"
echo "$size $mk $ck $rd" | awk '{
  printf "%-18s %7.3f s %7.0f %6.3f s %7.0f  (goal >= 3000 MB/s: %s)\n", "jrnmake", $2, $1 / 1e6 / $2, $3, $1 / 1e6 / $3, ($1 / 1e6 / $2 >= 3000 ? "met" : "NOT met")
  printf "%-18s %7.3f s %7.0f %6.3f s %7.0f  (jrnmake %.2f x its speed, %.2f by cpu)\n", "cksum", $4, $1 / 1e6 / $4, $5, $1 / 1e6 / $5, $4 / $2, $5 / $3
  printf "%-18s %7.3f s %7.0f %6.3f s %7.0f  (the read alone; jrnmake'"'"'s own work %.3f s, %.0f MB/s)\n", "dd bs=128K", $6, $1 / 1e6 / $6, $7, $1 / 1e6 / $7, $2 - $6, $1 / 1e6 / ($2 - $6)
}'
echo "$lines $jj $cm" | awk '{
  printf "%-18s %7.3f s %7.1f %6.3f s %7.1f  M lines/s\n", "jrnjoin", $2, 2 * $1 / 1e6 / $2, $3, 2 * $1 / 1e6 / $3
  printf "%-18s %7.3f s %7.1f %6.3f s %7.1f  (jrnjoin %.2f x its time, %.2f by cpu; goal <= 0.35)\n", "LC_ALL=C comm -3", $4, 2 * $1 / 1e6 / $4, $5, 2 * $1 / 1e6 / $5, $2 / $4, $3 / $5
}'
