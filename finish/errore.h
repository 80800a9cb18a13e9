// The identity errors' way out of the program.
//
// errore builds the message " Errore n. " followed by its number and ends the
// compile pass by throwing IdentityError, so that nothing after it runs (in
// particular no compiled file is written). The program's top level shows the
// message in its message box and ends the program; a tool on the library
// may report it its own way.
#ifndef SCENARIO_FINISH_ERRORE_H_
#define SCENARIO_FINISH_ERRORE_H_

#include <exception>
#include <string>
#include <string_view>

namespace finish {

class IdentityError : public std::exception {
 public:
  IdentityError(int number, std::string message) : number_(number), message_(std::move(message)) {}
  int number() const { return number_; }
  // The message box text, " Errore n. 1250" for 1250.
  const std::string& message() const { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  int number_;
  std::string message_;
};

// `a` is the error number as text.
[[noreturn]] void errore(std::string_view a);

}  // namespace finish

#endif  // SCENARIO_FINISH_ERRORE_H_
