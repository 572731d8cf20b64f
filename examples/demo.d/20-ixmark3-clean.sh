# Title: ixmark3 verifies an index that is in step with its data
say "ixmark3 reads every entry of the index data/ORDERS.ISI (the order number),"\
    "has DBCSORT sort them by record position, and compares them with the data"\
    "file the index names, ORDERS, record by record."
run 'ixmark3 ORDERS'
say "It prints its title and the collating sequence it read, the work folder, and"\
    "each path it tried while looking for the index and the data file."
run 'ls work'
say "Index and data agree: the work folder is left empty. The run's exit status"\
    "is 0, as it is for a run that finds disagreements (next step): a script"\
    "looks for the error file, or reads the count that -v prints."
