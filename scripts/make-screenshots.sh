#!/usr/bin/env bash
# Annotated screenshots of the real windows for docs/anleitung.md, taken under a virtual
# display with a window manager, title bars included (the main window's title bar is the
# program's status line): chelsea decomposed to level 6, after "Reduce", after "Fehler?"
# and after "Calc Delta". Needs a built tesora (make run or make test) and the packages of
#   scripts/install-deps.sh --screenshots
# Usage: scripts/make-screenshots.sh [BUILD_DIR]   (writes docs/anleitung-*.png)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
if [[ -z ${SCREENSHOT_DISPLAY_READY:-} ]]; then
  exec env SCREENSHOT_DISPLAY_READY=1 xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi
# The picture where a student finds it, /usr/share/tesora/samples, so the path under it
# is one the reader has: as root, shown there by an overlay in a mount namespace of this
# script's own (nothing outside it changes); otherwise from a plain temporary folder.
pictures=${TMPDIR:-/tmp}/tesora-anleitung
if [[ -z ${SCREENSHOT_SAMPLES_READY:-} && $(id -u) == 0 ]] && unshare -m true 2>/dev/null; then
  exec env SCREENSHOT_SAMPLES_READY=1 unshare -m "$0" "$@"
fi
rm -rf "$pictures"
mkdir -p "$pictures/up/tesora/samples" "$pictures/work"
picture=$pictures/up/tesora/samples/chelsea-451x300.bmp
cp samples/chelsea-451x300.bmp "$picture"
if [[ -n ${SCREENSHOT_SAMPLES_READY:-} ]] &&
   mount -t overlay overlay -o "lowerdir=/usr/share,upperdir=$pictures/up,workdir=$pictures/work" /usr/share; then
  picture=/usr/share/tesora/samples/chelsea-451x300.bmp
  mounted=1
else
  echo "the screenshots show the picture under $pictures (not root, or no mount namespace)" >&2
fi
# ImageMagick itself, whatever else on PATH is called convert.
convert=convert
[[ -x /usr/bin/convert ]] && convert=/usr/bin/convert
openbox >/dev/null 2>&1 &
wm=$!
sleep 1

out=docs
font=DejaVu-Sans
export LC_ALL=C.UTF-8 QT_QPA_PLATFORM=xcb
"$build/app/tesora" "$picture" &
program=$!
trap 'kill "$program" "$wm" 2>/dev/null || true; [[ -z ${mounted:-} ]] || umount /usr/share; rm -rf "$pictures"' EXIT

main=$(xdotool search --sync --onlyvisible --name "^Level: 9$" | head -1)
wait_title() {  # waits until the main window's caption (the status line) reads $1
  sleep 1.5       # the handler has started by then; it ends with "Fertig!"
  for _ in $(seq 1 600); do
    [[ $(xdotool getwindowname "$main") == "$1" ]] && return 0
    sleep 0.1
  done
  echo "timed out waiting for \"$1\" (caption: $(xdotool getwindowname "$main"))" >&2
  exit 1
}
sleep 1
eval "$(xdotool getwindowgeometry --shell "$main")"   # WIDTH, HEIGHT of the main window's client area
# Its absolute corner (xdotool's position is off by the frame under a reparenting manager).
mx=$(xwininfo -id "$main" | sed -n 's/.*Absolute upper-left X: *//p')
my=$(xwininfo -id "$main" | sed -n 's/.*Absolute upper-left Y: *//p')
# The frame the window manager drew: left, right, top, bottom.
IFS=', ' read -r fl fr ft fb < <(xprop -id "$main" _NET_FRAME_EXTENTS | sed 's/.*= //')
click() { xdotool mousemove $((mx + $1)) $((my + $2)) click 1; }
# Both windows with their frames, 8 pixels of margin. Coordinates in the annotations are
# client coordinates of the main window plus 8; dx, dy shift them past the frame.
dx=$fl dy=$ft
shoot() {
  sleep 0.5
  import -window root -crop "$((WIDTH + 451 + 2 * (fl + fr) + 16))x$((HEIGHT + ft + fb + 16))+$((mx - 8 - fl))+$((my - 8 - ft))" +repage "$1"
}

