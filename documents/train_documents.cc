#include "documents/train_documents.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>

#include "model/description_rows.h"
#include "platform/field_reader.h"
#include "platform/rounding.h"
#include "train/train_reader.h"

namespace documents {
namespace {

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// Upper case in Windows-1252.
std::string upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 'a' && b <= 'z') {
      c = static_cast<char>(b - 0x20);
    } else if (b >= 0xE0 && b <= 0xFE && b != 0xF7) {
      c = static_cast<char>(b - 0x20);
    } else if (b == 0x9A || b == 0x9C || b == 0x9E) {
      c = static_cast<char>(b - 0x10);
    } else if (b == 0xFF) {
      c = static_cast<char>(0x9F);
    }
  }
  return out;
}

// `text` in `width` characters, left-aligned and padded with `pad`; a text
// too long is cut and ends with "~".
std::string left(std::string_view text, size_t width, char pad = ' ') {
  if (text.size() > width) return std::string(text.substr(0, width - 1)) + "~";
  return std::string(text) + std::string(width - text.size(), pad);
}

// A number's text right-aligned in `width`; "*" throughout when too wide.
std::string right(std::string_view text, size_t width) {
  if (text.size() > width) return std::string(width, '*');
  return std::string(width - text.size(), ' ') + std::string(text);
}

// Centred in `width`, the odd blank on the left when `odd_left`, else on the
// right.
std::string centred(std::string_view text, size_t width, bool odd_left) {
  if (text.size() > width) return left(text, width);
  const size_t spare = width - text.size();
  const size_t before = odd_left ? spare - spare / 2 : spare / 2;
  return std::string(before, ' ') + std::string(text) + std::string(spare - before, ' ');
}

// "14+431": kilometres, "+", three-digit metres.
std::string kilometres(int64_t metres) {
  const std::string sign = metres < 0 ? "-" : "";
  const int64_t m = metres < 0 ? -metres : metres;
  std::string rest = std::to_string(m % 1000);
  return sign + std::to_string(m / 1000) + "+" + std::string(3 - rest.size(), '0') + rest;
}

std::string two_digits(int64_t n) { return (n < 10 ? "0" : "") + std::to_string(n); }

// "07.49+": the time to the nearest half minute (halves to even), "+" for
// the half minute, else a blank. Six characters.
std::string clock(int64_t seconds) {
  const auto halves = static_cast<int64_t>(platform::round_half_even(seconds / 30.0));
  const int64_t minutes = halves / 2;
  if (halves < 0 || minutes / 60 > 99) return "**.** ";
  return two_digits(minutes / 60) + "." + two_digits(minutes % 60) + (halves % 2 != 0 ? "+" : " ");
}

std::string train_number(std::string_view code) {
  size_t first = 0;
  while (first < code.size() && !(code[first] >= '0' && code[first] <= '9')) ++first;
  return std::string(first < code.size() ? code.substr(first) : code);
}

// ---- The timetable card ----

enum class RowKind { kOrigin, kStop, kPassing, kDestination, kSpeed };

struct CardRow {
  int64_t position = 0;
  RowKind kind = RowKind::kSpeed;
  std::optional<int32_t> limit;
  std::string location;
  int32_t time = 0;  // 0: none
  int32_t stop = 0;
};

std::string card_times(const CardRow& r) {
  if (r.time == 0) return std::string(16, ' ');
  switch (r.kind) {
    case RowKind::kOrigin:
      return std::string(10, ' ') + clock(r.time);
    case RowKind::kStop:
      return clock(int64_t{r.time} - r.stop) + "    " + clock(r.time);
    case RowKind::kPassing:
      return "     " + clock(r.time) + "     ";
    case RowKind::kDestination:
      return clock(r.time) + std::string(10, ' ');
    case RowKind::kSpeed:
      break;
  }
  return std::string(16, ' ');
}

std::string card_row(const CardRow& r, const std::vector<KilometreRecord>& posts) {
  const std::string limit = r.limit ? right(std::to_string(*r.limit), 4) + " " : "     ";
  const std::string place =
      r.kind == RowKind::kStop ? left(r.location, 28, '.') : left(r.location, 28);
  return " |" + limit + "|     |" + right(kilometres(line_kilometre(posts, r.position)), 8) +
         "  |     |" + place + "|" + card_times(r) + "|     |";
}

