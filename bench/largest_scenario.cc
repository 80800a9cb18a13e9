#include "bench/largest_scenario.h"

#include <cstdio>
#include <string_view>

#include "platform/field_reader.h"

namespace bench {

namespace {

constexpr int kBlock = 25000;
constexpr int kStations = 38;

// The 25 km blocks that have at least their start on a line of `length` m.
int blocks_of(int length) { return (length + kBlock - 1) / kBlock; }

// Appends one formatted row and its CR LF.
template <typename... Args>
void row(std::string& text, const char* format, Args... args) {
  char buffer[256];
  const int n = std::snprintf(buffer, sizeof buffer, format, args...);
  text.append(buffer, static_cast<size_t>(n));
  text += "\r\n";
}

}  // namespace

std::string route_description(int length) {
  const int blocks = blocks_of(length);
  std::string t;
  row(t, "[generale]");
  row(t, "lunghezza percorso,    %d", length);
  row(t, "progressiva chilometrica uno,    0,    0,    0");
  row(t, "progressiva chilometrica due,    0,    0,    0");
  row(t, "progressiva chilometrica tre,    0,    0,    0");
  row(t, "sfondo uno,    1");
  row(t, "sfondo due,    20000");
  row(t, "sfondo tre,    30500");
  row(t, "ripetizione segnali 4 codici,    0    ,0");
  row(t, "[curve]");
  for (int i = 0; i < length / 500; ++i) {
    row(t, "curva%c%d,  %d,  %d", i % 2 ? 's' : 'd', 1 + i % 6, 500 * i + 100, 250);
  }
  row(t, "[pendenze]");
  for (int i = 0; i < length / 250; ++i) {
    row(t, "pendenza,  %d,   %d", 250 * i, (i * 7) % 41 - 20);
  }
  row(t, "[montagne]");
  for (int b = 0; b < blocks; ++b) {
    const int o = kBlock * b;
    if (o + 9500 <= length) row(t, "montagna,   %d,  %d,  2", o + 9000, o + 9500);
    if (o + 21600 <= length) row(t, "montagna,   %d,  %d,  12", o + 21000, o + 21600);
  }
  row(t, "[indicazioni]");
  for (int b = 0; b < blocks && kBlock * b + 6500 < length; ++b) {
    row(t, "cartello_indicatore,  %d,   (GALLERIA %02d    )(MONTE %02d       )(Mt.%d Km.%d+500)",
        kBlock * b + 6500, b, b, 100 + b, 25 * b + 6);
  }
  return t;
}

std::string train_description(int length) {
  const int blocks = blocks_of(length);
  std::string t;
  row(t, "[generale]");
  row(t, "numero vetture,    9");
  row(t, "percentuale massa frenata,    115");
  row(t, "sabbia,    300");
  row(t, "orologio,    7               28            30 ");
  row(t, "[aderenze]");
  for (int i = 0; i < 10; ++i) row(t, "aderenza,   %d,    %d", length / 10 * i, 100 - 2 * i);
  row(t, "[vel_limite]");
  for (int i = 0; i < length / 5000; ++i) {
    row(t, "velocita,   %d,   %d", 5000 * i, 80 + (i % 6) * 10);
  }
  row(t, "[stazioni]");
  for (int b = 0; b < kStations && kBlock * b + 5000 < length; ++b) {
    row(t,
        "stazione,   %d, 11,  600,  0, 0, 1,  1,1,0,  4,1,1,   30,   %d,%02d, 0, STAZIONE "
        "NUMERO %02d",
        kBlock * b + 5000, 7 + b / 6, (b * 10) % 60, b);
  }
  row(t, "[rallentamenti]");
  for (int b = 0; b < blocks && kBlock * b + 16000 <= length; ++b) {
    row(t, "rallentamento,   %d,    60,  500, 1,  1,  0", kBlock * b + 15500);
  }
  row(t, "[segnali]");
  for (int b = 0; b < blocks; ++b) {
    for (int at : {2000, 8000, 11000, 14000, 17000, 20000, 23000}) {
      if (kBlock * b + at >= length) break;
      row(t, "segnale,   %d,   1, 4, 0,  0, 0,    0,  0,0,0, 0", kBlock * b + at);
    }
  }
  return t;
}

namespace {
// One row of each shape the readers meet, in both descriptions' spacing.
constexpr std::string_view kRows[] = {
    "pendenza,  %d,   %d",
    "curvad4,  %d,  %d",
    "cartello_indicatore,  %d,   (GALLERIA 1\xB0     )(MONTECAVO       )(Mt.262 Km.33+838)",
    "stazione,    %d, 11,  600,  0, 0, 1,  1,1,0,  4,1,1,    0,   0, 0, %d, BIVIO SALCENTA",
    "segnale,    %d,   1, 4, 0,  0, 0,    0,  0,0,0, %d",
    "cartello,  %d, \"TESTO, TRA VIRGOLETTE\"",
};
}  // namespace

std::string field_reader_text(size_t bytes) {
  std::string t;
  t.reserve(bytes + 256);
  for (int i = 0; t.size() < bytes; ++i) {
    const std::string_view shape = kRows[static_cast<size_t>(i) % std::size(kRows)];
    row(t, std::string(shape).c_str(), 50 * i, i % 40);
  }
  return t;
}

size_t read_rows(std::string text) {
  platform::FieldReader in(std::move(text));
  size_t fields = 0;
  auto numbers = [&](int n) {
    for (int i = 0; i < n; ++i) in.read_number();
    fields += static_cast<size_t>(n);
  };
  while (!in.at_end()) {
    const std::string keyword = in.read_text();
    ++fields;
    if (keyword.starts_with("cartello")) {
      numbers(1);
      in.read_text();
      ++fields;
    } else if (keyword.starts_with("stazione")) {
      numbers(16);
      in.read_text();
      ++fields;
    } else if (keyword.starts_with("segnale")) {
      numbers(11);
    } else {  // pendenza, curva
      numbers(2);
    }
  }
  return fields;
}

}  // namespace bench
