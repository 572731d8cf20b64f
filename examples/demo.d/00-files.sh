# The sample installation as the programs see it.
echo "Configuration ($DBC_CFG):"
cat "$DBC_CFG"
echo "Data files:"
ls -l "$DEMO_WORK/files" "$DEMO_WORK/vol"
