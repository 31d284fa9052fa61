#!/usr/bin/env bash
# Annotated screenshots of the real windows for docs/anleitung.md, taken under a virtual
# display: chelsea decomposed to level 6, after "Reduce", after "Fehler?" and after
# "Calc Delta". Needs a built tesora (make run or make test) and the packages of
#   scripts/install-deps.sh --screenshots
# Usage: scripts/make-screenshots.sh [BUILD_DIR]   (writes docs/anleitung-*.png)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
if [[ -z ${SCREENSHOT_DISPLAY_READY:-} ]]; then
  exec env SCREENSHOT_DISPLAY_READY=1 xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi

out=docs
picture=samples/chelsea-451x300.bmp
font=DejaVu-Sans
export LC_ALL=C.UTF-8 QT_QPA_PLATFORM=xcb
"$build/app/tesora" "$picture" &
program=$!
trap 'kill "$program" 2>/dev/null || true' EXIT

main=$(xdotool search --sync --onlyvisible --name "^Level: 9$" | head -1)
wait_title() {  # waits until the main window's caption (the status line) reads $1
  for _ in $(seq 1 600); do
    [[ $(xdotool getwindowname "$main") == "$1" ]] && return 0
    sleep 0.1
  done
  echo "timed out waiting for \"$1\" (caption: $(xdotool getwindowname "$main"))" >&2
  exit 1
}
eval "$(xdotool getwindowgeometry --shell "$main")"   # X, Y, WIDTH, HEIGHT of the main window
mx=$X my=$Y
click() { xdotool mousemove $((mx + $1)) $((my + $2)) click 1; }
# Main window and the reduced-picture window beside it, 8 pixels of margin.
shoot() {
  sleep 0.5
  import -window root -crop "$((WIDTH + 460))x$((HEIGHT + 16))+$((mx - 8))+$((my - 8))" +repage "$1"
}

# Level 9 -> 6: the track bar's handle stands at its right end; a click there gives it
# the keyboard, each Left key is one level down.
click 128 38
for level in 8 7 6; do
  xdotool key Left
  wait_title "Level: $level"
done
bx=$((8 + 144)) by=8     # the picture imgBild inside the crop
shoot /tmp/tesora-shot.png
convert /tmp/tesora-shot.png -font $font -pointsize 13 -fill none -strokewidth 2 \
  -stroke '#e63946' -draw "rectangle $bx,$by $((bx + 65)),$((by + 65))" \
  -stroke '#1d70b8' -draw "rectangle $((bx + 65)),$by $((bx + 129)),$((by + 129))" \
  -stroke '#2a9d8f' -draw "rectangle $((bx + 129)),$by $((bx + 257)),$((by + 257))" \
  -stroke none -fill '#e63946' -undercolor white -annotate +$((bx + 4))+$((by + 80)) ' Glättung Level 6 ' \
  -fill '#1d70b8' -annotate +$((bx + 70))+$((by + 145)) ' Details Level 6 ' \
  -fill '#2a9d8f' -annotate +$((bx + 150))+$((by + 275)) ' Details Level 7 ' \
  -fill black -annotate +$((bx + 300))+$((by + 160)) ' Details Level 8 ' \
  -fill black -annotate +$((WIDTH + 40))+$((by + 20)) ' Näherung auf Level 6 ' \
  "$out/anleitung-zerlegt.png"

# "Reduce" with Epsilon 5.
click 64 124
sleep 1
shoot /tmp/tesora-shot.png
convert /tmp/tesora-shot.png -font $font -pointsize 13 -fill none -strokewidth 2 -stroke '#e63946' \
  -draw "rectangle 12,147 130,170" -draw "rectangle 12,165 140,192" \
  -stroke none -fill '#e63946' -undercolor white \
  -annotate +$((bx + 160))+$((by + 30)) ' rot: auf 0 gesetzte Details ' \
  "$out/anleitung-reduce.png"

# Back up to level 9, then "Fehler?".
for level in 7 8 9; do
  xdotool mousemove $((mx + 60)) $((my + 40)) key Right
  wait_title "Level: $level"
done
click 64 284
wait_title "Fertig!"
shoot /tmp/tesora-shot.png
convert /tmp/tesora-shot.png -font $font -pointsize 13 -fill none -strokewidth 2 -stroke '#e63946' \
  -draw "rectangle 12,306 130,330" \
  -stroke none -fill '#e63946' -undercolor white \
  -annotate +$((bx + 10))+$((by + 30)) ' rekonstruiert aus den reduzierten Koeffizienten ' \
  -annotate +$((WIDTH + 40))+$((by + 20)) ' Originalbild zum Vergleich ' \
  "$out/anleitung-fehler.png"

# "Calc Delta": the difference picture and the proposal.
click 64 204
wait_title "Fertig!"
shoot /tmp/tesora-shot.png
convert /tmp/tesora-shot.png -font $font -pointsize 13 -fill none -strokewidth 2 -stroke '#e63946' \
  -draw "rectangle 12,62 140,100" -draw "rectangle 12,228 140,264" \
  -stroke none -fill '#e63946' -undercolor white \
  -annotate +$((WIDTH + 40))+$((by + 20)) ' Differenzenbild ' \
  "$out/anleitung-calcdelta.png"
rm -f /tmp/tesora-shot.png
echo "written: $out/anleitung-{zerlegt,reduce,fehler,calcdelta}.png"
