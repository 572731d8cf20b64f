#!/bin/sh
# The Debian packages end to end: builds them as `make package` does, checks what each holds and
# what its control file says, unpacks both into a scratch root, runs every program from there on a
# small DB/C installation written here, and has lintian judge the packages.
#
#   sh packaging/test.sh SOURCE_DIR WORK_DIR VERSION INDEX_WRITER "SUITE_PROGRAMS"
#
# INDEX_WRITER writes a sample data file and its ISAM index (the benchmarks' generator);
# SUITE_PROGRAMS are the programs the build makes for the suite's package. Exit status
# 77 means skipped: the Debian tools are missing on a developer's machine. In CI (CI=true) a
# missing tool is a failure.
set -eu
src=$(cd "$1" && pwd)
work=$2
version=$3
ixgen=$(cd "$(dirname "$4")" && pwd)/$(basename "$4")
suite_pkg=dbcsuite
sort_pkg=dbcsuite-dbcsort
suite_programs=$5

missing=""
for tool in dpkg-deb dpkg-shlibdeps lintian file gzip; do
  command -v "$tool" >/dev/null 2>&1 || missing="$missing $tool"
done
if [ -n "$missing" ]; then
  if [ "${CI:-}" = true ]; then
    echo "FAILED: the package test needs$missing (listed in .ci/needs/package)"
    exit 1
  fi
  echo "SKIPPED: the package test needs$missing (apt-get install dpkg-dev lintian file)"
  exit 77
fi

failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
# expect WHAT FILE LINE: FILE holds LINE as one whole line.
expect() {
  grep -Fxq -- "$3" "$2" || { fail "$1: no line '$3' in:"; sed 's/^/    /' "$2"; }
}

mkdir -p "$work"
work=$(cd "$work" && pwd)

echo "=== make package"
# The outer make's jobserver does not reach through ctest; the inner make runs on its own.
env -u MAKEFLAGS -u MFLAGS -u MAKELEVEL make -C "$src" package PACKAGE_BUILD="$work/build"
suite_deb=$work/build/${suite_pkg}_${version}_$(dpkg --print-architecture).deb
sort_deb=$work/build/${sort_pkg}_${version}_$(dpkg --print-architecture).deb
for deb in "$suite_deb" "$sort_deb"; do
  [ -f "$deb" ] || { echo "FAILED: make package did not write $deb"; ls -l "$work/build"; exit 1; }
done
[ "$(ls "$work/build"/*.deb | wc -l)" -eq 2 ] || fail "make package left other .deb files: $(ls "$work/build"/*.deb)"

echo "=== control fields"
for deb in "$suite_deb" "$sort_deb"; do
  dpkg-deb -I "$deb"
  field() { dpkg-deb -f "$deb" "$1"; }
  [ "$(field Version)" = "$version" ] || fail "$deb: Version '$(field Version)', not $version"
  [ "$(field Section)" = utils ] || fail "$deb: Section '$(field Section)'"
  [ "$(field Priority)" = optional ] || fail "$deb: Priority '$(field Priority)'"
  field Maintainer | grep -Eq '^[^<]+ <[^@ ]+@[^> ]+>$' || fail "$deb: Maintainer '$(field Maintainer)'"
  # dpkg-shlibdeps worked out the libraries the programs link against.
  field Depends | grep -q 'libc6 (>= ' || fail "$deb: Depends '$(field Depends)' names no libc6 version"
  [ "$(field Description | wc -l)" -ge 3 ] || fail "$deb: no extended description"
done
[ "$(dpkg-deb -f "$suite_deb" Package)" = $suite_pkg ] || fail "suite package named $(dpkg-deb -f "$suite_deb" Package)"
[ "$(dpkg-deb -f "$sort_deb" Package)" = $sort_pkg ] || fail "sort package named $(dpkg-deb -f "$sort_deb" Package)"
# An installation with the DB/C product's own DBCSORT installs the suite without ours.
[ "$(dpkg-deb -f "$suite_deb" Recommends)" = $sort_pkg ] || fail "suite Recommends '$(dpkg-deb -f "$suite_deb" Recommends)'"
if dpkg-deb -f "$suite_deb" Depends Pre-Depends | grep -q "$sort_pkg"; then
  fail "the suite depends on $sort_pkg"
fi

