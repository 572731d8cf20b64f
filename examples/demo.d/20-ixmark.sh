# ixmark3: verify a sample index against its data file, once clean and once after a record's key
# was changed behind the index's back. The sample ORDERS file and its index are generated here.
set -eu
wrk="$DEMO_WORK/wrk"
mkdir -p "$wrk"
export NDXPROBE_WRK="$wrk"
ixmark_benchgen "$DEMO_WORK/files/ORDERS.TXT" "$DEMO_WORK/files/ORDERS.ISI" - 12 0
echo "ixmark3 ORDERS   (12 records, index in step with the data)"
ixmark3 ORDERS | tr '\r' '\n'
echo "Work directory $wrk after a clean run: $(ls "$wrk" | wc -l) files"
echo
ixmark_benchgen "$DEMO_WORK/files/ORDERS.TXT" "$DEMO_WORK/files/ORDERS.ISI" - 12 1
echo "ixmark3 -v ORDERS   (the last record's key now differs from its index entry)"
ixmark3 -v ORDERS | tr '\r' '\n'
echo
echo "Error file $wrk/ORDERS.ERR (I: index entry without its record, T: record without its entry):"
cat "$wrk/ORDERS.ERR"
echo "Debug file $wrk/ORDERS.DBG:"
cat "$wrk/ORDERS.DBG"
echo "Properties file $wrk/ORDERS.PRP:"
cat "$wrk/ORDERS.PRP"
