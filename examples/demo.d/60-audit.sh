# The audit chain on two versions of the sample customer file: the new one has record 2 changed,
# record 3 deleted and a fifth record appended. Records are 28 characters and the mark.
set -eu
mkdir -p audit
old=audit/CUST.OLD
new=audit/CUST.NEW
cp files/CUST.TXT "$old"
{
  head -c 29 "$old"
  printf 'CUSTOMER 0002 BETA AG       \372'
  printf '%028d\372' 0 | tr 0 '\377'   # deleted: the bytes become 0xFF, the mark stays
  dd if="$old" bs=29 skip=3 count=1 2>/dev/null
  printf 'CUSTOMER 0005 EPSILON SA    \372\373'
} > "$new"
jrnmake "$old" > audit/old.lst
jrnmake "$new" > audit/new.lst
echo "jrnmake $old (position checksum):"
cat audit/old.lst
echo "jrnmake $new:"
cat audit/new.lst
jrnjoin audit/old.lst audit/new.lst > audit/changes
echo "jrnjoin: the change list (1 added, 2+3 changed, 4 removed, each with its position):"
cat audit/changes
jrnpick audit/changes "$new" 28 > audit/picked
echo "jrnpick audit/changes $new 28: the changed records (marks shown as cat -v does):"
cat -v audit/picked
echo
