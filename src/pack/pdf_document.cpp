#include "pack/pdf_document.h"

#include <cairo-pdf.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <map>
#include <tuple>
#include <memory>
#include <numeric>
#include <stdexcept>

namespace varnok::pack {
namespace {

constexpr double kMargin = 36;    // half an inch
constexpr double kPad = 2;        // around a cell's text
constexpr double kRule = 0.4;
constexpr double kHeaderShare = 0.72;  // of the width, the store's; the rest the date's

struct PageSize {
  double width, height;
};
PageSize landscape(Paper paper) {
  return paper == Paper::A4 ? PageSize{841.89, 595.28} : PageSize{792, 612};
}

struct Fonts {
  std::unique_ptr<PangoFontDescription, decltype(&pango_font_description_free)> title{
      pango_font_description_from_string("DejaVu Sans Bold 16"), pango_font_description_free};
  std::unique_ptr<PangoFontDescription, decltype(&pango_font_description_free)> heading{
      pango_font_description_from_string("DejaVu Sans Bold 12"), pango_font_description_free};
  std::unique_ptr<PangoFontDescription, decltype(&pango_font_description_free)> text{
      pango_font_description_from_string("DejaVu Sans 10"), pango_font_description_free};
  std::unique_ptr<PangoFontDescription, decltype(&pango_font_description_free)> strong{
      pango_font_description_from_string("DejaVu Sans Bold 10"), pango_font_description_free};
  std::unique_ptr<PangoFontDescription, decltype(&pango_font_description_free)> cell{
      pango_font_description_from_string("DejaVu Sans 7.5"), pango_font_description_free};
  std::unique_ptr<PangoFontDescription, decltype(&pango_font_description_free)> cellBold{
      pango_font_description_from_string("DejaVu Sans Bold 7.5"), pango_font_description_free};

  const PangoFontDescription* of(Style style) const {
    switch (style) {
      case Style::Title: return title.get();
      case Style::Heading: return heading.get();
      case Style::Text: return text.get();
      case Style::Strong: return strong.get();
      case Style::Cell: break;
    }
    return cell.get();
  }
};

// A page: which rows of which section it holds.
struct Page {
  std::size_t section, first, end;
};

class Renderer {
 public:
  Renderer(cairo_t* cr, PageSize size) : cr_(cr), size_(size), layout_(pango_cairo_create_layout(cr)) {
    // Sizes are in points, as the PDF's own units are.
    pango_cairo_context_set_resolution(pango_layout_get_context(layout_), 72);
    pango_layout_context_changed(layout_);
    pango_layout_set_wrap(layout_, PANGO_WRAP_WORD_CHAR);
    // A word broken at a line's end gets no hyphen: a serial number must
    // read as the book holds it.
    PangoAttrList* attributes = pango_attr_list_new();
    pango_attr_list_insert(attributes, pango_attr_insert_hyphens_new(FALSE));
    pango_layout_set_attributes(layout_, attributes);
    pango_attr_list_unref(attributes);
  }
  ~Renderer() {
    for (auto& [key, kept] : kept_) g_object_unref(kept);
    g_object_unref(layout_);
  }
  Renderer(const Renderer&) = delete;
  Renderer& operator=(const Renderer&) = delete;

  void render(const Document& document);

 private:
  double textWidth() const { return size_.width - 2 * kMargin; }
  // Lays out `text` in `width` points; returns its height.
  double layOut(const std::string& text, const PangoFontDescription* font, double width);
  double naturalWidth(const std::string& text, const PangoFontDescription* font);
  double longestWordWidth(const std::string& text, const PangoFontDescription* font);
  // A width no less than the text's on one line, from each character's
  // advance (laid out once per font and character), widened for kerning;
  // -1 for text with a line break or a character beyond the Latin letters.
  double widthAtMost(const std::string& text, const PangoFontDescription* font);
  double cellHeight(const std::string& text, const PangoFontDescription* font, double width);
  // The layout of a cell to draw: a short text that recurs (a make, a
  // type, a date, a remark) is shaped once and kept.
  PangoLayout* cellLayout(const std::string& text, const PangoFontDescription* font, double width);
  std::vector<double> columnWidths(const Section& section);
  std::vector<double> cellWidths(const Row& row, const std::vector<double>& columns) const;
  double rowHeight(const std::vector<std::string>& cells, const std::vector<double>& widths,
                   const PangoFontDescription* font);
  // Draws a row (of `height`, when known) and returns its height.
  double drawRow(const std::vector<std::string>& cells, const std::vector<double>& widths,
                 const PangoFontDescription* font, double y, bool shaded, bool ruled,
                 double height = -1);
  double drawFrame(const Document& document, const Section& section, std::size_t page,
                   std::size_t pages);
  double headerHeight(const Document& document, const Section& section);
  std::vector<Page> paginate(const Document& document);

