# What changed in a book between two of its CSV exports, field by field:
#
#   awk -v label="Old gun book" -f scripts/what-changed.awk BEFORE.csv AFTER.csv
#
# Prints how many entries each export holds, how many were removed and how
# many rewritten, and for the first few rewritten entries (in stock-number
# order) each field that changed, by name. Reads the exports as `book export`
# writes them: RFC 4180, CRLF line ends, quoted values that may hold commas,
# quotes and line breaks.

BEGIN { examples = 2; file = 0 }

FNR == 1 { ++file; pending = "" }

{
  sub(/\r$/, "")
  record = pending == "" ? $0 : pending "\n" $0
  # A record goes on to the next line while one of its quotes is open.
  if (quotes(record) % 2 == 1) { pending = record; next }
  pending = ""
  n = split_csv(record, field)
  if (file == 1 && FNR == 1) {
    for (i = 1; i <= n; ++i) name[i] = field[i]
    columns = n
    next
  }
  if (FNR == 1) next
  key = field[1]
  if (file == 1) {
    ++count_before
    for (i = 1; i <= n; ++i) before[key, i] = field[i]
    in_before[key] = 1
  } else {
    ++count_after
    for (i = 1; i <= n; ++i) after[key, i] = field[i]
    if (key in in_before) kept[++kept_count] = key
  }
}

END {
  rewritten = 0
  for (k = 1; k <= kept_count; ++k) {
    key = kept[k]
    for (i = 1; i <= columns; ++i)
      if (before[key, i] != after[key, i]) { changed[++rewritten] = key; break }
  }
  printf "%s: %d entries before, %d after; %d removed, %d rewritten\n", label, \
    count_before, count_after, count_before - kept_count, rewritten
  for (e = 1; e <= rewritten && e <= examples; ++e) {
    key = changed[e]
    print "  entry " key ":"
    for (i = 1; i <= columns; ++i)
      if (before[key, i] != after[key, i])
        printf "    %-14s %s -> %s\n", name[i], shown(before[key, i]), shown(after[key, i])
  }
}

function quotes(text,    copy) { copy = text; return gsub(/"/, "", copy) }

function shown(value) {
  if (value == "") return "(blank)"
  gsub(/\n/, "\\n", value)
  return "\"" value "\""
}

# Splits one CSV record into parts[1..n] and returns n.
function split_csv(text, parts,    n, i, c, value, quoted, size) {
  n = 0; value = ""; quoted = 0; size = length(text)
  for (i = 1; i <= size; ++i) {
    c = substr(text, i, 1)
    if (quoted) {
      if (c != "\"") value = value c
      else if (substr(text, i + 1, 1) == "\"") { value = value c; ++i }
      else quoted = 0
    } else if (c == "\"") quoted = 1
    else if (c == ",") { parts[++n] = value; value = "" }
    else value = value c
  }
  parts[++n] = value
  return n
}
