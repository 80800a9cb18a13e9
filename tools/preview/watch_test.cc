// scenario_tool watch end to end in one process: the preview served over
// HTTP, a save compiled and announced, a failing description that keeps the
// last good picture, the server's refusals, and a stop that ends open event
// streams.
#include "tools/preview/watch.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "compiled/compiled_set.h"
#include "compiled/test_scenario.h"
#include "tools/preview/guarded_server.h"
#include "tools/preview/preview_server.h"

namespace tools {
namespace {

using testing::kSmallRoute;
using testing::kSmallTrain;
using testing::TempFolder;
using testing::write_file;
using Clock = std::chrono::steady_clock;

// A watch running on a thread, on a free port, over the small pair.
class Watching {
 public:
  explicit Watching(const TempFolder& dir, int port = 0) {
    route_ = dir.path() / "LINEA_linea.txt";
    train_ = dir.path() / "LINEA_TR1-.txt";
    if (!std::filesystem::exists(route_)) write_file(route_, kSmallRoute);
    if (!std::filesystem::exists(train_)) write_file(train_, kSmallTrain);
    options_.compile.route = route_;
    options_.compile.train = train_;
    options_.compile.out = dir.path() / "out";
    options_.compile.line_name = "LINEA";
    options_.compile.train_code = "TR1";
    options_.port = port;
    options_.poll = std::chrono::milliseconds(20);
    std::promise<int> serving;
    std::future<int> port_future = serving.get_future();
    options_.on_serving = [&serving](int p) { serving.set_value(p); };
    thread_ = std::thread([this] {
      try {
        run_watch(
            options_, [this] { return stop_.load(); }, log_);
      } catch (...) {
        failure_ = std::current_exception();
        stop_ = true;
      }
    });
    if (port_future.wait_for(std::chrono::seconds(10)) == std::future_status::ready) {
      port_ = port_future.get();
    }
  }
  ~Watching() { stop(); }

  // Stops the watch and returns how long it took to end.
  std::chrono::milliseconds stop() {
    const auto start = Clock::now();
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  }

  int port() const { return port_; }
  std::exception_ptr failure() const { return failure_; }
  const std::filesystem::path& route() const { return route_; }

  nlohmann::json data() {
    httplib::Client client("127.0.0.1", port_);
    auto r = client.Get("/data.json");
    if (!r || r->status != 200) return nullptr;
    return nlohmann::json::parse(r->body);
  }

  // Polls /data.json until `done` holds for it, at most `limit`. Returns the
  // data that held, or null.
  template <class Done>
  nlohmann::json wait_for(Done done, std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (Clock::now() < end) {
      nlohmann::json d = data();
      if (!d.is_null() && done(d)) return d;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return nullptr;
  }

 private:
  std::filesystem::path route_, train_;
  WatchOptions options_;
  std::atomic<bool> stop_{false};
  std::ostringstream log_;  // written by the watch thread only, read after join
  std::thread thread_;
  int port_ = 0;
  std::exception_ptr failure_;
};

bool has_error(const nlohmann::json& d) {
  for (const auto& x : d["diagnostics"]) {
    if (x["error"] == true) return true;
  }
  return false;
}

int first_gradient(const nlohmann::json& d) { return d["gradient"][0][2].get<int>(); }

std::string with_gradient(const char* row) {
  std::string route = kSmallRoute;
  const std::string old_row = "pendenza, 0, 5";
  route.replace(route.find(old_row), old_row.size(), row);
  return route;
}

TEST(WatchTest, ASaveIsCompiledAndAFailureKeepsTheLastGoodPicture) {
  TempFolder dir("watch");
  Watching w(dir);
  ASSERT_NE(w.port(), 0);
  nlohmann::json d = w.data();
  ASSERT_FALSE(d.is_null());
  EXPECT_EQ(first_gradient(d), 5);
  ASSERT_EQ(d["stations"].size(), 2u);
  EXPECT_EQ(d["stations"][0]["name"], "ALFA");
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "out" / "LINEA_TR1.dat"));

