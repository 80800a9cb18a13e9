// The live preview served over HTTP on the loopback interface only, for
// scenario_tool watch.
//
//   GET /            the page (render_html in live mode) of the last publish
//   GET /data.json   its data (preview_data)
//   GET /events      server-sent events: "update" once on connecting and
//                    again after every publish; a comment every few seconds
//                    keeps the stream open
//
// Any other path is 404, any other method 405, a Host header that is not
// the loopback address or "localhost" with the server's port 403 (so that a
// page of another site cannot read the preview through a name it rebinds to
// 127.0.0.1). Requests are served by a pool of workers while the caller goes
// on (tools/preview/guarded_server.h, which also bounds what a request may
// send); publish may be called from any thread.
//
// An open event stream holds a worker: at most kMaxEventStreams are open at
// once, and one more is answered 503 with the reason, so that the page and
// its data are always served.
#ifndef SCENARIO_TOOLS_PREVIEW_PREVIEW_SERVER_H_
#define SCENARIO_TOOLS_PREVIEW_PREVIEW_SERVER_H_

#include <memory>
#include <string>

namespace tools {

inline constexpr int kMaxEventStreams = 32;

class PreviewServer {
 public:
  PreviewServer();
  ~PreviewServer();  // stops serving and waits for the threads
  PreviewServer(const PreviewServer&) = delete;
  PreviewServer& operator=(const PreviewServer&) = delete;

  // Starts serving on 127.0.0.1:`port` (0: a free port the system picks).
  // Returns the port. Throws ToolError when the port cannot be had.
  int start(int port);

  // Replaces what is served and tells every open page to fetch it again.
  void publish(std::string page, std::string data);

  // The number of publishes so far.
  long version() const;

  // Ends the event streams, stops serving and waits for the threads. Also
  // done by the destructor.
  void stop();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tools

#endif  // SCENARIO_TOOLS_PREVIEW_PREVIEW_SERVER_H_