std::vector<CardRow> card_rows(const TrainRows& rows) {
  std::vector<CardRow> out;
  const size_t n = rows.stations.size();
  for (size_t i = 0; i < n; ++i) {
    const StationRow& st = rows.stations[i];
    CardRow r;
    r.position = st.position;
    r.location = st.name;
    r.time = st.time;
    r.stop = st.stop_seconds;
    if (i == 0) {
      r.kind = RowKind::kOrigin;
    } else if (i + 1 == n) {
      r.kind = RowKind::kDestination;
    } else {
      r.kind = st.time != 0 && st.stop_seconds > 0 ? RowKind::kStop : RowKind::kPassing;
    }
    out.push_back(r);
  }
  // The changes of the limit, each where it starts: on a station's row when
  // one stands there, else on a row of its own at the kilometre post.
  std::optional<int32_t> in_force;
  for (size_t i = 0; i < rows.limits.size(); ++i) {
    const SpeedRow& l = rows.limits[i];
    if (i + 1 < rows.limits.size() && rows.limits[i + 1].position == l.position) continue;
    if (in_force && *in_force == l.limit) continue;
    in_force = l.limit;
    auto at = std::find_if(out.begin(), out.end(), [&](const CardRow& r) {
      return r.kind != RowKind::kSpeed && r.position == l.position;
    });
    if (at != out.end()) {
      at->limit = l.limit;
      continue;
    }
    CardRow r;
    r.position = l.position;
    r.limit = l.limit;
    r.location = "cippo Km " + kilometres(line_kilometre(rows.kilometres, l.position));
    out.push_back(r);
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const CardRow& a, const CardRow& b) { return a.position < b.position; });
  return out;
}

// ---- The slow-order form ----

// Every zero written as the letter O, as on the printed order.
std::string lettered(std::string text) {
  std::replace(text.begin(), text.end(), '0', 'O');
  return text;
}

std::string order_number(size_t n) {
  if (n > 999) return "***";
  std::string digits = n < 10 ? "0" + std::to_string(n) : std::to_string(n);
  return lettered(left(digits, 3));
}

train::StationArea area_of(const StationRow& st) {
  return train::station_area(st.position, st.kind, st.length, st.widened);
}

// The stations between which a slow order starting at `x` lies: the last
// station whose area begins at or before it, and the next one.
std::string between(const TrainRows& rows, int64_t x) {
  const auto& st = rows.stations;
  if (st.empty()) return "";
  size_t k = 0;
  bool found = false;
  for (size_t i = 0; i < st.size(); ++i) {
    if (area_of(st[i]).start <= x) {
      k = i;
      found = true;
    }
  }
  if (!found || k + 1 == st.size()) return upper(st[k].name);
  return upper(st[k].name) + "-" + upper(st[k + 1].name);
}

// The first station whose area the slow order reaches into, if any.
const StationRow* station_reached(const TrainRows& rows, const SlowOrderRow& o) {
  const int64_t from = o.start;
  const int64_t to = from + o.length;
  for (const StationRow& st : rows.stations) {
    const train::StationArea a = area_of(st);
    if (from < a.end && a.start < to) return &st;
  }
  return nullptr;
}

}  // namespace

std::vector<KilometreRecord> kilometre_records(const model::ItemTable& table) {
  std::vector<KilometreRecord> out;
  for (const model::ProgressiveRecord& p : model::progressive_records(table)) {
    if (p.position == 0 && p.value == 0 && p.flag == 0) continue;
    out.push_back({p.position, p.value});
  }
  std::stable_sort(out.begin(), out.end(), [](const KilometreRecord& a, const KilometreRecord& b) {
    return a.position < b.position;
  });
  return out;
}

int64_t line_kilometre(const std::vector<KilometreRecord>& records, int64_t position) {
  int64_t reading = position;
  for (const KilometreRecord& r : records) {
    if (r.position <= position) reading = int64_t{r.value} + (position - r.position);
  }
  return reading;
}