  cairo_t* cr_;
  PageSize size_;
  PangoLayout* layout_;
  Fonts fonts_;
  std::vector<std::vector<double>> columns_;  // each section's column widths, in points
  std::vector<std::vector<double>> heights_;
  std::map<std::pair<const PangoFontDescription*, gunichar>, double> advances_;
  std::map<const PangoFontDescription*, double> lineHeights_;
  std::map<std::tuple<const PangoFontDescription*, int, PangoAlignment, std::string>, PangoLayout*>
      kept_;  // each section's rows' heights, once paginated
};

double Renderer::layOut(const std::string& text, const PangoFontDescription* font, double width) {
  pango_layout_set_font_description(layout_, font);
  pango_layout_set_width(layout_, static_cast<int>(std::max(width, 1.0) * PANGO_SCALE));
  pango_layout_set_text(layout_, text.data(), static_cast<int>(text.size()));
  int w = 0, h = 0;
  pango_layout_get_size(layout_, &w, &h);
  return static_cast<double>(h) / PANGO_SCALE;
}

double Renderer::naturalWidth(const std::string& text, const PangoFontDescription* font) {
  pango_layout_set_font_description(layout_, font);
  pango_layout_set_width(layout_, -1);
  pango_layout_set_text(layout_, text.data(), static_cast<int>(text.size()));
  int w = 0, h = 0;
  pango_layout_get_size(layout_, &w, &h);
  return static_cast<double>(w) / PANGO_SCALE + 2 * kPad + 0.5;
}

double Renderer::widthAtMost(const std::string& text, const PangoFontDescription* font) {
  constexpr gunichar kLastLatin = 0x024F;
  double width = 0;
  for (const char* at = text.c_str(); *at; at = g_utf8_next_char(at)) {
    const gunichar c = g_utf8_get_char(at);
    if (c == '\n' || c > kLastLatin) return -1;
    auto [advance, fresh] = advances_.try_emplace({font, c}, 0.0);
    if (fresh) {
      char one[8] = {};
      g_unichar_to_utf8(c, one);
      pango_layout_set_font_description(layout_, font);
      pango_layout_set_width(layout_, -1);
      pango_layout_set_text(layout_, one, -1);
      int w = 0, h = 0;
      pango_layout_get_size(layout_, &w, &h);
      advance->second = static_cast<double>(w) / PANGO_SCALE;
    }
    width += advance->second;
  }
  return width * 1.05 + 1;
}

// A cell whose text surely fits on one line is one line high: no need to
// shape it to know.
double Renderer::cellHeight(const std::string& text, const PangoFontDescription* font,
                            double width) {
  const double most = widthAtMost(text, font);
  if (most < 0 || most > width) return layOut(text, font, width);
  auto [line, fresh] = lineHeights_.try_emplace(font, 0.0);
  if (fresh) line->second = layOut("X", font, width);
  return line->second;
}

PangoLayout* Renderer::cellLayout(const std::string& text, const PangoFontDescription* font,
                                  double width) {
  constexpr std::size_t kShortText = 24, kMostKept = 4096;
  if (text.size() > kShortText) {
    layOut(text, font, width);
    return layout_;
  }
  const auto key = std::tuple{font, static_cast<int>(width * PANGO_SCALE),
                              pango_layout_get_alignment(layout_), text};
  if (const auto found = kept_.find(key); found != kept_.end()) return found->second;
  layOut(text, font, width);
  if (kept_.size() >= kMostKept) return layout_;
  PangoLayout* kept = pango_layout_copy(layout_);
  kept_.emplace(key, kept);
  return kept;
}

std::vector<double> Renderer::columnWidths(const Section& section) {
  const std::size_t n = section.widths.size();
  std::vector<double> widths(n, 0);
  double fixed = 0, shares = 0;
  for (std::size_t c = 0; c < n; ++c) {
    if (c < section.fitted.size() && section.fitted[c]) {
      for (const Row& row : section.rows)
        if (c < row.cells.size() && row.widths.empty()) {
          const double most = widthAtMost(row.cells[c], fonts_.of(row.style));
          widths[c] = std::max(widths[c], most < 0 ? naturalWidth(row.cells[c], fonts_.of(row.style))
                                                   : most + 2 * kPad);
        }
      fixed += widths[c];
    } else {
      shares += section.widths[c];
    }
  }
  // No heading breaks inside a word: a fitted column is as wide as its
  // heading's longest word, and a shared one gets at least that before the
  // rest of the width is shared out.
  std::vector<double> floors(n, 0);
  for (std::size_t c = 0; c < n && c < section.headings.size(); ++c)
    floors[c] = longestWordWidth(section.headings[c], fonts_.cellBold.get());
  for (std::size_t c = 0; c < n; ++c)
    if (widths[c] > 0 && widths[c] < floors[c]) fixed += floors[c] - widths[c], widths[c] = floors[c];
  double left = std::max(textWidth() - fixed, 0.0);
  for (std::size_t c = 0; c < n; ++c)
    if (widths[c] == 0 && shares > 0 && left * section.widths[c] / shares < floors[c]) {
      widths[c] = floors[c];
      left = std::max(left - floors[c], 0.0);
      shares -= section.widths[c];
    }
  for (std::size_t c = 0; c < n; ++c)
    if (widths[c] == 0) widths[c] = shares > 0 ? left * section.widths[c] / shares : 0;
  return widths;
}

double Renderer::longestWordWidth(const std::string& text, const PangoFontDescription* font) {
  double widest = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) widest = std::max(widest, naturalWidth(text.substr(start, end - start), font));
    start = end + 1;
  }
  return widest;
}

