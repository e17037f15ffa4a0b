// A printed document of pages laid out as a book: every page has the same
// header and footer ("page N of M"), a section's title, and, for a table,
// its column headings repeated at the top of each of its pages. Text wraps
// within its cell (long words too), so nothing is cut or overlaps; a row
// never splits across pages. Made with Cairo (PDF) and Pango (text layout):
// no display is needed.
#pragma once

#include <string>
#include <vector>

#include "pack/pack.h"

namespace varnok::pack {

enum class Style { Title, Heading, Text, Strong, Cell };

struct Row {
  std::vector<std::string> cells;  // UTF-8; '\n' breaks a line
  // Each cell's share of the text width; empty: the section's columns.
  std::vector<double> widths;
  Style style = Style::Cell;
  double spaceBefore = 0;  // points
  bool ruled = false;      // a thin line under it
};

struct Section {
  std::string title;  // under the header on each of its pages
  // A table's columns: headings repeated on each page, each column's share
  // of the width, and the columns made as wide as their widest cell (so an
  // identifier never breaks), the rest sharing what is left.
  std::vector<std::string> headings;
  std::vector<double> widths;
  std::vector<bool> fitted;
  std::vector<Row> rows;
};

struct Document {
  std::string headerLeft, headerRight, footer;
  std::vector<Section> sections;  // each begins on a new page
};

// The PDF's bytes, landscape on `paper`. Throws std::runtime_error when
// Cairo cannot make it.
std::string renderPdf(const Document& document, Paper paper);

}  // namespace varnok::pack
