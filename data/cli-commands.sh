#!/bin/sh
# Writes the help of every tesora-cli command as a section of its manual page, so the
# page lists every option of every command as the program itself does.
# Usage: cli-commands.sh TESORA_CLI OUTPUT
set -eu
cli=$1 out=$2
{
  echo "[BEFEHLE]"
  for command in info filters compress propose sweep; do
    echo ".SS $command"
    echo ".nf"
    "$cli" "$command" --help | sed -e 's/\\/\\e/g' -e 's/^\./\\\&./' -e 's/^-/\\-/'
    echo ".fi"
  done
} > "$out"