# shoot_marked NAME "X0,Y0,X1,Y1 ..." "X,Y,TEXT" ...: a screenshot in docs/ with red
# frames and red labels on white (-strip: no time stamps, so a refresh changes only
# what the windows show).
shoot_marked() {
  local name=$1 frames=$2 args=() frame label
  shift 2
  for frame in $frames; do
    IFS=, read -r x0 y0 x1 y1 <<<"$frame"
    args+=(-draw "rectangle $((x0 + dx)),$((y0 + dy)) $((x1 + dx)),$((y1 + dy))")
  done
  args+=(-stroke none -fill '#e63946' -undercolor white)
  for label in "$@"; do
    IFS=, read -r x y text <<<"$label"
    args+=(-annotate "+$((x + dx))+$((y + dy))" "$text")
  done
  shoot /tmp/tesora-shot.png
  $convert /tmp/tesora-shot.png -font $font -pointsize 13 -fill none -strokewidth 2 -stroke '#e63946' \
    "${args[@]}" -strip "$out/$name"
}

# A click on the track bar's handle (levels 2 ... 9 along x = 8 ... 127) gives it the
# keyboard without moving it; each arrow key is then one level.
focus_level() { click $((8 + ($1 - 2) * 17)) 38; }
focus_level 9
for _ in 1 2 3; do
  xdotool key Left
  wait_title "Fertig!"
done
bx=$((8 + 144)) by=8     # the picture imgBild inside the crop, before the frame's shift
shoot /tmp/tesora-shot.png
# Nested squares from the top left: 65 smoothing values, then each level's details
# out to 129, 257 and 513; a legend below the second window.
lx=$((WIDTH + 20)) ly=$((by + 215))
bx=$((bx + dx)) by=$((by + dy)) lx=$((lx + 2 * dx + fr)) ly=$((ly + dy))
$convert /tmp/tesora-shot.png -font $font -pointsize 13 -fill none -strokewidth 2 \
  -stroke '#e63946' -draw "rectangle $bx,$by $((bx + 65)),$((by + 65))" \
  -stroke '#1d70b8' -draw "rectangle $bx,$by $((bx + 129)),$((by + 129))" \
  -stroke '#2a9d8f' -draw "rectangle $bx,$by $((bx + 257)),$((by + 257))" \
  -stroke none -fill '#e63946' -annotate +$lx+$ly 'rotes Quadrat: Glättungswerte Level 6 (65 × 65)' \
  -fill '#5fa8e8' -annotate +$lx+$((ly + 20)) 'bis zum blauen Rand: Details Level 6' \
  -fill '#2a9d8f' -annotate +$lx+$((ly + 40)) 'bis zum grünen Rand: Details Level 7' \
  -fill white -annotate +$lx+$((ly + 60)) 'außen: Details Level 8 (invertiert: 0 und negativ = weiß)' \
  -fill black -undercolor white -annotate +$((lx + 20))+$((by + 45)) ' Näherung auf Level 6 ' \
  -strip "$out/anleitung-zerlegt.png"

# "Reduce" with Epsilon 5.
click 64 124
sleep 1
shoot_marked anleitung-reduce.png "12,147,130,170 12,165,140,192" \
  "$((8 + 144 + 160)),38, rot: auf 0 gesetzte Details "

# Back up to level 9, then "Fehler?".
focus_level 6
for _ in 1 2 3; do
  xdotool key Right
  wait_title "Fertig!"
done
click 64 284
wait_title "Fertig!"
shoot_marked anleitung-fehler.png "12,306,130,330" \
  "$((8 + 144 + 10)),38, Level 9: rekonstruiert aus den reduzierten Koeffizienten " \
  "$((WIDTH + 40 + dx + fr)),53, Originalbild zum Vergleich "

# "Calc Delta": the difference picture and the proposal.
click 64 204
wait_title "Fertig!"
shoot_marked anleitung-calcdelta.png "12,62,140,100 12,228,140,264" \
  "$((WIDTH + 40 + dx + fr)),53, Differenzenbild (Titel bleibt Originalbild) "
rm -f /tmp/tesora-shot.png
echo "written: $out/anleitung-{zerlegt,reduce,fehler,calcdelta}.png"
