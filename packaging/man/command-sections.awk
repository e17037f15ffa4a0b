# Turns the --help of one varnok-cli command (as CLI11 writes it) into a man
# page section for help2man's include file: the usage as a subheading, the
# description, then each option or positional as a tagged paragraph.

function roff(text) {
  gsub(/\\/, "\\e", text)
  gsub(/-/, "\\-", text)
  if (text ~ /^[.']/) text = "\\&" text
  return text
}

NR == 1 { description = $0; next }
/^Usage: / {
  sub(/^Usage: /, "")
  sub(/ \[OPTIONS\]/, "")
  sub(/ SUBCOMMAND$/, "")
  print ".SS \"" roff($0) "\""
  print roff(description)
  next
}
/^$/ { next }
/^[^ ].*:$/ {
  group = $0
  sub(/:$/, "", group)
  if (group != "Subcommands" && group != "Options") print ".PP\n\\fI" roff(group) "\\fR"
  next
}
group == "Subcommands" { next }
/^  [^ ]/ {
  line = substr($0, 3)
  name = line; text = ""
  if (match(line, /   */)) { name = substr(line, 1, RSTART - 1); text = substr(line, RSTART + RLENGTH) }
  skipping = name ~ /^-h,--help/
  if (skipping) next
  print ".TP\n\\fB" roff(name) "\\fR"
  if (text != "") print roff(text)
  next
}
/^   / {
  if (skipping) next
  text = $0
  sub(/^ +/, "", text)
  print roff(text)
}
