#!/bin/sh
# Writes the help of every tesora-cli command as a section of its manual page, so the
# page describes every command and option as the program itself does. The commands are
# those the overview lists; the text is filled by man, so the page fits any width.
# Usage: cli-commands.sh TESORA_CLI OUTPUT
set -eu
cli=$1 out=$2
commands=$("$cli" --help | awk '/^Befehle:/ { on = 1; next } on && /^$/ { exit } on { print $1 }')
[ -n "$commands" ] || { echo "cli-commands.sh: no commands in tesora-cli --help" >&2; exit 1; }
{
  echo "[BEFEHLE]"
  for command in $commands; do
    echo ".SS $command"
    # Qt's help: usage line, description, then "Optionen:" and "Argumente:" with one
    # entry per line (name, two or more blanks, text) and continuation lines indented.
    "$cli" "$command" --help | awk -v command="$command" '
      function text(s) {
        gsub(/\\/, "\\e", s); gsub(/--/, "\\-\\-", s)
        if (s ~ /^[.'"'"']/) s = "\\&" s
        return s
      }
      function term(s) { gsub(/\\/, "\\e", s); gsub(/-/, "\\-", s); return "\\fB" s "\\fR" }
      NR == 1 {
        sub("^Aufruf: tesora-cli " command " *", "")
        print ".PP"; print "Aufruf: \\fBtesora\\-cli " command "\\fR " text($0); print ".PP"; next
      }
      /^$/ { gap = 1; next }
      /^[^ ].*:$/ { list = 1; gap = 0; print ".PP"; print ".B " text($0); next }
      list && !gap && /^  [^ ]/ {
        line = $0; sub(/^ +/, "", line)
        if (match(line, /  +/)) { name = substr(line, 1, RSTART - 1); rest = substr(line, RSTART + RLENGTH) }
        else { name = line; rest = "" }
        print ".TP"; print term(name); if (rest != "") print text(rest); next
      }
      {
        if (gap) { print ".PP"; list = 0; gap = 0 }
        line = $0; sub(/^ +/, "", line); print text(line)
      }
    '
  done
} > "$out"
