# Title: recscan checks a data file
say "recscan finds CUST along dbcdx.file.open, and its mirroring definition"\
    "(records of 28 characters, not compressed) in qlon/dmf/PD01.DMF."
run 'recscan CUST'
say "How to read it: errcnt=1.0 is one damaged byte; the figure after the point"\
    "counts those of them that are NUL bytes or stray bytes 0x80 to 0xF8. A sound"\
    "file shows errcnt=0.0, eofcnt=1 (one end-of-file mark) and offset=0 (every"\
    "record at its fixed-length place). deleted=Yes with delsiz=28 is one deleted"\
    "record: not damage. The exit status is 0 whatever the file holds."
run 'recscan CUST -d | grep "^0x"'
say "-d lists each damaged byte: its value, its offset in the file, and its place"\
    "in its record (the 20th byte of the record at offset 58)."
