#!/bin/sh
# Runs every fuzz target for SECONDS on a scratch copy of its seed corpus; a finding is left as
# crash-*, timeout-* or leak-* in build-fuzz/findings/NAME/ and ends the run with status 1.
set -u
bin=${1:-build-fuzz/bin}
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
out=$(cd "$bin/.." && pwd)/findings
status=0
for t in "$bin"/*_fuzz; do
  name=$(basename "$t")
  mkdir -p "$out/$name/corpus"
  cp "$here/corpus/$name"/* "$out/$name/corpus/" 2>/dev/null || true
  echo "=== $name, $seconds s"
  (cd "$out/$name" && ASAN_OPTIONS=detect_leaks=1 "$t" -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -max_len=65536 -print_final_stats=1 corpus 2>&1 | tail -n 12) || status=1
done
exit $status
