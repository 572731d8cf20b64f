# Title: the sample installation
say "A copy of examples/ is in $work, and the demo has set what a user of it"\
    "sets: DBC_CFG=dbc.cfg, DBC_ENVFILE=dbc.env (read by dbtidy) and"\
    "QLON_ROOT=qlon (mirroring definitions in qlon/dmf)."
run 'cat dbc.cfg'
say "dbcdx.file.open is the search path: CUST is data/CUST.TXT. dbcdx.file.vol.arch"\
    "is a volume: CUST:arch is archive/CUST.TXT. dbcdx.file.vol.wrk is ixmark3's"\
    "work folder, dbcdx.file.collate its collating sequence (lower case read as"\
    "upper case). The paths are relative: they hold for programs started here."\
    "Write key=value with no blank around the = and end every line with a line"\
    "feed: a line the programs cannot match is ignored without a word."\
    "man 5 dbc.cfg tells every key."
say "In data/: the customer file CUST, the orders ORDERS with two indexes"\
    "(ORDERS.ISI, ORDCUST.ISI), CONTACT and the counter SERIAL; in archive/, last"\
    "night's copy of CUST; src/ holds DB/C source, print/ a print file."
