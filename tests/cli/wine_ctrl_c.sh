#!/bin/sh
# kvtram.exe under wine, stopped by Ctrl-C in the middle of a batch (wine
# hands SIGINT to a console program as its Ctrl-C event): the images done so
# far are listed, the summary is printed, the exit status is 130 and no
# temporary file is left.
#   wine_ctrl_c.sh EXAMPLES_FOLDER EMULATOR... PROGRAM
set -eum
examples=$1
shift
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
i=0
while [ $i -lt 400 ]; do i=$((i + 1)); cp "$examples/pcm.kv" "$dir/s$i.kv"; done
cp "$examples/pcm.kvp" "$dir/"
cd "$dir"
LANG=C "$@" convert -j 1 . >out.txt 2>err.txt &
pid=$!
waited=0
until grep -q '\.trm : ' out.txt; do
  sleep 0.2
  waited=$((waited + 1))
  [ $waited -lt 600 ] || { echo "no image listed in 2 minutes"; kill -KILL $pid; exit 1; }
done
kill -INT $pid
status=0
wait $pid || status=$?
fail() { echo "$1"; cat out.txt err.txt; exit 1; }
[ $status -eq 130 ] || fail "exit status $status, not 130"
listed=$(grep -c '\.trm : ' out.txt)
written=$(ls | grep -c '\.trm$' || true)
[ "$listed" -eq "$written" ] || fail "$written images written, $listed listed"
[ "$written" -lt 400 ] || fail "the batch was not stopped"
grep -q "^Done: $written converted, 0 failed, 0 skipped" err.txt out.txt || fail "no summary"
if ls -a | grep -q '\.part$'; then fail "a temporary file was left"; fi
echo "stopped after $written of 400 songs"
