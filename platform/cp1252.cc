#include "platform/cp1252.h"

#include <algorithm>

namespace platform {

char to_lower(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7)) {
    return static_cast<char>(u + 0x20);
  }
  switch (u) {
    case 0x8A:
      return '\x9A';
    case 0x8C:
      return '\x9C';
    case 0x8E:
      return '\x9E';
    case 0x9F:
      return '\xFF';
    default:
      return c;
  }
}

std::string to_lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = to_lower(c);
  return out;
}

bool contains(std::string_view text, std::string_view word) {
  return text.find(word) != std::string_view::npos;
}

bool contains_nocase(std::string_view text, std::string_view word) {
  auto equal = [](char a, char b) { return to_lower(a) == to_lower(b); };
  return std::search(text.begin(), text.end(), word.begin(), word.end(), equal) != text.end();
}

}  // namespace platform
