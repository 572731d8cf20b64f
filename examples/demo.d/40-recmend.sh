# Title: recmend reports invalid bytes in fixed-length records
say "data/CONTACT.TXT holds records of 20 characters and the mark (-l 21). -x"\
    "turns NULs into 0xFF and deletes a record that holds more than 10; -y turns"\
    "the other invalid bytes into spaces. Without -u nothing is written."
run 'recmend -d data/CONTACT.TXT -l 21 -x -y | cat -v | sed "/Offset: \([2-9]\|10\)$/d"'
say "(The lines for offsets 2 to 10 of record 3 are left out.) The status is 0"\
    "in every case; a script reads the last line. Add -u to write the repairs."
