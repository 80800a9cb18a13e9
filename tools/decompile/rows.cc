#include "tools/decompile/rows.h"

#include <algorithm>
#include <map>
#include <utility>

namespace decompile {

std::string km_note(int64_t position) {
  if (position < 0) return {};
  std::string metres = std::to_string(position % 1000);
  metres.insert(0, 3 - metres.size(), '0');
  return "km " + std::to_string(position / 1000) + "+" + metres;
}

void RowWriter::heading(std::string text) {
  Line line;
  line.heading = true;
  line.keyword = std::move(text);
  lines_.push_back(std::move(line));
}

void RowWriter::row(std::string keyword, std::initializer_list<int64_t> values, int64_t position,
                    std::string note) {
  Line line;
  line.keyword = std::move(keyword);
  for (int64_t v : values) line.cells.push_back(std::to_string(v));
  line.note = note.empty() ? km_note(position) : std::move(note);
  lines_.push_back(std::move(line));
  ++rows_;
}

void RowWriter::sign_row(int64_t position, std::string text) {
  Line line;
  line.keyword = "cartello_indicatore";
  line.cells = {std::to_string(position), std::move(text)};
  lines_.push_back(std::move(line));
  ++rows_;
}

void RowWriter::station_row(std::initializer_list<int64_t> values, std::string name) {
  Line line;
  line.keyword = "stazione";
  for (int64_t v : values) line.cells.push_back(std::to_string(v));
  line.cells.push_back(std::move(name));
  lines_.push_back(std::move(line));
  ++rows_;
}

void RowWriter::clock_row(int64_t hours, int64_t minutes, int64_t seconds) {
  Line line;
  line.keyword = "orologio";
  line.cells = {std::to_string(hours), std::to_string(minutes), std::to_string(seconds)};
  line.separator = "  ";
  lines_.push_back(std::move(line));
  ++rows_;
}

std::string RowWriter::text() const {
  // Column widths per keyword, over the whole text; keyword width per run
  // of rows between two headings.
  std::map<std::string, std::vector<size_t>> widths;
  for (const Line& l : lines_) {
    if (l.heading) continue;
    std::vector<size_t>& w = widths[l.keyword];
    // The last cell of a sign or station row is its text: not padded.
    const bool text_last = l.keyword == "cartello_indicatore" || l.keyword == "stazione";
    const size_t padded = text_last ? l.cells.size() - 1 : l.cells.size();
    if (w.size() < padded) w.resize(padded, 0);
    for (size_t i = 0; i < padded; ++i) w[i] = std::max(w[i], l.cells[i].size());
  }
  std::string out;
  size_t i = 0;
  while (i < lines_.size()) {
    if (lines_[i].heading) {
      out += lines_[i].keyword;
      out += "\r\n";
      ++i;
      continue;
    }
    size_t j = i;
    size_t keyword_width = 0;
    while (j < lines_.size() && !lines_[j].heading) {
      keyword_width = std::max(keyword_width, lines_[j].keyword.size());
      ++j;
    }
    for (; i < j; ++i) {
      const Line& l = lines_[i];
      const std::vector<size_t>& w = widths[l.keyword];
      std::string line = l.keyword + ",";
      line.append(keyword_width - l.keyword.size(), ' ');
      for (size_t c = 0; c < l.cells.size(); ++c) {
        line += c == 0 ? " " : l.separator;
        const std::string& cell = l.cells[c];
        if (c < w.size()) line.append(w[c] - cell.size(), ' ');
        line += cell;
      }
      if (!l.note.empty()) {
        line += "   ";
        line += l.note;
      }
      out += line;
      out += "\r\n";
    }
  }
  return out;
}

}  // namespace decompile
