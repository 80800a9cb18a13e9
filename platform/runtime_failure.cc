#include "platform/runtime_failure.h"

namespace platform {

const char* failure_description(int number) {
  switch (number) {
    case kOverflow:
      return "overflow";
    case kOutOfMemory:
      return "out of memory";
    case kSubscriptOutOfRange:
      return "subscript out of range";
    case kTypeMismatch:
      return "type mismatch";
    case kBadFileName:
      return "bad file name or number";
    case kFileNotFound:
      return "file not found";
    case kDeviceIO:
      return "device I/O error";
    case kDiskFull:
      return "disk full";
    case kInputPastEnd:
      return "input past end of file";
    case kPermissionDenied:
      return "permission denied";
    case kPathFileAccess:
      return "path/file access error";
    default:
      return "application-defined error";
  }
}

namespace {
std::string message_for(int number, const std::string& detail) {
  std::string text = failure_description(number);
  if (!detail.empty()) text += ": " + detail;
  return text;
}
}  // namespace

RuntimeFailure::RuntimeFailure(int number, const std::string& detail)
    : std::runtime_error(message_for(number, detail)), number_(number), detail_(detail) {}

}  // namespace platform
