#!/bin/sh
# Runs the suite on a scratch copy of the sample installation in examples/. Each program adds its
# own step under examples/demo.d/, run in the order of their names.
set -eu
mkdir -p "${1:-build/bin}"
bin=$(cd "${1:-build/bin}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(cd "$here/.." && pwd)/build/demo
rm -rf "$work"
mkdir -p "$work"
cp -R "$here/data/." "$work/"
# The configuration names the sample's folders by absolute path, so it is written here.
cat > "$work/dbc.cfg" <<CFG
dbcdx.file.vol.demo=$work/vol
dbcdx.file.open=$work/files;$work/vol
CFG
export DBC_CFG="$work/dbc.cfg" PATH="$bin:$PATH" QLON_ROOT="$work/qlon"
export DEMO_WORK="$work" DEMO_DATA="$here/data" DEMO_BIN="$bin"
cd "$work"
echo "Sample installation in $work (DBC_CFG=$DBC_CFG)"
for step in "$here"/demo.d/*.sh; do
  [ -f "$step" ] || continue
  echo
  echo "=== $(basename "$step" .sh) ==="
  sh "$step"
done
echo
echo "Demo finished."
