# Title: seqnext hands out numbers under a lock
run 'head -c 10 data/SERIAL.TXT; echo'
run 'seqnext; seqnext; seqnext'
run 'head -c 10 data/SERIAL.TXT; echo'
say "Each call locks data/SERIAL.TXT (found along dbcdx.file.open), adds 1 to the"\
    "number in its first ten characters and prints it, right-aligned. When"\
    "another caller holds the lock for over a second, seqnext prints \"sleep\""\
    "lines and no number, with status 0: a script takes the last line and checks"\
    "that it is a number (see README, Using the programs from scripts)."
