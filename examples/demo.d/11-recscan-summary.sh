# Title: recscan's summary line, for scripts
run 'recscan CUST -s'
say "-s prints one line of 18 fields instead of the report. The fifth word holds"\
    "fields 5 and 6 joined by a point (1.0: damaged bytes, of which NUL or high"\
    "bytes), so a script counts 17 words. Worth reading: word 4, end-of-file marks"\
    "(1 when sound); word 5, damage; word 13, 1 when a record is off its"\
    "fixed-length place. recscan(1) lists every field."
run 'recscan CUST -s | awk '"'"'{ split($5, e, "."); print "damaged bytes:", e[1] }'"'"''
