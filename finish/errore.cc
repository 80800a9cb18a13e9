#include "finish/errore.h"

#include <charconv>

namespace finish {

void errore(std::string_view a) {
  int number = 0;
  std::from_chars(a.data(), a.data() + a.size(), number);
  throw IdentityError(number, " Errore n. " + std::string(a));
}

}  // namespace finish
