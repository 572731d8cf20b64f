# Shared by the benchmarks (sourced, not run): timing a command over several page-cached runs.
# Set `repeat` (runs a command) and `scratch` (a folder for the runs' figures) before calling `runs`.

now() { date +%s.%N; }
# The median of the numbers on standard input, one per line.
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Prints "wall cpu", each the median of `repeat` runs of the command, its output thrown away; cpu
# is user + system time.
runs() {
  : > "$scratch/runs"
  i=0
  while [ $i -lt "$repeat" ]; do
    t0=$(now)
    /usr/bin/time -f '%U %S' -o "$scratch/cpu" "$@" > /dev/null
    t1=$(now)
    echo "$t0 $t1 $(cat "$scratch/cpu")" | awk '{print $2 - $1, $3 + $4}' >> "$scratch/runs"
    i=$((i + 1))
  done
  echo "$(awk '{print $1}' "$scratch/runs" | median) $(awk '{print $2}' "$scratch/runs" | median)"
  rm -f "$scratch/runs" "$scratch/cpu"
}
