# recscan: check the sample customer file, list its bad character, then repair a copy of it.
# The mirroring definition it looks up lives under $QLON_ROOT/dmf.
set -eu
mkdir -p "$QLON_ROOT/dmf"
printf '"CUST":MIR 00028N customer master, fixed length\n' > "$QLON_ROOT/dmf/PD01.DMF"
echo "Definition $QLON_ROOT/dmf/PD01.DMF:"
cat "$QLON_ROOT/dmf/PD01.DMF"
echo
echo "recscan CUST   (found along dbcdx.file.open)"
recscan CUST
echo
echo "recscan CUST -d   (each bad character: its value, file offset and place in its record)"
recscan CUST -d
echo
echo "recscan CUST -s   (the summary line for the mirroring scripts)"
recscan CUST -s
mkdir -p recscan
cp files/CUST.TXT recscan/CUST.TXT
echo
echo "recscan recscan/CUST.TXT -f1   (repair a copy: control characters become spaces)"
recscan recscan/CUST.TXT -f1
echo "Record 3 before and after:"
dd if=files/CUST.TXT bs=29 skip=2 count=1 2>/dev/null | cat -v; echo
dd if=recscan/CUST.TXT bs=29 skip=2 count=1 2>/dev/null | cat -v; echo
