#include "tools/decompile/row_diff.h"

#include <string_view>
#include <utility>

#include "compiled/compiled_set.h"
#include "tools/decompile/decompile.h"
#include "tools/decompile/decompile_command.h"
#include "tools/decompile/row_changes.h"
#include "tools/report/diff.h"

namespace decompile {

namespace {

// `text` without its curve rows (CR LF lines whose keyword starts "curva").
std::string without_curves(const std::string& text) {
  std::string out;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find("\r\n", at);
    end = end == std::string::npos ? text.size() : end + 2;
    const std::string_view line(text.data() + at, end - at);
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos || line.substr(first).rfind("curva", 0) != 0)
      out.append(line);
    at = end;
  }
  return out;
}

Decompiled decompiled(tools::DiffSide& side) {
  try {
    const CompiledBytes bytes = set_bytes(side.path, side.set, std::move(side.bytes));
    return decompile_set(bytes, side.set.station->content, side.set.track->content,
                         side.set.line ? &side.set.line->content : nullptr);
  } catch (const tools::BadFile& e) {
    throw tools::ToolError(side.path + ": " + e.what());
  }
}

}  // namespace

RowDiff diff_rows(platform::FileSystem& fs, const std::string& a, const std::string& b) {
  RowDiff d;
  d.a_path = a;
  d.b_path = b;
  // The same refusals and the same verdict as the comparison of cells, from
  // one reading of each set that the decompiling shares.
  tools::DiffSide sa = tools::load_diff_side(fs, a);
  tools::DiffSide sb = tools::load_diff_side(fs, b);
  d.identical = tools::same_files(sa, sb);
  if (d.identical) return d;

  const Decompiled da = decompiled(sa);
  const Decompiled db = decompiled(sb);
  std::string a_route = da.route_text, b_route = db.route_text;
  if (da.curves != db.curves) {
    // One side's curves are unknown: the other's would all show as added
    // or removed.
    a_route = without_curves(a_route);
    b_route = without_curves(b_route);
    d.notes.push_back((da.curves ? b : a) +
                      " was compiled without its line file: curves are not compared");
  } else if (!da.curves) {
    d.notes.push_back("both were compiled without their line files: curves are not compared");
  }
  d.changes = row_changes(a_route, da.train_text, b_route, db.train_text);
  for (const auto& [path, one] : {std::pair{&a, &da}, std::pair{&b, &db}}) {
    if (!one->exact)
      d.notes.push_back("the rows of " + *path +
                        " do not compile back to its files exactly: diff --cells shows every "
                        "difference");
  }
  if (d.changes.empty())
    d.notes.push_back(
        "the rows are the same, the compiled files are not: diff --cells shows "
        "where they differ");
  return d;
}

void print_row_diff(const RowDiff& d, std::ostream& out) {
  if (d.identical) {
    out << "no difference: " << d.a_path << " and " << d.b_path
        << " hold the same compiled files\n";
    return;
  }
  for (const auto& [heading, lines] :
       {std::pair{"rows", &d.changes}, std::pair{"notes", &d.notes}}) {
    if (lines->empty()) continue;
    out << heading << "\n";
    for (const std::string& l : *lines) out << "  " << l << "\n";
  }
}

nlohmann::ordered_json row_diff_json(const RowDiff& d) {
  nlohmann::ordered_json j;
  j["a"] = d.a_path;
  j["b"] = d.b_path;
  j["identical"] = d.identical;
  j["rows"] = d.changes;
  j["notes"] = d.notes;
  return j;
}

}  // namespace decompile