  // An open page's event stream, counting the updates it is told of.
  std::atomic<int> updates{0};
  std::thread page([&] {
    httplib::Client client("127.0.0.1", w.port());
    client.set_read_timeout(std::chrono::seconds(30));
    client.Get("/events", [&](const char* bytes, size_t size) {
      std::string chunk(bytes, size);
      for (size_t at = 0; (at = chunk.find("event: update", at)) != std::string::npos; ++at) {
        ++updates;
      }
      return true;
    });
  });
  // Connecting, the page is told once to fetch what there is.
  for (int i = 0; i < 500 && updates == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(updates, 1);

  // A save: compiled and served within half a second.
  const auto saved = Clock::now();
  write_file(w.route(), with_gradient("pendenza, 0, 12"));
  d = w.wait_for([](const nlohmann::json& x) { return first_gradient(x) == 12; },
                 std::chrono::milliseconds(2000));
  ASSERT_FALSE(d.is_null()) << "the new gradient was never served";
  EXPECT_LT(Clock::now() - saved, std::chrono::milliseconds(500));
  EXPECT_FALSE(has_error(d));
  for (int i = 0; i < 500 && updates < 2; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(updates, 2);

  // A route that fails: the data carries the error and no picture, so the
  // open page keeps its own; a page loaded now shows the last good picture
  // with the error.
  write_file(w.route(), with_gradient("pendenza, 99999, 12"));
  d = w.wait_for(has_error, std::chrono::milliseconds(2000));
  ASSERT_FALSE(d.is_null()) << "the error was never served";
  EXPECT_TRUE(d["names"]["files"].empty());
  EXPECT_TRUE(d["stations"].empty());
  const std::string heading = d["diagnostics"][0]["heading"];
  EXPECT_NE(heading.find("LINEA_linea.txt:"), std::string::npos) << heading;
  httplib::Client client("127.0.0.1", w.port());
  auto page_now = client.Get("/");
  ASSERT_TRUE(page_now);
  EXPECT_NE(page_now->body.find("ALFA"), std::string::npos);
  EXPECT_NE(page_now->body.find("LINEA_linea.txt:"), std::string::npos);

  // Mended: drawn again.
  write_file(w.route(), kSmallRoute);
  d = w.wait_for([](const nlohmann::json& x) { return !has_error(x) && !x["stations"].empty(); },
                 std::chrono::milliseconds(2000));
  ASSERT_FALSE(d.is_null());
  EXPECT_EQ(first_gradient(d), 5);

  // A description that goes away is an error too, not the end of the watch.
  std::filesystem::remove(w.route());
  d = w.wait_for(has_error, std::chrono::milliseconds(2000));
  ASSERT_FALSE(d.is_null());
  EXPECT_NE(d["diagnostics"][0]["heading"].get<std::string>().find("LINEA_linea.txt"),
            std::string::npos);

  // Stopping ends the open event stream too, at once.
  EXPECT_LT(w.stop(), std::chrono::milliseconds(1000));
  page.join();
  EXPECT_EQ(w.failure(), nullptr);
}

TEST(WatchTest, TheServerAnswersOnlyWhatItServes) {
  TempFolder dir("watch_http");
  Watching w(dir);
  ASSERT_NE(w.port(), 0);
  httplib::Client client("127.0.0.1", w.port());
  struct Case {
    const char* method;
    const char* path;
    const char* host;  // null: the client's own
    int status;
  };
  const std::string port = std::to_string(w.port());
  for (const Case& c :
       {Case{"GET", "/", nullptr, 200}, Case{"GET", "/data.json", nullptr, 200},
        Case{"GET", "/nothing", nullptr, 404}, Case{"POST", "/", nullptr, 405},
        Case{"GET", "/data.json", "attacker.example", 403}, Case{"GET", "/", "localhost", 403}}) {
    SCOPED_TRACE(std::string(c.method) + " " + c.path);
    httplib::Headers headers;
    if (c.host) headers.emplace("Host", c.host);
    auto r = std::string(c.method) == "GET" ? client.Get(c.path, headers)
                                            : client.Post(c.path, headers, "x", "text/plain");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, c.status);
  }
  auto named = client.Get("/", {{"Host", "localhost:" + port}});
  ASSERT_TRUE(named);
  EXPECT_EQ(named->status, 200);
  EXPECT_EQ(named->body.rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_NE(named->body.find("data-live=\"1\""), std::string::npos);

  // The same port again: refused with the way out.
  WatchOptions again;
  again.compile.route = w.route();
  again.compile.train = dir.path() / "LINEA_TR1-.txt";
  again.compile.out = dir.path() / "out2";
  again.port = w.port();
  std::ostringstream log;
  try {
    run_watch(
        again, [] { return true; }, log);
    ADD_FAILURE() << "a taken port was not refused";
  } catch (const ToolError& e) {
    EXPECT_NE(std::string(e.what()).find("choose another with --port"), std::string::npos);
  }
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "out2"));
}

// Sends `request` on a connection of its own and returns all the server
// answers before it closes.
std::string exchange(int port, const std::string& request) {
  const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
  if (sock < 0) return "";
  timeval wait{10, 0};
  setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  setsockopt(sock, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string answer;
  if (::connect(sock, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) {
    size_t sent = 0;
    while (sent < request.size()) {
      const ssize_t n = ::send(sock, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) break;
      sent += static_cast<size_t>(n);
    }
    char chunk[4096];
    for (ssize_t n; (n = ::recv(sock, chunk, sizeof chunk, 0)) > 0;) {
      answer.append(chunk, static_cast<size_t>(n));
    }
  }
  ::close(sock);
  return answer;
}

TEST(PreviewServerTest, RequestsOverTheLimitsAreAnsweredBeforeTheyAreRead) {
  PreviewServer server;
  const int port = server.start(0);
  server.publish("<p>the page</p>", "{}");
  const std::string host = "Host: 127.0.0.1:" + std::to_string(port) + "\r\n";
  struct Case {
    const char* what;
    std::string request;
    const char* status_line;
    const char* words;
  };
  const Case cases[] = {
      {"an ordinary request", "GET / HTTP/1.1\r\n" + host + "\r\n", "HTTP/1.1 200", "the page"},
      {"a long request line",
       "GET /" + std::string(GuardedServer::kMaxRequestLine, 'a') + " HTTP/1.1\r\n" + host + "\r\n",
       "HTTP/1.1 414", "line is over 8192 bytes"},
      {"long headers",
       "GET / HTTP/1.1\r\n" + host +
           "X-Padding: " + std::string(GuardedServer::kMaxHeadBytes, 'b') + "\r\n\r\n",
       "HTTP/1.1 431", "header is over 65536 bytes"},
      {"many short headers",
       [&] {
         std::string r = "GET / HTTP/1.1\r\n" + host;
         for (int i = 0; i < 10000; ++i) r += "X-" + std::to_string(i) + ": 1\r\n";
         return r + "\r\n";
       }(),
       "HTTP/1.1 431", "header is over"},
      // The bodies announced are never sent: the answer cannot wait for them.
      {"a large body announced", "POST / HTTP/1.1\r\n" + host + "Content-Length: 500000000\r\n\r\n",
       "HTTP/1.1 413", "body is over 65536 bytes"},
      {"a larger one than any number",
       "GET / HTTP/1.1\r\n" + host + "content-length:  99999999999999999999999\r\n\r\n",
       "HTTP/1.1 413", "body is over"},
      {"a small body", "POST / HTTP/1.1\r\n" + host + "Content-Length: 1\r\n\r\nx", "HTTP/1.1 405",
       "only GET"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto start = Clock::now();
    const std::string answer = exchange(port, c.request);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(answer.rfind(c.status_line, 0), 0u) << answer.substr(0, 200);
    EXPECT_NE(answer.find(c.words), std::string::npos) << answer.substr(0, 400);
  }
  // And the server still serves.
  httplib::Client client("127.0.0.1", port);
  auto r = client.Get("/");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 200);
}

TEST(PreviewServerTest, OpenPagesNeverStarveThePageAndOneTooManyIsToldSo) {
  PreviewServer server;
  const int port = server.start(0);
  server.publish("<p>the page</p>", "{\"x\": 1}");

  // Every event stream the server keeps open, each told of the publish.
  std::atomic<int> told{0};
  std::vector<std::thread> pages;
  for (int i = 0; i < kMaxEventStreams; ++i) {
    pages.emplace_back([&] {
      httplib::Client client("127.0.0.1", port);
      client.set_read_timeout(std::chrono::seconds(60));
      bool counted = false;
      client.Get("/events", [&](const char* bytes, size_t size) {
        if (!counted && std::string_view(bytes, size).find("event: update") != std::string::npos) {
          counted = true;
          ++told;
        }
        return true;
      });
    });
  }
  for (int i = 0; i < 1000 && told < kMaxEventStreams; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(told, kMaxEventStreams);

  httplib::Client client("127.0.0.1", port);
  client.set_read_timeout(std::chrono::seconds(10));
  const auto start = Clock::now();
  auto page = client.Get("/");
  auto data = client.Get("/data.json");
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_EQ(page->body, "<p>the page</p>");
  ASSERT_TRUE(data);
  EXPECT_EQ(data->body, "{\"x\": 1}");

  auto one_more = client.Get("/events");
  ASSERT_TRUE(one_more);
  EXPECT_EQ(one_more->status, 503);
  EXPECT_NE(one_more->body.find("too many preview pages are open (32)"), std::string::npos)
      << one_more->body;

  // Stopping ends them all.
  const auto stopping = Clock::now();
  server.stop();
  for (std::thread& t : pages) t.join();
  EXPECT_LT(Clock::now() - stopping, std::chrono::seconds(5));
}

}  // namespace
}  // namespace tools
