#include "compiled/text.h"

#include <array>
#include <cstdlib>

namespace tools {

namespace {

// Code points of bytes 80 to 9F; 0 where the code page defines no character.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

constexpr char32_t kReplacement = 0xFFFD;

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string to_utf8(std::string_view cp1252) {
  std::string out;
  out.reserve(cp1252.size());
  for (char ch : cp1252) {
    auto b = static_cast<unsigned char>(ch);
    char32_t c = b;
    if (b < 0x20 && b != '\t' && b != '\n' && b != '\r') c = kReplacement;
    if (b == 0x7F) c = kReplacement;
    if (b >= 0x80 && b < 0xA0) c = kHighControls[b - 0x80] ? kHighControls[b - 0x80] : kReplacement;
    append_utf8(out, c);
  }
  return out;
}

std::string km_text(int64_t metres) {
  uint64_t magnitude =
      metres < 0 ? 0 - static_cast<uint64_t>(metres) : static_cast<uint64_t>(metres);
  std::string m = std::to_string(magnitude % 1000);
  return std::string("km ") + (metres < 0 ? "-" : "") + std::to_string(magnitude / 1000) + "+" +
         std::string(3 - m.size(), '0') + m;
}

std::string position_text(int64_t metres) {
  return std::to_string(metres) + " m (" + km_text(metres) + ")";
}

bool is_valid_name(std::string_view name) {
  if (name.empty() || name.size() > kMaxNameLength) return false;
  for (char c : name) {
    bool ok =
        (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    if (!ok) return false;
  }
  return true;
}

std::string name_problem(std::string_view what, std::string_view name) {
  if (is_valid_name(name)) return {};
  // Built by appending only: a string inserted before a temporary's bytes
  // ("\"" + text) draws a false -Wrestrict from GCC 12 at -O3.
  std::string problem(what);
  problem += " \"";
  problem += to_utf8(name);
  problem += "\" is refused: ";
  if (name.empty()) {
    problem += "it is empty";
  } else if (name.size() > kMaxNameLength) {
    problem += "it has ";
    problem += std::to_string(name.size());
    problem += " characters";
  } else {
    problem += "it holds a character other than a letter, a digit or _";
  }
  problem += "; a name forms file names, so it must be 1 to 32 letters (A-Z, a-z), digits or _";
  return problem;
}

std::string train_code_problem(std::string_view what, std::string_view code) {
  std::string problem = name_problem(what, code);
  if (!problem.empty()) return problem;
  std::string lower(code);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (lower != "linea") return {};
  return std::string(what) + " \"" + std::string(code) + "\" is refused: the track file LINE_" +
         std::string(code) +
         ".dat would be the line file LINE_linea.dat of the same compile; choose another code";
}

}  // namespace tools