std::vector<double> Renderer::cellWidths(const Row& row, const std::vector<double>& columns) const {
  if (row.widths.empty()) return columns;
  std::vector<double> widths;
  for (double share : row.widths) widths.push_back(share * textWidth());
  return widths;
}

double Renderer::rowHeight(const std::vector<std::string>& cells,
                           const std::vector<double>& widths, const PangoFontDescription* font) {
  double height = 0;
  for (std::size_t c = 0; c < cells.size() && c < widths.size(); ++c)
    if (!cells[c].empty())
      height = std::max(height, cellHeight(cells[c], font, widths[c] - 2 * kPad));
  return height + 2 * kPad;
}

double Renderer::drawRow(const std::vector<std::string>& cells, const std::vector<double>& widths,
                         const PangoFontDescription* font, double y, bool shaded, bool ruled,
                         double height) {
  if (height < 0) height = rowHeight(cells, widths, font);
  const double total = std::accumulate(widths.begin(), widths.end(), 0.0);
  if (shaded) {
    cairo_set_source_rgb(cr_, 0.88, 0.88, 0.88);
    cairo_rectangle(cr_, kMargin, y, total, height);
    cairo_fill(cr_);
  }
  cairo_set_source_rgb(cr_, 0, 0, 0);
  double x = kMargin;
  for (std::size_t c = 0; c < cells.size() && c < widths.size(); ++c) {
    if (!cells[c].empty()) {
      PangoLayout* layout = cellLayout(cells[c], font, widths[c] - 2 * kPad);
      cairo_move_to(cr_, x + kPad, y + kPad);
      pango_cairo_show_layout(cr_, layout);
    }
    x += widths[c];
  }
  if (ruled) {
    cairo_set_source_rgb(cr_, 0.55, 0.55, 0.55);
    cairo_set_line_width(cr_, kRule);
    cairo_move_to(cr_, kMargin, y + height);
    cairo_line_to(cr_, kMargin + total, y + height);
    cairo_stroke(cr_);
    cairo_set_source_rgb(cr_, 0, 0, 0);
  }
  return height;
}

double Renderer::headerHeight(const Document& document, const Section& section) {
  double height = std::max(rowHeight({document.headerLeft}, {textWidth() * kHeaderShare},
                                     fonts_.strong.get()),
                           rowHeight({document.headerRight}, {textWidth() * (1 - kHeaderShare)},
                                     fonts_.text.get()));
  height += rowHeight({section.title}, {textWidth()}, fonts_.heading.get()) + 6;
  return height;
}

