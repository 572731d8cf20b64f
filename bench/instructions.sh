#!/bin/sh
# Instructions each program executes on modest generated inputs, counted by callgrind: a figure
# that a loaded or shared machine does not blur, for comparing two builds of the same code.
# Usage: sh bench/instructions.sh [BIN]   (BIN: the release build's bin/, default build/bin)
# The data goes to INSTR_DIR (default build/instrdata) and is removed afterwards.
set -eu
mkdir -p "${1:-build/bin}"
bin=$(cd "${1:-build/bin}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
dir=${INSTR_DIR:-$(cd "$here/.." && pwd)/build/instrdata}
rm -rf "$dir"
mkdir -p "$dir/qlon/dmf" "$dir/wrk"

# Prints the instruction count of one run of the command; its output goes to $dir/out.
count() {
  valgrind --tool=callgrind --callgrind-out-file=/dev/null --trace-children=no "$@" \
    > "$dir/out" 2> "$dir/vg" || true
  sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$dir/vg"
}
show() { printf '%-28s %14s\n' "$1" "$2"; }

"$bin/recscan_benchgen" "$dir/BENCH.DBC" "$dir/BENCH.TXT" 16 > /dev/null
export QLON_ROOT="$dir/qlon"
show "recscan BENCH.DBC" "$(count "$bin/recscan" "$dir/BENCH.DBC")"
show "recscan -c BENCH.DBC" "$(count "$bin/recscan" -c "$dir/BENCH.DBC")"
show "recscan BENCH.TXT" "$(count "$bin/recscan" "$dir/BENCH.TXT")"
rm -f "$dir/BENCH.DBC" "$dir/BENCH.TXT"

"$bin/audit_benchgen" "$dir/old.dat" "$dir/new.dat" 16
show "jrnmake" "$(count "$bin/jrnmake" "$dir/old.dat")"
"$bin/jrnmake" "$dir/old.dat" > "$dir/old.lst"
"$bin/jrnmake" "$dir/new.dat" > "$dir/new.lst"
show "jrnjoin" "$(count "$bin/jrnjoin" "$dir/old.lst" "$dir/new.lst")"
rm -f "$dir"/old.* "$dir"/new.*

"$bin/recmend_benchgen" "$dir/recmend.dat" 16777216 > /dev/null
show "recmend -x -y" "$(count "$bin/recmend" -d "$dir/recmend.dat" -l 101 -x -y)"
rm -f "$dir/recmend.dat"

"$bin/genprint" "$dir/bench.prt" 16 > /dev/null
show "pageconv" "$(count "$bin/pageconv" "$dir/bench.prt" "$dir/bench.rtf")"
rm -f "$dir/bench.prt" "$dir/bench.rtf"

"$bin/dbtidy_gensource" 8 > "$dir/src.txt"
show "dbtidy" "$(count "$bin/dbtidy" "$dir/src.txt" "$dir/src.out")"
rm -f "$dir/src.txt" "$dir/src.out"

"$bin/dbcsort_benchgen" "$dir/tags.txt" "$dir/tags.cmp" 200000 > /dev/null
show "DBCSORT -T" "$(count "$bin/DBCSORT" "$dir/tags.txt" "$dir/out.t" 25-56 -T -M=76)"
show "DBCSORT -C" "$(count "$bin/DBCSORT" "$dir/tags.cmp" "$dir/out.c" 25-56 -C -M=76)"
rm -f "$dir"/tags.* "$dir"/out.*

# The index programs start DBCSORT through the shell; only their own instructions are counted.
printf 'dbcdx.file.open=%s\ndbcdx.file.vol.wrk=%s\n' "$dir" "$dir/wrk" > "$dir/dbc.cfg"
"$bin/ixmark_benchgen" "$dir/BENCH.TXT" "$dir/BENCH.ISI" "$dir/tags.txt" 200000 > /dev/null
for prog in ixmark3 ixmark; do
  show "$prog (200000 entries)" \
    "$(PATH="$bin:$PATH" DBC_CFG="$dir/dbc.cfg" NDXPROBE_WRK= count "$bin/$prog" BENCH)"
  rm -f "$dir"/wrk/*
done
rm -rf "$dir"
