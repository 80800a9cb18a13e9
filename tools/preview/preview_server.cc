#include "tools/preview/preview_server.h"

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "compiled/tool_error.h"
#include "tools/preview/guarded_server.h"

namespace tools {

namespace {

constexpr char kLoopback[] = "127.0.0.1";
// How often an idle event stream gets a comment: a closed page is noticed
// within this time and its thread freed.
constexpr std::chrono::seconds kKeepAlive{5};
// Workers left for the page and its data when every event stream is open.
static_assert(GuardedServer::kWorkers >= kMaxEventStreams + 16);

}  // namespace

struct PreviewServer::State {
  GuardedServer server;
  std::thread listener;
  int port = 0;

  mutable std::mutex mutex;
  std::condition_variable changed;
  std::string page, data;
  long version = 0;
  bool stopping = false;
  int streams = 0;  // event streams open

  // An open event stream's place, given back when its response goes.
  struct StreamSlot {
    State& s;
    explicit StreamSlot(State& state) : s(state) {}
    ~StreamSlot() {
      std::lock_guard<std::mutex> lock(s.mutex);
      --s.streams;
    }
    StreamSlot(const StreamSlot&) = delete;
    StreamSlot& operator=(const StreamSlot&) = delete;
  };

  // A place for one more event stream; null when all are taken.
  std::shared_ptr<StreamSlot> take_stream_slot() {
    std::lock_guard<std::mutex> lock(mutex);
    if (streams >= kMaxEventStreams) return nullptr;
    ++streams;
    return std::make_shared<StreamSlot>(*this);
  }

  bool host_allowed(const httplib::Request& request) const {
    const std::string host = request.get_header_value("Host");
    std::string suffix = ":";  // appended: ":" + a temporary draws a false -Wrestrict (GCC 12)
    suffix += std::to_string(port);
    return host == kLoopback + suffix || host == "localhost" + suffix;
  }
};

PreviewServer::PreviewServer() : state_(std::make_unique<State>()) {
  State& s = *state_;
  // The library's default also sets SO_REUSEPORT, with which a second watch
  // would share the port of the first and get half of its requests: only
  // SO_REUSEADDR, so that a taken port is refused and a port just freed is
  // not.
  s.server.set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  s.server.set_pre_routing_handler([&s](const httplib::Request& request,
                                        httplib::Response& response) {
    if (!s.host_allowed(request)) {
      response.status = 403;
      response.set_content("this preview answers only to 127.0.0.1 and localhost\n", "text/plain");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (request.method != "GET" && request.method != "HEAD") {
      response.status = 405;
      response.set_content("only GET\n", "text/plain");
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });
  s.server.Get("/", [&s](const httplib::Request&, httplib::Response& response) {
    std::lock_guard<std::mutex> lock(s.mutex);
    response.set_header("Cache-Control", "no-store");
    response.set_content(s.page, "text/html; charset=utf-8");
  });
  s.server.Get("/data.json", [&s](const httplib::Request&, httplib::Response& response) {
    std::lock_guard<std::mutex> lock(s.mutex);
    response.set_header("Cache-Control", "no-store");
    response.set_content(s.data, "application/json");
  });
  s.server.Get("/events", [&s](const httplib::Request&, httplib::Response& response) {
    response.set_header("Cache-Control", "no-store");
    // Each stream holds a worker while it is open: past the limit, a page
    // is told so at once, and the others keep a worker for the page and
    // its data.
    std::shared_ptr<State::StreamSlot> slot = s.take_stream_slot();
    if (!slot) {
      response.status = 503;
      response.set_content("too many preview pages are open (" + std::to_string(kMaxEventStreams) +
                               "): close one and reload this page to have it follow the "
                               "compiles again\n",
                           "text/plain");
      return;
    }
    // The version this stream has announced; -1: none yet, so that a page
    // that connects late still fetches what was published before.
    auto announced = std::make_shared<long>(-1);
    response.set_chunked_content_provider(
        "text/event-stream", [&s, announced, slot](size_t, httplib::DataSink& sink) {
          std::unique_lock<std::mutex> lock(s.mutex);
          s.changed.wait_for(lock, kKeepAlive,
                             [&] { return s.stopping || s.version != *announced; });
          if (s.stopping) {
            sink.done();
            return true;
          }
          std::string message;
          if (s.version != *announced) {
            *announced = s.version;
            message = "event: update\ndata: " + std::to_string(s.version) + "\n\n";
          } else {
            message = ": still here\n\n";
          }
          lock.unlock();
          // A page that went away ends its stream.
          return sink.is_writable() && sink.write(message.data(), message.size());
        });
  });
}

PreviewServer::~PreviewServer() { stop(); }

int PreviewServer::start(int port) {
  State& s = *state_;
  int bound = port == 0 ? s.server.bind_to_any_port(kLoopback)
                        : (s.server.bind_to_port(kLoopback, port) ? port : -1);
  if (bound <= 0) {
    throw ToolError("cannot serve on " + std::string(kLoopback) + ":" + std::to_string(port) +
                    ": the port is taken or not allowed; choose another with --port");
  }
  s.port = bound;
  s.listener = std::thread([&s] { s.server.listen_after_bind(); });
  // Until it runs, stop() would not reach it.
  for (int waited = 0; !s.server.is_running() && waited < 5000; ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return bound;
}

void PreviewServer::publish(std::string page, std::string data) {
  State& s = *state_;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    s.page = std::move(page);
    s.data = std::move(data);
    ++s.version;
  }
  s.changed.notify_all();
}

long PreviewServer::version() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->version;
}

void PreviewServer::stop() {
  State& s = *state_;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    s.stopping = true;
  }
  s.changed.notify_all();
  s.server.stop_reading();
  s.server.stop();
  if (s.listener.joinable()) s.listener.join();
}

}  // namespace tools
