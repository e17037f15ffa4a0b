#!/bin/sh
# Writes varnok-cli's man page from the program's own help:
#   make-cli-page.sh VARNOK_CLI HAND_WRITTEN.h2m OUTPUT.1
# help2man makes the page from `varnok-cli --help` and `--version`; every
# command's --help becomes a part of its COMMANDS section; the hand-written
# include adds what no --help says (exit status, examples, files).
set -eu
cli=$1 hand=$2 out=$3
here=$(dirname "$0")
include="$out.h2m"

# The commands: every subcommand, and theirs, in the order --help lists them.
commands() {
  "$cli" $1 --help | awk '/^Subcommands:/ { on = 1; next } on && /^  [^ ]/ { print $1 }' |
    while read -r name; do
      echo "$1 $name"
      commands "$1 $name"
    done
}

{
  echo "[COMMANDS]"
  for command in $(commands "" | sed 's/^ //; s/ /:/g'); do
    words=$(echo "$command" | tr : ' ')
    "$cli" $words --help | LC_ALL=C awk -f "$here/command-sections.awk"
  done
  cat "$hand"
} >"$include"

help2man --no-info --no-discard-stderr --section 1 --source Varnok \
  --name "convert a store's gun books at a change of firearms licence" \
  --include "$include" --output "$out" "$cli"
rm -f "$include"
