// Comma-separated values as RFC 4180 describes them: the reading and the
// writing, with no knowledge of gun books.
// Ours rather than a library's: every refusal names its line and column.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnok::booktool::csv {

struct Field {
  std::string text;   // unquoted, doubled quotes made single
  std::size_t line;   // 1-based line of the file where the field starts
};

struct Row {
  std::vector<Field> fields;
  std::size_t line;   // where the row starts
};

// What makes a file unreadable: the line, the 1-based column (the field's
// place in its row) and a short message.
struct Problem {
  std::size_t line;
  std::size_t column;
  std::string message;
};

struct Parsed {
  std::vector<Row> rows;  // every row before the problem, if there is one
  std::optional<Problem> problem;
};

// Reads rows ended by CR LF or LF; the last row's line end may be missing.
// Quoted fields may hold commas, quotes (doubled) and line ends. Refused: a
// quote inside an unquoted field, text after a closing quote, a quote never
// closed, a CR not followed by LF outside quotes.
Parsed parse(std::string_view text);

// The same reading, one row at a time, so that a large file never has all
// its rows in memory at once: `visit` gets each row before the problem, if
// there is one, and stops the reading by returning false. The problem, or
// nothing.
using RowVisitor = std::function<bool(const Row&)>;
std::optional<Problem> parse(std::string_view text, const RowVisitor& visit);

inline constexpr std::string_view kLineEnd = "\r\n";

// Appends one field, quoted only when it holds a quote, a comma, CR or LF.
void appendField(std::string& out, std::string_view value);

}  // namespace varnok::booktool::csv
