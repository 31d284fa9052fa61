#!/usr/bin/env bash
# The real program under a virtual display with a window manager: after opening a
# picture, after a level change and after a click into the main window, "Reduziertes
# Bild" lies above the main window, both lie on the screen, and it covers neither the
# main window's title bar nor its controls.
# Usage: stacking_test.sh TESORA [WIDTHxHEIGHT ...]   (default: three classroom screens)
# With SHOTS=FOLDER it leaves a screenshot of every step there (needs ImageMagick).
# Exit status 77 (skipped) only when the display tools are not installed.
set -euo pipefail
tesora=$1
shift
screens=("$@")
[[ ${#screens[@]} -gt 0 ]] || screens=(1280x800 1024x600 1366x768)
for tool in Xvfb openbox xdotool xprop xwininfo python3; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/install-deps.sh)"; exit 77; }
done
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# A photograph scaled to the largest width the program takes, and a smaller one.
python3 - "$work" <<'EOF'
import struct, sys
def bmp(path, w, h):
    row = (3 * w + 3) // 4 * 4
    pixels = bytearray()
    for y in range(h):
        line = bytearray()
        for x in range(w):
            v = (x * 255 // w + y * 255 // h) // 2
            line += bytes((v, v, v))
        pixels += line + bytes(row - 3 * w)
    header = struct.pack('<2sIHHI', b'BM', 54 + len(pixels), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    open(path, 'wb').write(header + info + pixels)
bmp(sys.argv[1] + '/photo-1025x769.bmp', 1025, 769)
bmp(sys.argv[1] + '/photo-800x600.bmp', 800, 600)
EOF

# Waits up to ten seconds for a command to succeed.
await() {
  for _ in $(seq 100); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}
window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }
# Outer rectangle (frame included) of a client window: "left top right bottom", inclusive.
outer() {
  local x y w h fl fr ft fb
  x=$(xwininfo -id "$1" | sed -n 's/.*Absolute upper-left X: *//p')
  y=$(xwininfo -id "$1" | sed -n 's/.*Absolute upper-left Y: *//p')
  w=$(xwininfo -id "$1" | sed -n 's/.*Width: *//p')
  h=$(xwininfo -id "$1" | sed -n 's/.*Height: *//p')
  IFS=', ' read -r fl fr ft fb < <(xprop -id "$1" _NET_FRAME_EXTENTS | sed 's/.*= //')
  echo "$((x - fl)) $((y - ft)) $((x + w + fr - 1)) $((y + h + fb - 1)) $x $y $w $h $ft"
}
overlap() { (($1 <= $7 && $5 <= $3 && $2 <= $8 && $6 <= $4)); }
# Position (bottom = 0) of a window in the window manager's stacking order.
stacked() {
  local id i=0
  for id in $(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,/ /g'); do
    [[ $((id)) == "$1" ]] && { echo "$i"; return; }
    i=$((i + 1))
  done
  echo -1
}
check() {
  local where=$1 ml mt mr mb mx my mw mh mft rl rt rr rb
  read -r ml mt mr mb mx my mw mh mft <<<"$(outer "$main_id")"
  read -r rl rt rr rb _ <<<"$(outer "$reduced_id")"
  [[ -n ${SHOTS:-} ]] && import -window root "$SHOTS/stacking-$where.png"
  (($(stacked "$reduced_id") > $(stacked "$main_id"))) || fail "$where: Reduziertes Bild is below the main window"
  ((ml >= 0 && mt >= 0 && mr < sw && mb < sh)) || fail "$where: main window off the screen ($ml $mt $mr $mb)"
  ((rl >= 0 && rt >= 0 && rr < sw && rb < sh)) || fail "$where: Reduziertes Bild off the screen ($rl $rt $rr $rb)"
  # Title bar, the column of controls left of the picture, the row of buttons under it.
  ! overlap "$rl" "$rt" "$rr" "$rb" "$ml" "$mt" "$mr" "$((my - 1))" || fail "$where: covers the title bar"
  ! overlap "$rl" "$rt" "$rr" "$rb" "$ml" "$mt" "$((mx + 137))" "$mb" || fail "$where: covers the controls"
  ! overlap "$rl" "$rt" "$rr" "$rb" "$ml" "$((my + mh - 49))" "$mr" "$mb" || fail "$where: covers the buttons"
}
await_title() {  # the main window's caption is the status line
  for _ in $(seq 300); do [[ $(xdotool getwindowname "$main_id") == "$1" ]] && return 0; sleep 0.1; done
  fail "caption \"$1\" never came ($(xdotool getwindowname "$main_id"))"
}

for screen in "${screens[@]}"; do
  sw=${screen%x*} sh=${screen#*x}
  Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp 3>"$work/display" 2>/dev/null &
  pids+=($!)
  await test -s "$work/display" || fail "Xvfb did not start"
  export DISPLAY=:$(cat "$work/display")
  openbox >/dev/null 2>&1 &
  pids+=($!)
  await sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' || fail "openbox did not start"
  for picture in photo-1025x769 photo-800x600; do
    QT_QPA_PLATFORM=xcb "$tesora" "$work/$picture.bmp" >/dev/null 2>&1 &
    program=$!
    pids+=("$program")
    await window '^Reduziertes Bild$' || fail "$screen $picture: no reduced-picture window"
    main_id=$(window '^Level: ')
    reduced_id=$(window '^Reduziertes Bild$')
    [[ -n $main_id ]] || fail "$screen $picture: the main window does not show the picture's level"
    sleep 0.5  # the window manager has placed and framed both
    check "$screen-$picture-opened"
    # A click on the track bar's left end: one level down.
    read -r _ _ _ _ mx my _ _ _ <<<"$(outer "$main_id")"
    xdotool mousemove $((mx + 4)) $((my + 40)) click 1
    await_title "Fertig!"
    sleep 0.3
    check "$screen-$picture-level"
    # A click on the column of controls brings the main window to the front.
    xdotool mousemove $((mx + 100)) $((my + 10)) click 1
    sleep 0.5
    check "$screen-$picture-clicked"
    kill "$program"
    wait "$program" 2>/dev/null || true
  done
  kill "${pids[@]}" 2>/dev/null || true
  wait 2>/dev/null || true
  pids=()
  echo "$screen: ok"
done
