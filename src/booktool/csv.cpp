#include "booktool/csv.h"

namespace varnok::booktool::csv {
namespace {

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  std::optional<Problem> read(const RowVisitor& visit) {
    Row row;
    while (pos_ < text_.size()) {
      row.fields.clear();
      row.line = line_;
      if (auto problem = readRow(row)) return problem;
      if (!visit(row)) break;
    }
    return std::nullopt;
  }

 private:
  bool atEnd() const { return pos_ >= text_.size(); }
  char peek(std::size_t ahead = 0) const {
    return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
  }
  bool atLineEnd() const { return peek() == '\n' || (peek() == '\r' && peek(1) == '\n'); }
  void skipLineEnd() {
    pos_ += peek() == '\r' ? 2 : 1;
    ++line_;
  }

  // Reads one row and its line end; the problem of a malformed one.
  std::optional<Problem> readRow(Row& row) {
    for (;;) {
      Field field{{}, line_};
      const std::size_t column = row.fields.size() + 1;
      if (auto message = peek() == '"' ? readQuoted(field) : readPlain(field))
        return Problem{field.line, column, *message};
      row.fields.push_back(std::move(field));
      if (atEnd()) return std::nullopt;
      if (atLineEnd()) {
        skipLineEnd();
        return std::nullopt;
      }
      ++pos_;  // the comma; anything else was refused above
    }
  }

  std::optional<std::string> readPlain(Field& field) {
    const std::size_t start = pos_;
    while (!atEnd() && peek() != ',' && peek() != '\n') {
      if (peek() == '"') return "quote inside an unquoted value";
      if (peek() == '\r') {
        if (peek(1) == '\n') break;
        return "carriage return outside quotes";
      }
      ++pos_;
    }
    field.text.assign(text_.substr(start, pos_ - start));
    return std::nullopt;
  }

  std::optional<std::string> readQuoted(Field& field) {
    ++pos_;
    for (;;) {
      if (atEnd()) return "quoted value never closed";
      const char c = text_[pos_];
      if (c == '"') {
        if (peek(1) != '"') break;
        field.text += '"';
        pos_ += 2;
        continue;
      }
      if (c == '\n') ++line_;
      field.text += c;
      ++pos_;
    }
    ++pos_;  // the closing quote
    if (!atEnd() && peek() != ',' && !atLineEnd()) return "text after a closing quote";
    return std::nullopt;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  std::size_t line_ = 1;
};

}  // namespace

Parsed parse(std::string_view text) {
  Parsed parsed;
  parsed.problem = Reader(text).read([&parsed](const Row& row) {
    parsed.rows.push_back(row);
    return true;
  });
  return parsed;
}

std::optional<Problem> parse(std::string_view text, const RowVisitor& visit) {
  return Reader(text).read(visit);
}

void appendField(std::string& out, std::string_view value) {
  if (value.find_first_of("\",\r\n") == std::string_view::npos) {
    out += value;
    return;
  }
  out += '"';
  for (char c : value) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

}  // namespace varnok::booktool::csv
