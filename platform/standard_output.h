// Standard output as a stream whose failures can be seen.
//
// On POSIX systems a write to a pipe whose reader has gone ends the process
// with SIGPIPE, so a program could not tell its caller that the output was
// lost. After this call such a write fails instead (EPIPE), and the
// program reports it with its own exit status. Nothing to do on Windows.
#ifndef SCENARIO_PLATFORM_STANDARD_OUTPUT_H_
#define SCENARIO_PLATFORM_STANDARD_OUTPUT_H_

namespace platform {

void report_broken_pipe_as_failure();

// Standard input and output as bytes, for a protocol that counts them: no
// CR LF translation on Windows. Nothing to do elsewhere.
void use_binary_standard_streams();

}  // namespace platform

#endif  // SCENARIO_PLATFORM_STANDARD_OUTPUT_H_
