// The failure number (platform/runtime_failure.h) of a POSIX error number:
// the one place where a full disk, a missing file or a refused permission
// get the numbers the messages and exit statuses are built on.
#ifndef SCENARIO_PLATFORM_ERRNO_FAILURE_H_
#define SCENARIO_PLATFORM_ERRNO_FAILURE_H_

namespace platform {

int failure_number_of_errno(int err);

}  // namespace platform

#endif  // SCENARIO_PLATFORM_ERRNO_FAILURE_H_
