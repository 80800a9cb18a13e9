// Run-time failures: the errors of the run-time layer itself, as opposed to
// the compile errors that the readers record in the scenario model.
//
// A file that cannot be created, a read past the end of a description, a
// number too large for its field: each throws RuntimeFailure. Inside
// memorizza_dati one trap turns a failure of the text into compile error 25;
// a description that cannot be read at all (FileReadFailure), and anything
// outside the reading, reaches the top of the program, which reports its
// number and description and ends with exit status 1.
#ifndef SCENARIO_PLATFORM_RUNTIME_FAILURE_H_
#define SCENARIO_PLATFORM_RUNTIME_FAILURE_H_

#include <stdexcept>
#include <string>

namespace platform {

// Numbers of the run-time failures the program can meet.
enum FailureNumber : int {
  kOverflow = 6,             // a value does not fit its field
  kOutOfMemory = 7,          // memory could not be had
  kSubscriptOutOfRange = 9,  // an index outside an array (a missing track)
  kTypeMismatch = 13,        // a field that is not a number
  kBadFileName = 52,         // a file name the system refuses
  kFileNotFound = 53,        // deleting or opening a file that is not there
  kDeviceIO = 57,            // the storage failed to read or write
  kDiskFull = 61,            // no space left, or a file-size limit reached
  kInputPastEnd = 62,        // reading a field when no byte remains
  kPermissionDenied = 70,    // the folder or the file may not be written
  kFolderBusy = 70,          // another run holds the folder's lock
  kPathFileAccess = 75,      // any other failure to open, write or delete;
                             // a name that is not a regular file
  kFileTooLarge = 75,        // a description past the largest one taken
};

// The standard description of a failure number.
const char* failure_description(int number);

class RuntimeFailure : public std::runtime_error {
 public:
  // `detail` is added to the standard description, for example the file name.
  explicit RuntimeFailure(int number, const std::string& detail = {});
  int number() const { return number_; }
  // What the failure happened to, with the system's reason: "a.dat (No
  // space left on device)".
  const std::string& detail() const { return detail_; }

 private:
  int number_;
  std::string detail_;
};

// A description file that could not be read at all: the storage failed, the
// file went missing or is not a regular file. Unlike a failure met while
// reading the text, it says nothing about the text, so no compile error
// stands for it: it ends the run (see app/compile_pass.h).
class FileReadFailure : public RuntimeFailure {
 public:
  using RuntimeFailure::RuntimeFailure;
};

}  // namespace platform

#endif  // SCENARIO_PLATFORM_RUNTIME_FAILURE_H_
