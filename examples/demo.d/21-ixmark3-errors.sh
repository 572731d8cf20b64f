# Title: ixmark3 finds an index out of step
say "data/ORDCUST.ISI indexes the same orders by customer and order number. Order"\
    "ORD00007 was moved from customer CUST0002 to CUST0004, and this index was"\
    "not told."
run 'ixmark3 -v ORDCUST | tail -n 4'
run 'ls work; cat work/ORDCUST.ERR'
say "The error file holds one line per disagreement. I: an index entry with no"\
    "record of its key at its position (block position, offset in the block,"\
    "record position, key). T: a record with no entry (record position, key)."\
    "An I and a T at the same position, as here, is a stale key: rebuild the"\
    "index. The error, debug and properties files stay until the next run."