TrainRows read_train_rows(std::string_view description) {
  TrainRows rows;
  platform::FieldReader fields{std::string(description)};
  while (!fields.at_end()) {
    if (contains(fields.read_text(), "[generale]")) break;
  }
  while (!fields.at_end()) {
    std::string keyword = fields.read_text();
    for (int passed = 0; passed < 2 && contains(keyword, "-") && !fields.at_end(); ++passed) {
      keyword = fields.read_text();
    }
    if (fields.at_end()) break;  // a last lone keyword is not acted on
    const model::RowLayout* row = model::row_for(keyword, model::RowSection::kTrain);
    if (row == nullptr) continue;
    std::vector<int32_t> numbers;
    std::string text;
    for (const model::FieldLayout& f : row->fields) {
      if (f.kind == model::FieldKind::kText) {
        text = fields.read_text();
      } else {
        numbers.push_back(fields.read_number());
      }
    }
    const std::string_view k = row->keyword;
    if (k == "percentuale massa frenata" && !numbers.empty()) {
      rows.braked_mass = numbers[0];
    } else if (k == "velocita" && numbers.size() >= 2) {
      rows.limits.push_back({numbers[0], numbers[1]});
    } else if (k == "rallentamento" && numbers.size() >= 5) {
      rows.slow_orders.push_back({numbers[0], numbers[1], numbers[2], numbers[3], numbers[4]});
    } else if (k == "stazione" && numbers.size() >= 16) {
      StationRow st;
      st.position = numbers[0];
      st.kind = numbers[1];
      st.length = numbers[2];
      st.widened = numbers[5] != 0;
      st.stop_seconds = numbers[12];
      const int64_t t = int64_t{numbers[13]} * 3600 + int64_t{numbers[14]} * 60 + numbers[15];
      st.time = static_cast<int32_t>(std::clamp<int64_t>(t, 0, INT32_MAX));
      st.name = text;
      rows.stations.push_back(st);
    }
  }
  return rows;
}

std::vector<std::string> timetable_card_lines(const TrainRows& rows, std::string_view train_code) {
  std::vector<std::string> out;
  const std::string origin = rows.stations.empty() ? "" : rows.stations.front().name;
  const std::string destination = rows.stations.size() < 2 ? "" : rows.stations.back().name;
  std::string top;
  if (!rows.limits.empty()) {
    int32_t highest = rows.limits.front().limit;
    for (const SpeedRow& l : rows.limits) highest = std::max(highest, l.limit);
    top = "V" + std::to_string(highest) + " B";
  }
  const std::string mass = rows.braked_mass ? std::to_string(*rows.braked_mass) + "%" : "";
  out.emplace_back();
  out.emplace_back();
  out.push_back("  " + std::string(19, '_') + std::string(47, ' ') + std::string(14, '_'));
  out.push_back(" |" + std::string(19, ' ') + "|" +
                left(std::string(20, ' ') + "SCHEDA TRENO", 45) + "|" + std::string(14, ' ') + "|");
  out.push_back(" |" + left("   TRENO n." + train_number(train_code), 19) + "|" +
                left(std::string(19, ' ') + "da: " + origin, 45) + "|" + centred(top, 14, false) +
                "|");
  out.push_back(" |" + std::string(19, '_') + "|" +
                left(std::string(20, ' ') + "a: " + destination, 45) + "|" +
                centred(mass, 14, false) + "|");
  out.push_back(std::string(67, ' ') + "|" + std::string(14, '_') + "|");
  out.push_back("  " + std::string(19, '_') + std::string(16, ' ') + std::string(19, '_'));
  out.push_back(" |  CLASSIFICAZIONE  |              |  MASSA BLOCCATA   |       ");
  out.push_back(" |" + std::string(19, ' ') + "|" + std::string(14, ' ') + "|" +
                std::string(19, ' ') + "|");
  out.push_back(" |___________________|              |___________________|");
  out.emplace_back();
  out.push_back("  " + std::string(80, '_'));
  out.push_back(
      " | Vel.| Vel.| Progr Km |  No |   Localita' di  Servizio   |     Orario     | Rec |");
  out.push_back(
      " | Lim.|Marc.|          |  Rs |                            |                |     |");
  const std::string rule =
      " |_____|_____|__________|_____|____________________________|________________|_____|";
  out.push_back(rule);
  for (const CardRow& r : card_rows(rows)) out.push_back(card_row(r, rows.kilometres));
  for (int i = 0; i < 3; ++i) {
    out.push_back(
        " |     |     |          |     |                            |                |     |");
  }
  out.push_back(rule);
  return out;
}

