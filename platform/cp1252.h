// Text in the single-byte Windows-1252 code page, independent of any locale.
//
// Upper to lower case moves ASCII A-Z and the letters C0-DE (except the
// multiplication sign D7) up by 20 hex, and maps 8A->9A, 8C->9C, 8E->9E and
// 9F->FF. Keyword tests of the description readers are containment tests,
// either exact or ignoring case in this sense.
#ifndef SCENARIO_PLATFORM_CP1252_H_
#define SCENARIO_PLATFORM_CP1252_H_

#include <string>
#include <string_view>

namespace platform {

char to_lower(char c);
std::string to_lower(std::string_view text);

// The character's code in the code page, 0 to 255.
inline int char_code(char c) { return static_cast<unsigned char>(c); }

// Whether `text` holds `word` anywhere; exact bytes.
bool contains(std::string_view text, std::string_view word);
// Whether `text` holds `word` anywhere, ignoring letter case.
bool contains_nocase(std::string_view text, std::string_view word);

}  // namespace platform

#endif  // SCENARIO_PLATFORM_CP1252_H_