// The header, the section's title, the footer and the table's headings;
// returns where the body begins.
double Renderer::drawFrame(const Document& document, const Section& section, std::size_t page,
                           std::size_t pages) {
  const double leftWidth = textWidth() * kHeaderShare;
  double y = kMargin;
  const double left =
      drawRow({document.headerLeft}, {leftWidth}, fonts_.strong.get(), y, false, false);
  pango_layout_set_alignment(layout_, PANGO_ALIGN_RIGHT);
  cairo_save(cr_);
  cairo_translate(cr_, leftWidth, 0);
  const double right = drawRow({document.headerRight}, {textWidth() - leftWidth},
                               fonts_.text.get(), y, false, false);
  cairo_restore(cr_);
  y += std::max(left, right);
  pango_layout_set_alignment(layout_, PANGO_ALIGN_LEFT);
  y += drawRow({section.title}, {textWidth()}, fonts_.heading.get(), y, false, true) + 6;
  const double footerY = size_.height - kMargin + 6;
  drawRow({document.footer}, {textWidth() * 0.75}, fonts_.cell.get(), footerY, false, false);
  pango_layout_set_alignment(layout_, PANGO_ALIGN_RIGHT);
  const std::string number = "page " + std::to_string(page) + " of " + std::to_string(pages);
  cairo_save(cr_);
  cairo_translate(cr_, textWidth() * 0.75, 0);
  drawRow({number}, {textWidth() * 0.25}, fonts_.text.get(), footerY, false, false);
  cairo_restore(cr_);
  pango_layout_set_alignment(layout_, PANGO_ALIGN_LEFT);
  return y;
}

std::vector<Page> Renderer::paginate(const Document& document) {
  std::vector<Page> pages;
  const double bottom = size_.height - kMargin;
  for (std::size_t s = 0; s < document.sections.size(); ++s) {
    const Section& section = document.sections[s];
    const double top = kMargin + headerHeight(document, section) +
                       (section.headings.empty()
                            ? 0
                            : rowHeight(section.headings, columns_[s], fonts_.cellBold.get()));
    Page page{s, 0, 0};
    double y = top;
    std::vector<double>& heights = heights_.emplace_back();
    for (std::size_t r = 0; r < section.rows.size(); ++r) {
      const Row& row = section.rows[r];
      heights.push_back(rowHeight(row.cells, cellWidths(row, columns_[s]), fonts_.of(row.style)));
      const double height = row.spaceBefore + heights.back();
      if (y + height > bottom && page.end > page.first) {
        pages.push_back(page);
        page = Page{s, r, r};
        y = top;
      }
      y += height;
      page.end = r + 1;
    }
    pages.push_back(page);
  }
  return pages;
}

void Renderer::render(const Document& document) {
  for (const Section& section : document.sections) columns_.push_back(columnWidths(section));
  const std::vector<Page> pages = paginate(document);
  for (std::size_t p = 0; p < pages.size(); ++p) {
    const Section& section = document.sections[pages[p].section];
    const std::vector<double>& columns = columns_[pages[p].section];
    double y = drawFrame(document, section, p + 1, pages.size());
    if (!section.headings.empty())
      y += drawRow(section.headings, columns, fonts_.cellBold.get(), y, true, true);
    for (std::size_t r = pages[p].first; r < pages[p].end; ++r) {
      const Row& row = section.rows[r];
      y += row.spaceBefore;
      y += drawRow(row.cells, cellWidths(row, columns), fonts_.of(row.style), y, false, row.ruled,
                   heights_[pages[p].section][r]);
    }
    cairo_show_page(cr_);
  }
}

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

}  // namespace

std::string renderPdf(const Document& document, Paper paper) {
  const PageSize size = landscape(paper);
  std::string bytes;
  cairo_surface_t* surface =
      cairo_pdf_surface_create_for_stream(appendBytes, &bytes, size.width, size.height);
  cairo_t* cr = cairo_create(surface);
  {
    Renderer renderer(cr, size);
    renderer.render(document);
  }
  cairo_destroy(cr);
  cairo_surface_finish(surface);
  const cairo_status_t status = cairo_surface_status(surface);
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS)
    throw std::runtime_error(std::string("the PDF could not be made: ") +
                             cairo_status_to_string(status));
  return bytes;
}

}  // namespace varnok::pack
