#!/bin/sh
# Runs the suite on a scratch copy of the sample installation in examples/, one step per file
# under examples/demo.d/ in the order of their names. Each step shows the commands as a user types
# them, what they print, and a few sentences on how to read it; each fits one screen.
#
#   sh examples/demo.sh [BIN]     BIN: the folder of the built programs (default build/bin)
#
# The copy goes to DEMO_DIR (default build/demo), replaced on every run.
set -eu
bin=$(cd "${1:-build/bin}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=${DEMO_DIR:-$(cd "$here/.." && pwd)/build/demo}
rm -rf "$work"
mkdir -p "$work"
for f in "$here"/*; do
  case ${f##*/} in
    demo.sh | demo.d) ;;
    *) cp -R "$f" "$work/" ;;
  esac
done
work=$(cd "$work" && pwd)

# The settings a user of the sample makes: the configuration file, the DB/C environment file that
# dbtidy reads, the installation root holding the mirroring definitions, and the programs.
export DBC_CFG="$work/dbc.cfg" DBC_ENVFILE="$work/dbc.env" QLON_ROOT="$work/qlon"
export PATH="$bin:$PATH"
cd "$work"

# say TEXT...: the demo's own explanation, wrapped and marked as a comment.
say() {
  printf '%s\n' "$*" | fold -s -w 78 | sed 's/ *$//; s/^/# /'
}
# run COMMAND: shows the command as typed at a prompt, then runs it. A status other than 0 is
# shown, so a step that went wrong cannot pass for one that went right.
run() {
  printf '$ %s\n' "$1"
  status=0
  sh -c "$1" || status=$?
  if [ "$status" -ne 0 ]; then echo "(exit status $status)"; fi
}

steps=$(ls "$here"/demo.d/*.sh | wc -l)
n=0
for step in "$here"/demo.d/*.sh; do
  n=$((n + 1))
  title=$(sed -n 's/^# Title: //p' "$step")
  printf '\n=== Step %s of %s: %s ===\n' "$n" "$steps" "$title"
  . "$step"
done
printf '\nThe demo is finished. Its copy of the sample installation stays in %s.\n' "$work"
