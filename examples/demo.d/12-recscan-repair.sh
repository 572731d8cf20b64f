# Title: recscan repairs in place
say "-f1 turns the control characters of the file into spaces, in the file itself."\
    "This is the demo's copy; on real data, keep a copy first."
run 'recscan CUST -f1 | tail -n 3'
say "The repairing run reports the bytes as it read them (errcnt=1.0 still)."\
    "A second run shows the file as it is now:"
run 'recscan CUST | grep errcnt'
run 'dd if=data/CUST.TXT bs=29 skip=2 count=1 2>/dev/null | cat -v; echo'
