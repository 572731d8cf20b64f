# Title: dbtidy reformats DB/C source
say "dbtidy finds CUSTRPT.TXT along DBC_SRCPATH, which dbc.env sets to src. -K"\
    "removes DEBUG statements; the result goes to a new file (without one, the"\
    "source itself is updated)."
run 'dbtidy CUSTRPT.TXT CUSTRPT.NEW -K'
run 'expand -t 5 CUSTRPT.NEW | sed -n "6,12p"'
say "One tab per block level, the label START on its own line, declarations"\
    "lined up at the third tab stop (shown here 5 columns wide, as dbtidy counts)."
