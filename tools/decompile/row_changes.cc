#include "tools/decompile/row_changes.h"

#include <exception>
#include <map>
#include <optional>
#include <set>
#include <utility>

#include "model/description_rows.h"
#include "model/item_views.h"
#include "tools/decompile/rows.h"

namespace decompile {

namespace {

struct Row {
  std::string keyword;
  std::vector<std::string> fields;
};

std::string trimmed(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return std::string(s.substr(b, e - b));
}

// How many fields a row's keyword calls for when its last one is a text.
size_t text_row_fields(const std::string& keyword) {
  if (keyword == "cartello_indicatore") return 2;
  if (keyword == "stazione") return 17;
  return 0;
}

std::vector<Row> parse(const std::string& text) {
  std::vector<Row> rows;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find("\r\n", at);
    if (end == std::string::npos) end = text.size();
    const std::string_view line(text.data() + at, end - at);
    at = end + 2;
    if (line.empty() || line.front() == '[') continue;
    Row r;
    const size_t comma = line.find(',');
    r.keyword = trimmed(line.substr(0, comma));
    if (comma == std::string_view::npos) continue;
    const size_t texts = text_row_fields(r.keyword);
    size_t from = comma + 1;
    while (from <= line.size()) {
      if (texts != 0 && r.fields.size() + 1 == texts) {
        r.fields.push_back(trimmed(line.substr(from)));
        break;
      }
      size_t next = line.find(',', from);
      if (next == std::string_view::npos) next = line.size();
      std::string field = trimmed(line.substr(from, next - from));
      if (next == line.size() && texts == 0) {
        // The last number, without the kilometre note beside it.
        const size_t blank = field.find(' ');
        if (blank != std::string::npos) field.resize(blank);
      }
      r.fields.push_back(std::move(field));
      from = next + 1;
    }
    rows.push_back(std::move(r));
  }
  return rows;
}

// A field's number; 0 for a field that holds none.
int64_t number(const std::string& field) {
  try {
    return std::stoll(field);
  } catch (const std::exception&) {
    return 0;
  }
}

bool positioned(const std::string& keyword) {
  return keyword == "pendenza" || keyword == "velocita" || keyword == "aderenza" ||
         keyword == "segnale" || keyword == "rallentamento" || keyword == "abbattimento" ||
         keyword == "montagna" || keyword == "indicatori_vmax" ||
         keyword == "cartello_indicatore" || keyword.rfind("curva", 0) == 0;
}

bool movable(const std::string& keyword) {
  return keyword == "segnale" || keyword == "rallentamento" || keyword == "indicatori_vmax" ||
         keyword == "cartello_indicatore" || keyword == "abbattimento";
}

std::string label(const std::string& keyword) {
  static const std::map<std::string, std::string> kLabels = {
      {"pendenza", "gradient"},
      {"velocita", "speed limit"},
      {"aderenza", "adhesion"},
      {"segnale", "signal"},
      {"rallentamento", "slowdown"},
      {"abbattimento", "speed mark"},
      {"montagna", "mountain stretch"},
      {"indicatori_vmax", "maximum-speed indicator"},
      {"cartello_indicatore", "route sign"}};
  const auto it = kLabels.find(keyword);
  if (it != kLabels.end()) return it->second;
  if (keyword.rfind("curva", 0) == 0) return "curve";
  return keyword;
}

// "gradient from km 12+500", "signal at 36000 m".
std::string where(const Row& r) {
  const std::string& k = r.keyword;
  const int64_t p = r.fields.empty() ? 0 : number(r.fields[0]);
  if (k == "pendenza" || k == "velocita" || k == "aderenza")
    return label(k) + " from " + km_note(p);
  return label(k) + " at " + std::to_string(p) + " m";
}

std::string values(const Row& r, size_t from) {
  std::string s;
  for (size_t i = from; i < r.fields.size(); ++i) s += (i == from ? "" : ", ") + r.fields[i];
  return s;
}

// The name authors know a station field by: "flag (field 4)", "stop time".
std::string station_field_name(size_t field) {
  const model::RowLayout* station = model::row_for("stazione", model::RowSection::kTrain);
  if (station != nullptr && field < station->fields.size())
    return std::string(station->fields[field].name);
  return "field " + std::to_string(field + 1);
}

std::string station_change(const Row& a, const Row& b) {
  std::string out = "station " + b.fields.back() + ":";
  bool first = true;
  auto add = [&](const std::string& what) {
    out += (first ? " " : "; ") + what;
    first = false;
  };
  for (size_t i = 0; i < 13 && i < a.fields.size() && i < b.fields.size(); ++i) {
    if (a.fields[i] != b.fields[i])
      add(station_field_name(i) + " " + a.fields[i] + " -> " + b.fields[i]);
  }
  auto time_of = [](const Row& r) {
    return model::clock_text(model::seconds_since_midnight(
        number(r.fields[13]), number(r.fields[14]), number(r.fields[15])));
  };
  if (a.fields.size() >= 17 && b.fields.size() >= 17) {
    const std::string ta = time_of(a), tb = time_of(b);
    if (ta != tb) add("departure " + ta + " -> " + tb);
  }
  return out;
}

}  // namespace

