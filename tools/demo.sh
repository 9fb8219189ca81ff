#!/usr/bin/env bash
# The main job, from a fresh machine: installs what is needed, builds, and has
# markd read the bundled sample photograph of an answer sheet the way the
# capture application drives it, then shows what it wrote.
#   SKIP_SETUP=1 skips the apt-get step.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
if [ "${SKIP_SETUP:-0}" != 1 ]; then
  tools/setup.sh
fi
echo "== building (build/release)"
tools/build.sh release >/dev/null
markd=$top/build/release/bin/markd

work=$(mktemp -d /tmp/markd-demo.XXXXXX)
cp samples/sheet.jpg samples/sheet_template.txt "$work/"
cd "$work"

cat <<TXT

== The sample: samples/sheet.jpg, a 3264 x 2448 photograph of a filled-in answer
   sheet lying skewed on a desk, and samples/sheet_template.txt, which says where its
   answer boxes are. Copied to $work.

== markd reads commands on standard input and answers on standard output:
TXT
commands=(
  "readtemplate;sheet_template.txt"   # load the template
  "recognize;sheet.jpg"               # straighten, cut, read every box
  "locate;sheet.jpg"                  # report the skew and the sheet's corners
  "exit"
)
coproc MARKD { MARKD_TRACE="$work/trace.txt" "$markd"; }
for c in "${commands[@]}"; do
  echo "> $c"
  printf '%s\n' "$c" >&"${MARKD[1]}"
  [ "$c" = exit ] && break
  if IFS= read -r -t 60 reply <&"${MARKD[0]}"; then echo "< $reply"; else echo "< (no reply)"; fi
done
wait "$MARKD_PID"
echo "  markd ended with status $?"

marked=$(grep -c '=1\[' sheet.txt || true)
boxes=$(($(wc -l < sheet.txt) - 1))
cat <<TXT

== sheet.txt, the result: the template's header, then one line per answer box,
   NAME=MARK[x,y,half_width,half_height] in pixels of the cut image, MARK 1 = marked.
   $marked of $boxes boxes are marked; the first lines:
TXT
head -6 sheet.txt; echo "   ..."
echo
echo "   Marked boxes: $(grep '=1\[' sheet.txt | cut -d= -f1 | tr '\n' ' ')"

# The sample comes with the truth its generator drew: compare every box.
sed -n 's/^\([^=]*\)=\([01]\)\[.*/\1 \2/p' sheet.txt | sort > read.lst
sed -n 's/^\([^=]*\)=\([01]\) .*/\1 \2/p' "$top/samples/sheet_truth.txt" | sort > truth.lst
wrong=$(comm -3 read.lst truth.lst | wc -l)
echo "   Compared with samples/sheet_truth.txt (what the generator drew): $(wc -l < truth.lst) boxes, $((wrong / 2)) read wrong."

cat <<TXT

== sheet.locate: the skew in degrees and the sheet's four corners in the photograph
   (left-top, right-top, right-bottom, left-bottom):
TXT
cat sheet.locate; echo
cat <<TXT

== sheet_cut.jpg: the straightened sheet, cut out at its corner anchors:
   $work/sheet_cut.jpg ($(stat -c %s sheet_cut.jpg) bytes)

== The step trace of this run (MARKD_TRACE=$work/trace.txt), timings in ms:
TXT
grep -v '^$' trace.txt | head -24