std::vector<std::string> slow_order_form_lines(const TrainRows& rows, std::string_view line_name,
                                               std::string_view train_code) {
  std::vector<std::string> out;
  out.emplace_back();
  out.push_back(std::string(31, ' ') + "Modulo M. 3");
  out.push_back(std::string(27, ' ') + "ORDINE DI RALLENTAMENTO");
  out.push_back(" " + std::string(80, '_'));
  out.push_back("  Linea  " + std::string(line_name));
  out.emplace_back();
  out.push_back("  Si ordina al macchinista del treno " + train_number(train_code) +
                " di effettuare i seguenti rallentamenti");
  out.push_back("  " + std::string(79, '_'));
  out.push_back(
      " |   |                            |Inizio dopo |          |         |            |");
  out.push_back(
      " | N.|      FRA LE STAZIONI       | il cippo   | Velocita'|Lunghezza|Prescrizioni|");
  out.push_back(
      " |   |   (o nelle Stazioni di)    |chilometrico|          |   metri | specifiche |");
  const std::string rule =
      " |___|____________________________|____________|__________|_________|____________|";
  out.push_back(rule);
  std::vector<std::string> reached;
  for (size_t i = 0; i < rows.slow_orders.size(); ++i) {
    const SlowOrderRow& o = rows.slow_orders[i];
    std::string letters;
    if (o.whole_train != 0) letters = "A";
    if (const StationRow* st = station_reached(rows, o)) {
      letters += letters.empty() ? "B" : "-B";
      const std::string name = upper(st->name);
      if (std::find(reached.begin(), reached.end(), name) == reached.end()) reached.push_back(name);
    }
    if (o.warning == 0) letters += letters.empty() ? "D" : "-D";
    out.push_back(" |" + order_number(i + 1) + "|" + left(between(rows, o.start), 28) + "|" +
                  lettered(left("  " + kilometres(line_kilometre(rows.kilometres, o.start)), 12)) +
                  "|" + lettered(left("   " + std::to_string(o.speed), 10)) + "|" +
                  lettered(right(std::to_string(o.length), 5)) + "    |" +
                  centred(letters, 12, true) + "|");
  }
  for (size_t i = rows.slow_orders.size(); i < 26; ++i) {
    out.push_back(
        " |   |                            |            |          |         |            |");
  }
  out.push_back(rule);
  out.emplace_back();
  out.push_back(std::string(14, ' ') + "Prescrizioni specifiche");
  out.push_back(" A - Da rispettare con tutto il treno (per i treni viaggiatori)");
  if (reached.size() > 1) {
    std::string names;
    for (const std::string& name : reached) names += (names.empty() ? "" : ", ") + name;
    out.push_back(" B - Interessa anche le stazioni di " + names);
  } else {
    out.push_back(" B - Interessa anche la stazione di " +
                  (reached.empty() ? std::string("..........") : reached.front()));
  }
  out.push_back(" D - Avviso come da disposizioni varie per localita' di servizio");
  out.push_back(" C - Da rispettare dalle ore ....  alle ore ..... di tutti");
  out.push_back("     i giorni esclusi i seguenti:.........");
  return out;
}

Documents make_documents(const TrainRows& rows, std::string_view line_name,
                         std::string_view train_code) {
  auto join = [](const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines) bytes += line + "\r\n";
    return bytes;
  };
  return {join(timetable_card_lines(rows, train_code)),
          join(slow_order_form_lines(rows, line_name, train_code))};
}

}  // namespace documents
