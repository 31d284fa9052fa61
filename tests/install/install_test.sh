#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks it.
#   copy BUILD SOURCE VERSION  the installed programs run from a copy far from the source
#                              and build trees, and find their example pictures there
#   desktop BUILD              menu entry, AppStream metadata and manual pages validate; the
#                              pages fit 80 columns and describe every tesora-cli command
#   nodisplay BUILD SOURCE     without a display, tesora and `make run` say so in one line
set -euo pipefail
mode=$1 build=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
[[ $mode == nodisplay ]] || cmake --install "$build" --prefix "$work/prefix" >/dev/null
fail() { echo "FAIL: $*" >&2; exit 1; }

case $mode in
copy)
  source=$3 version=$4
  # Moved away: nothing of the build survives but the copy, and the source tree is not
  # above it, so only what the copy holds can be found.
  mv "$work/prefix" "$work/moved"
  root=$(cd "$work/moved" && pwd -P)
  for f in bin/tesora bin/tesora-cli share/tesora/samples/camera-512.bmp \
           share/applications/org.tesora.Tesora.desktop share/metainfo/org.tesora.Tesora.metainfo.xml \
           share/icons/hicolor/scalable/apps/tesora.svg share/man/man1/tesora.1.gz share/man/man1/tesora-cli.1.gz \
           share/icons/hicolor/{16x16,32x32,48x48,128x128,256x256}/apps/tesora.png \
           share/doc/tesora/copyright share/doc/tesora/changelog.gz share/doc/tesora/anleitung.md; do
    [[ -f $root/$f ]] || fail "not installed: $f"
  done
  # Every picture the guide shows is installed beside it.
  for picture in $(grep -o '([a-z-]*\.png)' "$root/share/doc/tesora/anleitung.md" | tr -d '()'); do
    [[ -f $root/share/doc/tesora/$picture ]] || fail "the guide's picture is not installed: $picture"
  done
  # The manual pages give every option of every command, the exit status and the guide.
  zcat "$root/share/man/man1/tesora-cli.1.gz" | grep -q -- 'reconstruction' || fail "man page lacks compress options"
  zcat "$root/share/man/man1/tesora-cli.1.gz" | grep -q 'EXIT' || fail "man page lacks the exit status"
  zcat "$root/share/man/man1/tesora.1.gz" | grep -q 'anleitung.md' || fail "man page does not name the guide"
  if grep -qaF "$source" "$root/bin/tesora" "$root/bin/tesora-cli"; then fail "a build path is compiled in"; fi

  samples=$("$root/bin/tesora" --samples-folder)
  [[ $samples == "$root/share/tesora/samples" ]] || fail "samples folder: $samples"
  [[ $("$root/bin/tesora" --version) == "tesora $version" ]] || fail "tesora --version"
  [[ $("$root/bin/tesora-cli" --version) == "tesora-cli $version" ]] || fail "tesora-cli --version"
  "$root/bin/tesora-cli" info "$samples/camera-512.bmp" | grep -q "512 x 512" || fail "tesora-cli info"
  # The Python module, where the build has one: imported from the copy alone.
  module=$(ls -d "$root"/lib/python3*/dist-packages/tesora 2>/dev/null || true)
  if [[ -f $build/python/tesora/__init__.py ]]; then
    [[ -n $module && -f $module/__init__.pyi ]] || fail "the Python module is not installed"
    (cd "$work" && PYTHONPATH=$(dirname "$module") /usr/bin/python3 -c "
import sys, tesora
assert tesora.__file__.startswith(sys.argv[1]), tesora.__file__
assert tesora.read_picture(sys.argv[2]).shape == (512, 512)
" "$root" "$samples/camera-512.bmp") || fail "the installed Python module"
  fi

  # Without its data folder the copy finds none, rather than a path from the build.
  rm -r "$root/share/tesora"
  if "$root/bin/tesora" --samples-folder 2>/dev/null; then fail "samples found without the data folder"; fi
  ;;
desktop)
  share=$work/prefix/share
  desktop-file-validate "$share/applications/org.tesora.Tesora.desktop"
  appstreamcli validate --no-net --pedantic "$share/metainfo/org.tesora.Tesora.metainfo.xml"
  for page in "$share"/man/man1/tesora.1.gz "$share"/man/man1/tesora-cli.1.gz; do
    warnings=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$page" 2>&1 >/dev/null)
    [[ -z $warnings ]] || fail "$page: $warnings"
    text=$(MANWIDTH=80 LC_ALL=C.UTF-8 man -l "$page" 2>/dev/null)
    [[ $text == *--help* ]] || fail "$page has no options"
    [[ $text != *Ã* ]] || fail "$page: text encoded twice"
    # Columns, not bytes: an umlaut is one column.
    width=$(LC_ALL=C.UTF-8 wc -L <<<"$text")
    ((width <= 80)) || fail "$page: $width columns wide at MANWIDTH=80"
  done
  # Every command the overview lists has its section.
  commands=$("$work/prefix/bin/tesora-cli" --help | awk '/^Befehle:/ { on = 1; next } on && /^$/ { exit } on { print $1 }')
  for command in $commands; do
    zcat "$share/man/man1/tesora-cli.1.gz" | grep -q "^\.SS $command\$" || fail "man tesora-cli lacks $command"
  done
  ;;
nodisplay)
  source=$3
  headless=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u MAKEFLAGS -u MFLAGS -u MAKELEVEL)
  status=0
  "${headless[@]}" "$build/app/tesora" >"$work/out" 2>"$work/err" || status=$?
  [[ $status == 1 ]] || fail "tesora without a display: status $status"
  [[ ! -s $work/out && $(wc -l <"$work/err") == 1 ]] || fail "tesora: $(cat "$work/out" "$work/err")"
  grep -q "tesora-cli" "$work/err" || fail "tesora names no way on"
  "${headless[@]}" make -s -C "$source" run >"$work/out" 2>&1 || fail "make run: $(cat "$work/out")"
  [[ $(wc -l <"$work/out") == 1 ]] && grep -q "make test" "$work/out" || fail "make run: $(cat "$work/out")"
  ;;
*) fail "unknown mode $mode" ;;
esac
echo "install $mode: ok"
