#!/bin/sh
# Makes the seed corpus of every fuzz target from the project's own generators and samples:
#   sh fuzz/seeds.sh build/bin
# Each seed is small; the fuzzers grow their own corpus from them. "\n--\n" separates the parts
# of an input where a target takes several.
set -eu
bin=$(cd "${1:-build/bin}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
c=$here/corpus
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
sep='\n--\n'
data=$here/../examples/data

printf "dbcdx.file.open=/a;/b\ndbcdx.file.vol.demo=/x/y\n  dbcdx.file.ichrs = on \n${sep}dbcdx.file.open" > "$c/config_fuzz/seed1"
printf "# comment\r\nKEY=value\t\n${sep}KEY" > "$c/config_fuzz/seed2"
printf "CUST:demo${sep}TXT${sep}dbcdx.file.vol.demo=/nonexistent;.\n" > "$c/opnfil_fuzz/seed1"
printf "dir/NAME.EXT${sep}ISI${sep}dbcdx.file.open=.\n" > "$c/opnfil_fuzz/seed2"

"$bin/recscan_benchgen" "$tmp/d" "$tmp/t" 1 > /dev/null
for f in 0 128; do
  { printf "\\$(printf '%03o' $((f + 6)))\\037"; head -c 3000 "$tmp/d"; } > "$c/recscan_scan_fuzz/dbc$f"
  { printf "\\$(printf '%03o' $((f + 1)))\\077"; head -c 3000 "$tmp/t"; } > "$c/recscan_scan_fuzz/text$f"
done
{ printf '\000\011'; cat "$data/files/CUST.TXT"; } > "$c/recscan_scan_fuzz/cust"

"$bin/ixmark_benchgen" "$tmp/ORDERS.TXT" "$tmp/ORDERS.ISI" - 40 1
for f in 0 1 4 7; do
  { printf "\\$(printf '%03o' $f)"; cat "$tmp/ORDERS.ISI"; } > "$c/isam_fuzz/orders$f"
done
{ printf "\\000\\0001-20${sep}"; head -c 2000 "$tmp/ORDERS.TXT"; } > "$c/getrec_fuzz/orders"
{ printf "\\001\\0241-4 9-12${sep}"; cat "$data/files/CUST.TXT"; } > "$c/getrec_fuzz/cust"

"$bin/dbcsort_benchgen" "$tmp/tags.txt" "$tmp/tags.cmp" 60
{ printf '\000\030\040'; cat "$tmp/tags.txt"; } > "$c/dbcsort_fuzz/text"
{ printf '\001\030\040'; cat "$tmp/tags.cmp"; } > "$c/dbcsort_fuzz/compressed"
# The sorted-file reader: a small read buffer, so that tags and run counts straddle reads.
{ printf '\005'; cat "$tmp/tags.cmp"; } > "$c/sorted_fuzz/plain"
{ printf '\205'; cat "$tmp/tags.cmp"; } > "$c/sorted_fuzz/ichrs"
{ printf '\003AB\371'; } > "$c/sorted_fuzz/cutcount"

printf -- "-I3 -W -C -L -2 -KV${sep}" > "$c/dbtidy_fuzz/sample"
cat "$data/dbtidy/CUSTRPT.TXT" >> "$c/dbtidy_fuzz/sample"
printf -- "-T8 -D2 -K${sep}" > "$c/dbtidy_fuzz/generated"
"$bin/dbtidy_gensource" 0 2>/dev/null | head -c 20000 >> "$c/dbtidy_fuzz/generated" || true

printf -- "-d x -l 21 -x -y${sep}CUST0001 SMITH JOHN \372CUST0002 JON\000S MARY \372${sep}" > "$c/recmend_fuzz/detect"
printf -- "-d x -l 21 -p 21 -i y -f 46${sep}CUST0001 SMITH JOHN \372CUST0002 JON\000S MARY \372${sep}0\n21\r\nx\n" > "$c/recmend_fuzz/positions"

"$bin/genprint" "$tmp/p.prt" 1 > /dev/null
{ printf '\023'; head -c 6000 "$tmp/p.prt"; } > "$c/pageconv_fuzz/generated"
{ printf '\100'; cat "$data/print/INVOICE.PRT"; } > "$c/pageconv_fuzz/invoice"

"$bin/jrnmake" "$data/files/CUST.TXT" > "$tmp/a"
printf '0 5\n10 7\n' > "$tmp/b"
{ cat "$tmp/a"; printf "$sep"; cat "$tmp/b"; printf "${sep}"; cat "$data/files/CUST.TXT"; } > "$c/audit_fuzz/lists"
printf "210\n310\n120\n40\n${sep}\034${sep}AB\377C\372\373" > "$c/audit_fuzz/changes"
