// scenario_run_timer [--in FOLDER] PROGRAM [ARG...]
//
// Runs PROGRAM once as a process of its own, in FOLDER when given, and
// prints on one line what that process cost, from just before the fork to
// the moment wait4 returns it:
//
//   wall_seconds user_seconds system_seconds peak_kib minor_faults major_faults status
//
// peak_kib is the process's peak resident size (ru_maxrss, KiB); status is
// its exit status, or 128 + the signal that ended it. The program's
// standard output goes to /dev/null, so that no terminal is timed; its
// standard error is kept. bench/whole_runs.sh reads the line.
//
// Exit status: 0 when the line was printed (whatever PROGRAM's status), 2
// when the program could not be started.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

double seconds_of(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

double now_seconds() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  int first = 1;
  const char* folder = nullptr;
  if (argc > 2 && std::strcmp(argv[1], "--in") == 0) {
    folder = argv[2];
    first = 3;
  }
  if (first >= argc) {
    std::fprintf(stderr, "usage: scenario_run_timer [--in FOLDER] PROGRAM [ARG...]\n");
    return 2;
  }
  // Opened before the clock starts: the child only moves it into place.
  const int null_out = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null_out < 0) {
    std::perror("scenario_run_timer: /dev/null");
    return 2;
  }

  const double start = now_seconds();
  const pid_t child = ::fork();
  if (child < 0) {
    std::perror("scenario_run_timer: fork");
    return 2;
  }
  if (child == 0) {
    if (folder != nullptr && ::chdir(folder) != 0) {
      std::fprintf(stderr, "scenario_run_timer: %s: %s\n", folder, std::strerror(errno));
      ::_exit(127);
    }
    ::dup2(null_out, STDOUT_FILENO);
    ::execv(argv[first], argv + first);
    std::fprintf(stderr, "scenario_run_timer: %s: %s\n", argv[first], std::strerror(errno));
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  pid_t waited;
  do {
    waited = ::wait4(child, &status, 0, &usage);
  } while (waited < 0 && errno == EINTR);
  const double wall = now_seconds() - start;
  if (waited < 0) {
    std::perror("scenario_run_timer: wait4");
    return 2;
  }
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  if (code == 127) return 2;  // not started: said on standard error already
  std::printf("%.6f %.6f %.6f %ld %ld %ld %d\n", wall, seconds_of(usage.ru_utime),
              seconds_of(usage.ru_stime), usage.ru_maxrss, usage.ru_minflt, usage.ru_majflt, code);
  return 0;
}
