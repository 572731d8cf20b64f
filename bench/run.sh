#!/bin/sh
# Runs every benchmark under bench/*/run.sh with the release build's programs. Data is generated
# under BENCH_DIR (default build/benchdata) and left there for the next run.
set -eu
mkdir -p "${1:-build/bin}"
bin=$(cd "${1:-build/bin}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
export BENCH_BIN="$bin" BENCH_DIR="${BENCH_DIR:-$(cd "$here/.." && pwd)/build/benchdata}"
mkdir -p "$BENCH_DIR"
for b in "$here"/*/run.sh; do
  [ -f "$b" ] || continue
  echo "=== bench $(basename "$(dirname "$b")") ==="
  sh "$b"
done
