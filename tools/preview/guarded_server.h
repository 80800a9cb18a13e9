// The HTTP server of watch's preview with bounds a hostile or careless
// client cannot get past: it reads each request's head itself, within a
// byte limit and a time limit, before the web server library sees a byte.
//
//   request line over kMaxRequestLine bytes   414, unread beyond that
//   head over kMaxHeadBytes bytes             431, unread beyond that
//   Content-Length over kMaxBodyBytes          413, the body never read
//   a head not complete within kHeadDeadline  the connection closed
//
// A body within the limit is read by the library as usual (and a chunked
// one is cut at kMaxBodyBytes too). Each connection carries one request
// (the answer says "Connection: close"): an idle connection kept open
// between requests would hold a worker for nothing.
//
// Requests are served by kWorkers threads. A handler that holds its thread
// for long (an event stream) must leave room for the others; see
// PreviewServer's limit on open event streams.
#ifndef SCENARIO_TOOLS_PREVIEW_GUARDED_SERVER_H_
#define SCENARIO_TOOLS_PREVIEW_GUARDED_SERVER_H_

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstddef>

namespace tools {

class GuardedServer : public httplib::Server {
 public:
  static constexpr size_t kMaxRequestLine = 8 << 10;
  static constexpr size_t kMaxHeadBytes = 64 << 10;
  static constexpr size_t kMaxBodyBytes = 64 << 10;
  static constexpr std::chrono::seconds kHeadDeadline{10};
  static constexpr size_t kWorkers = 48;

  GuardedServer();

  // Ends the reading of heads in progress at once; called before stop().
  void stop_reading() { stopping_ = true; }

 private:
  bool process_and_close_socket(socket_t sock) override;

  std::atomic<bool> stopping_{false};
};

}  // namespace tools

#endif  // SCENARIO_TOOLS_PREVIEW_GUARDED_SERVER_H_
