# Title: jrnmake, jrnjoin and jrnpick find the changed records
say "archive/CUST.TXT is last night's copy of the customer file. A checksum list"\
    "of each, then the change list between them:"
run 'jrnmake archive/CUST.TXT > old.lst; jrnmake data/CUST.TXT > new.lst; jrnjoin old.lst new.lst > changes; cat changes'
say "Each line is a kind and a record position. 2 then 3: the record changed (29"\
    "was edited); 4: the record is gone (116 was deleted); 1: the record is new"\
    "(145). The record at 58 is the same again since recscan repaired its byte."\
    "jrnpick copies the changed records from today's file, each behind its change"\
    "line and a bar (record marks shown as line ends, M-{ is the end mark):"
run 'jrnpick changes data/CUST.TXT 28 > picked; tr "\372" "\n" < picked | cat -v'
