# dbtidy: format the sample source into a new file, removing its DEBUG statement.
src="$DEMO_WORK/dbtidy/CUSTRPT.TXT"
echo "Before ($src, tabs shown as >):"
head -n 16 "$src" | sed 's/\t/>/g'
dbtidy "$src" "$DEMO_WORK/dbtidy/CUSTRPT.NEW" -KV
echo "After ($DEMO_WORK/dbtidy/CUSTRPT.NEW, tabs shown as >):"
head -n 20 "$DEMO_WORK/dbtidy/CUSTRPT.NEW" | sed 's/\t/>/g'
