# recmend: a report-only detection run over a small fixed-length file (20 data bytes and the
# record mark per record) holding a NUL, a high byte and a record with eleven NULs, which an
# update run would delete.
set -eu
mkdir -p recmend
f=recmend/REPAIR.TXT
printf 'CUST0001 SMITH JOHN \372CUST0002 JON\000S MARY \372CUST0003 BR\201WN ANN  \372' > "$f"
printf '\000\000\000\000\000\000\000\000\000\000\000CUST0004 \372' >> "$f"
before=$(cksum < "$f")
echo "recmend -d $f -l 21 -x -y   (bytes outside the printable range shown as cat -v does)"
recmend -d "$f" -l 21 -x -y | cat -v
if [ "$(cksum < "$f")" = "$before" ]; then
  echo "Report only: the file is unchanged (add -u to write the repairs back)."
else
  echo "The file changed in a report-only run!"
  exit 1
fi
