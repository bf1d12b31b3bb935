#!/usr/bin/env bash
# saverunzip as authors use it: an archive made by Debian's zip extracts flat with its count, the
# read-only mark and the time; a broken archive ends with the error's type, message and exit 1.
#   saverunzip_test.sh SAVERUNZIP [wine]
set -uo pipefail
tool=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
runner=()
if [ "${2:-}" = wine ]; then runner=(bash "$here/../../scripts/wine-run"); fi
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

mkdir -p "$work/src/sub"
printf 'hello\n' > "$work/src/a.txt"
seq 1 5000 > "$work/src/sub/numbers.txt"
# Files of a few megabytes take the reader's write-behind path.
head -c 3145828 /dev/urandom > "$work/src/sub/large.bin"
seq 1 600000 > "$work/src/large.txt"
printf 'locked\n' > "$work/src/sub/locked.txt"
chmod a-w "$work/src/sub/locked.txt"
touch -t 200102030405.06 "$work/src/a.txt"
(cd "$work/src" && zip -q -r ../good.zip .) || fail "zip failed"

cd "$work"
out=$("${runner[@]}" "$tool" good.zip dest 2>err.txt)
rc=$?
[ $rc = 0 ] || fail "exit $rc: $(cat err.txt)"
# a.txt, numbers.txt, large.bin, large.txt, locked.txt and the folder entry sub/
[ "$(echo "$out" | tr -d '\r')" = 6 ] || fail "count '$out'"
cmp -s dest/numbers.txt src/sub/numbers.txt || fail "numbers.txt differs"
cmp -s dest/large.bin src/sub/large.bin || fail "large.bin differs"
cmp -s dest/large.txt src/large.txt || fail "large.txt differs"
[ "$(cat dest/a.txt)" = hello ] || fail "a.txt differs"
[ -w dest/locked.txt ] && [ "$(id -u)" != 0 ] && fail "locked.txt writable"
stat -c %A dest/locked.txt | grep -q '^-r--' || fail "locked.txt not read-only: $(stat -c %A dest/locked.txt)"
[ "$(date -r dest/a.txt +%Y%m%d%H%M)" = 200102030405 ] || fail "a.txt time $(date -r dest/a.txt)"
[ ! -e dest/sub ] || fail "a folder was made"

# Again over the same folder: files are replaced, the read-only one stays and is not counted.
printf 'changed\n' > dest/a.txt
out=$("${runner[@]}" "$tool" good.zip dest 2>err.txt)
[ "$(echo "$out" | tr -d '\r')" = 5 ] || fail "second run count '$out' $(cat err.txt)"
[ "$(cat dest/a.txt)" = hello ] || fail "a.txt not replaced"
[ "$(cat dest/locked.txt)" = locked ] || fail "locked.txt changed"

head -c 100 good.zip > cut.zip
"${runner[@]}" "$tool" cut.zip dest2 >out2.txt 2>err2.txt
rc=$?
[ $rc = 1 ] || fail "broken archive: exit $rc"
grep -q "EIncompleteZip: Incomplete Zip File" err2.txt || fail "broken archive: '$(cat err2.txt)'"

"${runner[@]}" "$tool" only-one-argument >/dev/null 2>&1
[ $? = 2 ] || fail "usage error not reported"
echo "saverunzip: all checks passed"
