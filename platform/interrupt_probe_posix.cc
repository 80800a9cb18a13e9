// A second process for the interrupt tests of files_test.cc: it replaces
// files in FOLDER on the machine's file system and sends itself SIGNAL at a
// chosen step, as a user's Ctrl+C or a termination request would arrive.
//
//   platform_interrupt_probe FOLDER STEP SIGNAL
//
//   STEP writing    while the temporary of a.dat is half written
//        staged     with a.dat and b.dat staged, before the commit
//        committed  after a.dat was replaced, while writing b.dat
//
// The new bytes of a file are "new <name>". The signals start as they do
// for a program started from a terminal. Exit 2 when the signal did not end
// the process, 1 on a failure or a bad command line.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "platform/file_system.h"
#include "platform/files.h"

namespace {

void replace_raising(platform::FileReplacement& replacement, const std::string& path,
                     int signal_number) {
  replacement.stage(path, [&](const platform::PartSink& sink) {
    sink("new ");
    ::raise(signal_number);
    sink("(after the signal)");
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr,
                 "usage: platform_interrupt_probe FOLDER writing|staged|committed SIGNAL\n");
    return 1;
  }
  const std::string folder = argv[1];
  const std::string step = argv[2];
  const int signal_number = std::atoi(argv[3]);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) ::signal(s, SIG_DFL);
  platform::FileSystem& fs = platform::real_file_system();
  const std::string a = platform::join_path(folder, "a.dat");
  const std::string b = platform::join_path(folder, "b.dat");
  try {
    platform::FileReplacement replacement(fs);
    if (step == "writing") {
      replace_raising(replacement, a, signal_number);
    } else if (step == "staged") {
      replacement.stage(a, "new a.dat");
      replacement.stage(b, "new b.dat");
      ::raise(signal_number);
    } else if (step == "committed") {
      platform::replace_file(fs, a, "new a.dat");
      replace_raising(replacement, b, signal_number);
    } else {
      std::fprintf(stderr, "probe: no step %s\n", step.c_str());
      return 1;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "probe: %s\n", e.what());
    return 1;
  }
  return 2;
}
