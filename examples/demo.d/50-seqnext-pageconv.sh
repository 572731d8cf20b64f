# seqnext takes three numbers from the sample counter SERIAL.TXT; pageconv turns a sample print
# file (set-up string, overprinted total line, two pages) into RTF.
set -eu
echo "Counter before: $(cat "$DEMO_WORK/files/SERIAL.TXT")"
for i in 1 2 3; do
  echo "seqnext -> '$(seqnext)'"
done
echo "Counter after:  $(cat "$DEMO_WORK/files/SERIAL.TXT")"
echo
mkdir -p "$DEMO_WORK/print"
rtf="$DEMO_WORK/print/INVOICE.rtf"
echo "pageconv print/INVOICE.PRT $rtf"
pageconv "$DEMO_WORK/print/INVOICE.PRT" "$rtf"
echo "The RTF document ($(wc -c < "$rtf") bytes) opens in a word processor: $rtf"
echo "Its first lines:"
head -c 600 "$rtf"
echo
