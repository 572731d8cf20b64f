#!/bin/sh
# Runs every fuzz target for SECONDS on a scratch copy of its seed corpus; a finding is left as
# crash-*, timeout-*, leak-* or oom-* in build-fuzz/findings/NAME/ (beside its log) and ends the
# run with status 1.
set -u
bin=$(cd "${1:-build-fuzz/bin}" && pwd)
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
out=$(cd "$bin/.." && pwd)/findings
status=0
for t in "$bin"/*_fuzz; do
  name=$(basename "$t")
  mkdir -p "$out/$name/corpus"
  cp "$here/corpus/$name"/* "$out/$name/corpus/" 2>/dev/null || true
  echo "=== $name, $seconds s"
  rc=0
  (cd "$out/$name" && ASAN_OPTIONS=detect_leaks=1 "$t" -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 corpus > log 2>&1) || rc=$?
  grep -E '^Done|stat::number_executed_units|ERROR|SUMMARY' "$out/$name/log" || true
  if [ "$rc" -ne 0 ]; then
    echo "finding in $out/$name (status $rc)"
    status=1
  fi
done
exit $status