std::vector<std::string> row_changes(const std::string& a_route, const std::string& a_train,
                                     const std::string& b_route, const std::string& b_train) {
  std::vector<Row> a = parse(a_route), b = parse(b_route);
  for (Row& r : parse(a_train)) a.push_back(std::move(r));
  for (Row& r : parse(b_train)) b.push_back(std::move(r));

  // Key: keyword and position, the station's name, or the keyword alone.
  auto key = [](const Row& r) {
    if (r.keyword == "stazione" && !r.fields.empty()) return "stazione|" + r.fields.back();
    if (positioned(r.keyword) && !r.fields.empty()) return r.keyword + "|" + r.fields[0];
    return r.keyword;
  };
  std::multimap<std::string, size_t> in_a;
  for (size_t i = 0; i < a.size(); ++i) in_a.emplace(key(a[i]), i);
  std::set<size_t> a_used;
  std::vector<std::string> changes;
  std::vector<size_t> b_only;
  for (size_t j = 0; j < b.size(); ++j) {
    const Row& rb = b[j];
    auto it = in_a.find(key(rb));
    if (it == in_a.end()) {
      b_only.push_back(j);
      continue;
    }
    const Row& ra = a[it->second];
    a_used.insert(it->second);
    in_a.erase(it);
    if (ra.fields == rb.fields) continue;
    if (rb.keyword == "stazione") {
      changes.push_back(station_change(ra, rb));
    } else if (positioned(rb.keyword)) {
      changes.push_back(where(rb) + ": " + values(ra, 1) + " -> " + values(rb, 1));
    } else {
      changes.push_back(rb.keyword + ": " + values(ra, 0) + " -> " + values(rb, 0));
    }
  }
  std::vector<size_t> a_only;
  for (size_t i = 0; i < a.size(); ++i)
    if (a_used.count(i) == 0) a_only.push_back(i);
  // Moved: gone at one position, new at another, the same values.
  for (size_t j : b_only) {
    const Row& rb = b[j];
    bool moved = false;
    if (movable(rb.keyword)) {
      for (auto it = a_only.begin(); it != a_only.end(); ++it) {
        const Row& ra = a[*it];
        if (ra.keyword != rb.keyword || values(ra, 1) != values(rb, 1)) continue;
        changes.push_back(where(ra) + " moved to " + rb.fields[0] + " m");
        a_only.erase(it);
        moved = true;
        break;
      }
    }
    if (moved) continue;
    if (rb.keyword == "stazione") {
      changes.push_back("station " + rb.fields.back() + " added at " + rb.fields[0] + " m");
    } else {
      changes.push_back((positioned(rb.keyword) ? where(rb) : rb.keyword) +
                        " added: " + values(rb, positioned(rb.keyword) ? 1 : 0));
    }
  }
  for (size_t i : a_only) {
    const Row& ra = a[i];
    if (ra.keyword == "stazione") {
      changes.push_back("station " + ra.fields.back() + " removed");
    } else {
      changes.push_back((positioned(ra.keyword) ? where(ra) : ra.keyword) + " removed");
    }
  }
  return changes;
}

}  // namespace decompile
