#include "tools/lsp/lsp_outline.h"

#include "platform/cp1252.h"
#include "platform/field_reader.h"
#include "platform/runtime_failure.h"

namespace tools::lsp {

namespace {

bool is_heading(std::string_view field) {
  const size_t open = field.find('[');
  return open != std::string_view::npos && field.find(']', open) != std::string_view::npos;
}

class Walk {
 public:
  Walk(std::string_view text, DescriptionKind kind)
      : in_(std::string(text)), lines_(text_lines(text)), kind_(kind) {}

  Outline run() {
    try {
      rows();
    } catch (const platform::RuntimeFailure&) {
      // The reading ends here, as the compile's does.
    }
    return std::move(out_);
  }

 private:
  FieldSpan span(std::string text) {
    FieldSpan f;
    f.line = in_.line();
    f.column = in_.column();
    const std::string_view line =
        f.line >= 1 && static_cast<size_t>(f.line) <= lines_.size() ? lines_[f.line - 1] : "";
    f.width = field_width(line, f.column);
    f.text = std::move(text);
    return f;
  }

  void rows() {
    // The preamble.
    for (;;) {
      if (in_.at_end()) return;
      FieldSpan f = span(in_.read_text());
      if (platform::contains_nocase(f.text, "[generale]")) {
        out_.headings.push_back({f});
        break;
      }
    }
    model::RowSection section = kind_ == DescriptionKind::kRoute ? model::RowSection::kRouteGeneral
                                                                 : model::RowSection::kTrain;
    while (!in_.at_end()) {
      FieldSpan f = span(in_.read_text());
      // The last field of the text is never acted on.
      if (in_.at_end() && !is_heading(f.text)) return;
      // The minus-sign rule: a keyword field holding "-" is passed over.
      if (platform::contains(f.text, "-")) continue;
      if (is_heading(f.text)) {
        out_.headings.push_back({f});
        if (section == model::RowSection::kRouteGeneral) section = model::RowSection::kRouteBody;
        continue;
      }
      const model::RowLayout* layout = model::row_for(f.text, section);
      if (layout == nullptr) continue;
      OutlineRow row;
      row.layout = layout;
      row.keyword = std::move(f);
      out_.rows.push_back(std::move(row));
      OutlineRow& r = out_.rows.back();
      for (const model::FieldLayout& field : layout->fields) {
        if (field.kind == model::FieldKind::kText) {
          r.fields.push_back(span(in_.read_text()));
        } else {
          // The place of a number that fails to read is kept too.
          try {
            const int32_t n = in_.read_number();
            FieldSpan s = span(std::to_string(n));
            s.number = n;
            r.fields.push_back(std::move(s));
          } catch (const platform::RuntimeFailure&) {
            r.fields.push_back(span(""));
            throw;
          }
        }
      }
    }
  }

  platform::FieldReader in_;
  std::vector<std::string_view> lines_;
  DescriptionKind kind_;
  Outline out_;
};

}  // namespace

std::vector<std::string_view> text_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      lines.push_back(text.substr(start, i - start));
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  lines.push_back(text.substr(start));
  return lines;
}

int field_width(std::string_view line, int column) {
  if (column < 1 || static_cast<size_t>(column) > line.size()) return 1;
  const std::string_view rest = line.substr(static_cast<size_t>(column) - 1);
  size_t end = 0;
  if (!rest.empty() && rest.front() == '"') {
    const size_t close = rest.find('"', 1);
    end = close == std::string_view::npos ? rest.size() : close + 1;
  } else {
    end = std::min(rest.find(','), rest.size());
    while (end > 0 && (rest[end - 1] == ' ' || rest[end - 1] == '\t')) --end;
  }
  return std::max<int>(1, static_cast<int>(end));
}

Outline outline_of(std::string_view cp1252, DescriptionKind kind) {
  return Walk(cp1252, kind).run();
}

std::optional<model::RowSection> section_at(std::string_view cp1252, DescriptionKind kind,
                                            int line) {
  const std::vector<std::string_view> lines = text_lines(cp1252);
  bool general_seen = false;
  std::optional<model::RowSection> section;
  for (int i = 0; i < line && static_cast<size_t>(i) < lines.size(); ++i) {
    const std::string_view l = lines[static_cast<size_t>(i)];
    if (!is_heading(l)) continue;
    if (!general_seen) {
      if (!platform::contains_nocase(l, "[generale]")) continue;
      general_seen = true;
      section = kind == DescriptionKind::kRoute ? model::RowSection::kRouteGeneral
                                                : model::RowSection::kTrain;
    } else if (kind == DescriptionKind::kRoute) {
      section = model::RowSection::kRouteBody;
    }
  }
  return section;
}

}  // namespace tools::lsp