echo "=== contents"
# What each package must hold, file by file, from the source tree as it stands: every manual page
# and every file of the sample installation, whatever man/ and examples/ hold today.
expected_files() {
  pkg=$1
  doc=./usr/share/doc/$pkg
  echo "$doc/copyright"
  echo "$doc/changelog.gz"
  [ ! -f "$src/packaging/lintian/$pkg" ] || echo "./usr/share/lintian/overrides/$pkg"
  for page in "$src"/man/*.[1-9]; do
    name=$(basename "$page")
    section=${name##*.}
    if [ "$name" = DBCSORT.1 ]; then [ "$pkg" = $sort_pkg ] || continue
    else [ "$pkg" = $suite_pkg ] || continue
    fi
    echo "./usr/share/man/man$section/$name.gz"
  done
  if [ "$pkg" = $suite_pkg ]; then
    for p in $suite_programs; do echo "./usr/bin/$p"; done
    echo "$doc/README.md"
    (cd "$src/examples" && find . -type f) | sed "s|^\./|$doc/examples/|"
  else
    echo ./usr/bin/DBCSORT
  fi
}
for deb in "$suite_deb" "$sort_deb"; do
  pkg=$(dpkg-deb -f "$deb" Package)
  dpkg-deb -c "$deb" | tee "$work/$pkg.contents"
  # Columns: mode, owner/group, size, date, time, path (which may hold spaces).
  sed -E 's/^([^ ]+ +){5}//' "$work/$pkg.contents" | grep -v '/$' | sort > "$work/$pkg.files"
  expected_files "$pkg" | sort > "$work/$pkg.expected"
  diff -u "$work/$pkg.expected" "$work/$pkg.files" || fail "$pkg: files differ from the expected (- expected, + packaged)"
  awk '$2 != "root/root" { print "  owner " $2 ": " $6 }
       $1 ~ /^d/ && $1 != "drwxr-xr-x" { print "  mode " $1 ": " $6 }
       $1 ~ /^-/ && $6 ~ /^\.\/usr\/bin\// && $1 != "-rwxr-xr-x" { print "  mode " $1 ": " $6 }
       $1 ~ /^-/ && $6 !~ /^\.\/usr\/bin\// && $1 != "-rw-r--r--" { print "  mode " $1 ": " $6 }
       $1 !~ /^[-d]/ { print "  not a file or folder: " $6 }
       $6 !~ /^\.\/usr\/((bin|share)\/)?$/ && $6 !~ /^\.\/usr\/bin\/./ &&
       $6 !~ /^\.\/usr\/share\/(man|doc|lintian)\// { print "  outside the FHS places: " $6 }' \
    "$work/$pkg.contents" > "$work/$pkg.bad"
  [ ! -s "$work/$pkg.bad" ] || { fail "$pkg: owners, modes or places:"; cat "$work/$pkg.bad"; }
done

echo "=== unpacked into a scratch root"
root=$work/root
rm -rf "$root"
dpkg -x "$suite_deb" "$root"
dpkg -x "$sort_deb" "$root"
for gz in "$root"/usr/share/man/man*/*.gz "$root"/usr/share/doc/*/changelog.gz; do
  gzip -t "$gz" || fail "$gz is not gzip data"
done

# A small DB/C installation: configuration file, search path, work volume, mirroring definition.
inst=$work/installation
rm -rf "$inst"
mkdir -p "$inst/files" "$inst/wrk" "$inst/qlon/dmf" "$inst/ndxwrk"
cat > "$inst/dbc.cfg" <<CFG
dbcdx.file.open=$inst/files
dbcdx.file.vol.wrk=$inst/wrk
CFG
printf '"CUST":MIR 00028N customer master, fixed length\n' > "$inst/qlon/dmf/PD01.DMF"
# Three 28-character records, the third with a control character in it.
printf 'CUSTOMER 0001 ACME LTD      \372CUSTOMER 0002 BETA GMBH     \372CUSTOMER 0003 GAMMA\001INC     \372\373' \
  > "$inst/files/CUST.TXT"
printf '0000000100 last order number\n' > "$inst/files/SERIAL.TXT"

# Every program runs from the scratch root, with nothing of the build on the path: ixmark3 and
# ixmark start the packaged DBCSORT.
run() {
  env -i HOME="$inst" PATH="$root/usr/bin:/usr/bin:/bin" DBC_CFG="$inst/dbc.cfg" \
    QLON_ROOT="$inst/qlon" "$@"
}
for p in recscan recmend ixmark3 ixmark dbtidy pageconv seqnext jrnmake jrnjoin jrnpick dbcsweep DBCSORT; do
  [ "$(run sh -c "command -v $p")" = "$root/usr/bin/$p" ] || fail "$p is not found in the scratch root"
done
cd "$inst"
out=$work/out

echo "--- recscan"
run recscan CUST > "$out"; cat "$out"
expect recscan "$out" "records=3, max size=28, min size=28, compressed=No, deleted=No"
grep -q 'errcnt=1\.0,.* dmflen=28 ' "$out" || fail "recscan: the bad byte or the definition's length is missing"
mkdir repair
cp files/CUST.TXT repair/CUST.TXT
run recscan repair/CUST.TXT -f1 > "$out"; cat "$out"
printf 'CUSTOMER 0003 GAMMA INC     \372' > want
dd if=repair/CUST.TXT of=got bs=29 skip=2 count=1 2>/dev/null
cmp -s want got || fail "recscan -f1 did not turn the control character into a space"

echo "--- ixmark3 and ixmark"
"$ixgen" files/ORDERS.TXT files/ORDERS.ISI - 12 0
run env NDXPROBE_WRK="$inst/ndxwrk" ixmark3 ORDERS > "$out"; tr '\r' '\n' < "$out"
[ -z "$(ls ndxwrk)" ] || fail "ixmark3 left work files after a clean run: $(ls ndxwrk)"
run ixmark ORDERS > "$out"; tr '\r' '\n' < "$out"
[ -z "$(ls wrk)" ] || fail "ixmark left work files after a clean run: $(ls wrk)"
# The last record's key no longer matches its index entry: each program reports the entry without
# its record (I) and the record without its entry (T).
"$ixgen" files/ORDERS.TXT files/ORDERS.ISI - 12 1
run env NDXPROBE_WRK="$inst/ndxwrk" ixmark3 ORDERS > "$out"
run ixmark ORDERS > "$out"
for err in ndxwrk/ORDERS.ERR wrk/ORDERS.ERR; do
  if [ -f "$err" ]; then
    cat "$err"
    [ "$(cut -c1 "$err" | tr -d '\n')" = IT ] || fail "$err does not hold one I and one T line"
  else
    fail "no error file $err after a run on a disagreeing index"
  fi
done

echo "--- dbcsweep"
# The whole installation: CUST's bad byte and the index's disagreement, in the table and the JSON.
status=0
run dbcsweep --json sweep.json > "$out" || status=$?
cat "$out"
[ "$status" -eq 1 ] || fail "dbcsweep ended with status $status, not 1"
grep -q "^DAMAGED  *$inst/files/CUST.TXT " "$out" || fail "dbcsweep did not report CUST's bad byte"
grep -q "^MISMATCH  *$inst/files/ORDERS.ISI " "$out" || fail "dbcsweep did not report the disagreement"
grep -q '"damaged": 1, "mismatch": 1, "error": 0}' sweep.json || fail "dbcsweep's JSON summary is wrong"
[ -z "$(ls wrk | grep dbcsweep)" ] || fail "dbcsweep left its work folder: $(ls wrk)"

echo "--- DBCSORT"
printf 'b line\na line\nc line\n' > lines
run DBCSORT lines sorted 1-6 -T
printf 'a line\nb line\nc line\n' > want
cmp -s want sorted || fail "DBCSORT -T did not sort the lines"

echo "--- dbtidy"
printf '* REPORT\nTOTAL FORM 9.2\nSTART  LOOP\n ADD 1 TO TOTAL\n     DEBUG TOTAL\n  REPEAT\n STOP\n' > RPT.TXT
run dbtidy RPT.TXT RPT.NEW -K > "$out"; cat "$out"
expect dbtidy "$out" "7 -- Lines Processed"
printf '* REPORT\nTOTAL\t\tFORM 9.2\nSTART\n\tLOOP\n\t\tADD 1 TO TOTAL\n\tREPEAT\n\tSTOP\n' > want
cmp -s want RPT.NEW || { fail "dbtidy's output differs:"; cat -A RPT.NEW; }

echo "--- recmend"
printf 'CUST0001 SM\001TH\372' > FIX.TXT
run recmend -d FIX.TXT -l 14 -x -y -u > "$out"; cat "$out"
expect recmend "$out" "File updated."
printf 'CUST0001 SM TH\372' > want
cmp -s want FIX.TXT || fail "recmend did not repair the record"

echo "--- pageconv"
printf '\033E\rHEADER\nline one\n\fPAGE TWO\n' > P.PRT
run pageconv P.PRT P.rtf > "$out"; cat "$out"
head -c 6 P.rtf | grep -Fq '{\rtf1' || fail "pageconv wrote no RTF document"
expect pageconv P.rtf '\par HEADER'
expect pageconv P.rtf '\par \page'

echo "--- seqnext"
run seqnext > "$out"
run seqnext >> "$out"; cat "$out"
printf '       101\n       102\n' > want
cmp -s want "$out" || fail "seqnext did not hand out 101 and 102"
expect seqnext files/SERIAL.TXT "       102 last order number"

echo "--- jrnmake, jrnjoin, jrnpick"
printf 'CUSTOMER 0001 ACME LTD      \372CUSTOMER 0002 BETA GMBH     \372\373' > OLD.TXT
printf 'CUSTOMER 0001 ACME LTD      \372CUSTOMER 0002 BETA AG       \372CUSTOMER 0003 NEW SA      \372\373' > NEW.TXT
run jrnmake OLD.TXT > old.lst
run jrnmake NEW.TXT > new.lst
cat old.lst new.lst
[ "$(wc -l < new.lst)" -eq 3 ] || fail "jrnmake listed $(wc -l < new.lst) records of three"
run jrnjoin old.lst new.lst > changes; cat changes
printf '229\n329\n158\n' > want
cmp -s want changes || fail "jrnjoin: record 2 changed and record 3 added were not listed"
run jrnpick changes NEW.TXT 28 > picked; cat -v picked; echo
printf '229|\372329|CUSTOMER 0002 BETA AG       \372158|\372\373' > want
cmp -s want picked || fail "jrnpick did not extract the changed record"

echo "=== lintian"
cd "$work"
lintian --fail-on error,warning --display-info --show-overrides "$suite_deb" "$sort_deb" ||
  fail "lintian found errors or warnings that no override explains"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "The packages passed."
