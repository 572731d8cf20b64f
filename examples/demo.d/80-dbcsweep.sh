# Title: dbcsweep checks the whole installation in one run
say "dbcsweep checks every data file and index in the folders of dbcdx.file.open"\
    "and of every volume, several at a time and read-only: each data file as"\
    "recscan -s checks it, each index as ixmark3 -v verifies it."
run 'dbcsweep --json sweep.json; echo "dbcsweep ended with status $?"'
say "How to read it: DAMAGED counts damaged bytes (CONTACT.TXT's control"\
    "characters), MISMATCH the disagreements of an index with its data. Status 1"\
    "means something was found, 2 that something could not be checked, 0 all OK."
run 'grep -o "\"summary\": {[^}]*}" sweep.json'
say "The same results as JSON, for the monitoring system (see dbcsweep(1))."
