#include "tools/preview/guarded_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tools {

namespace {

using Clock = std::chrono::steady_clock;

// How often a wait for the client looks whether the server is stopping.
constexpr int kStopCheckMs = 100;
// A refused client's remaining bytes are read and dropped for at most this
// long and this much, so that it sees the answer rather than a reset.
constexpr int kDrainMs = 500;
constexpr size_t kDrainBytes = 1 << 20;

// Waits until `sock` is ready for `events`, at most `ms`; false on a
// timeout or an error.
bool wait_for(socket_t sock, short events, int ms) {
  pollfd p{sock, events, 0};
  int ready;
  do {
    ready = ::poll(&p, 1, ms);
  } while (ready < 0 && errno == EINTR);
  return ready > 0;
}

int milliseconds(time_t sec, time_t usec) { return static_cast<int>(sec * 1000 + usec / 1000); }

struct Refusal {
  int status;
  const char* reason;
  std::string words;
};

// A request's head as read, or why it was refused; nullopt refusal and an
// empty head: the client went away or was too slow (nothing to answer).
struct Head {
  std::string bytes;  // the head and whatever followed it in the same reads
  std::optional<Refusal> refusal;
  bool complete = false;
};

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

// True when a Content-Length of the head announces more than the limit.
bool body_too_large(std::string_view head) {
  size_t at = head.find('\n');  // past the request line
  while (at != std::string_view::npos && at + 1 < head.size()) {
    const size_t end = head.find('\n', at + 1);
    const std::string_view line =
        head.substr(at + 1, (end == std::string_view::npos ? head.size() : end) - at - 1);
    at = end;
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos ||
        !equal_ignoring_case(trimmed(line.substr(0, colon)), "content-length")) {
      continue;
    }
    const std::string_view value = trimmed(line.substr(colon + 1));
    // A length that is no number is the library's to refuse (400).
    if (value.empty() ||
        !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      continue;
    }
    const std::string_view digits =
        value.substr(std::min(value.find_first_not_of('0'), value.size()));
    if (digits.size() > 12 ||
        std::stoull(std::string(digits.empty() ? "0" : digits)) > GuardedServer::kMaxBodyBytes) {
      return true;
    }
  }
  return false;
}

std::string limit_words(const char* what, size_t limit) {
  return "the request's " + std::string(what) + " is over " + std::to_string(limit) +
         " bytes: this preview serves only its page, its data and its events\n";
}

Head read_head(socket_t sock, const std::atomic<bool>& stopping) {
  Head head;
  const auto deadline = Clock::now() + GuardedServer::kHeadDeadline;
  const size_t most = GuardedServer::kMaxHeadBytes + 4;  // room for the blank line's bytes
  char chunk[4096];
  while (head.bytes.size() < most) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (stopping || left.count() <= 0) return head;
    if (!wait_for(sock, POLLIN, static_cast<int>(std::min<long>(left.count(), kStopCheckMs)))) {
      continue;
    }
    const ssize_t n = ::recv(sock, chunk, std::min(sizeof chunk, most - head.bytes.size()), 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return head;  // gone
    const size_t from = head.bytes.size() < 3 ? 0 : head.bytes.size() - 3;
    head.bytes.append(chunk, static_cast<size_t>(n));

    const size_t line_end = head.bytes.find('\n');
    if ((line_end == std::string::npos ? head.bytes.size() : line_end) >
        GuardedServer::kMaxRequestLine) {
      head.refusal =
          Refusal{414, "URI Too Long", limit_words("line", GuardedServer::kMaxRequestLine)};
      return head;
    }
    size_t end = head.bytes.find("\r\n\r\n", from);
    if (end != std::string::npos) {
      end += 4;
    } else if ((end = head.bytes.find("\n\n", from)) != std::string::npos) {
      end += 2;
    }
    if (end != std::string::npos) {
      if (end > GuardedServer::kMaxHeadBytes) break;
      if (body_too_large(std::string_view(head.bytes).substr(0, end))) {
        head.refusal =
            Refusal{413, "Payload Too Large", limit_words("body", GuardedServer::kMaxBodyBytes)};
        return head;
      }
      head.complete = true;
      return head;
    }
  }
  head.refusal = Refusal{431, "Request Header Fields Too Large",
                         limit_words("header", GuardedServer::kMaxHeadBytes)};
  return head;
}

void send_all(socket_t sock, std::string_view bytes, int ms) {
  while (!bytes.empty() && wait_for(sock, POLLOUT, ms)) {
    const ssize_t n = ::send(sock, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

void refuse(socket_t sock, const Refusal& r) {
  const std::string answer = "HTTP/1.1 " + std::to_string(r.status) + " " + r.reason +
                             "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
                             std::to_string(r.words.size()) + "\r\nConnection: close\r\n\r\n" +
                             r.words;
  send_all(sock, answer, 1000);
  ::shutdown(sock, SHUT_WR);
  const auto end = Clock::now() + std::chrono::milliseconds(kDrainMs);
  char sink[4096];
  for (size_t drained = 0; drained < kDrainBytes;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    if (left.count() <= 0 || !wait_for(sock, POLLIN, static_cast<int>(left.count()))) return;
    const ssize_t n = ::recv(sock, sink, sizeof sink, 0);
    if (n <= 0) return;
    drained += static_cast<size_t>(n);
  }
}

// The socket as the library reads it: first the head already read, then at
// most kMaxBodyBytes more (and a little for a chunked body's framing).
class PrereadStream : public httplib::Stream {
 public:
  PrereadStream(socket_t sock, std::string head, int read_ms, int write_ms)
      : sock_(sock), head_(std::move(head)), read_ms_(read_ms), write_ms_(write_ms) {}

  bool is_readable() const override {
    return at_ < head_.size() || wait_for(sock_, POLLIN, read_ms_);
  }
  bool is_writable() const override { return wait_for(sock_, POLLOUT, write_ms_); }

  ssize_t read(char* ptr, size_t size) override {
    if (at_ < head_.size()) {
      const size_t n = std::min(size, head_.size() - at_);
      std::memcpy(ptr, head_.data() + at_, n);
      at_ += n;
      return static_cast<ssize_t>(n);
    }
    if (body_left_ == 0 || !wait_for(sock_, POLLIN, read_ms_)) return -1;
    ssize_t n;
    do {
      n = ::recv(sock_, ptr, std::min(size, body_left_), 0);
    } while (n < 0 && errno == EINTR);
    if (n > 0) body_left_ -= static_cast<size_t>(n);
    return n;
  }

  ssize_t write(const char* ptr, size_t size) override {
    if (!is_writable()) return -1;
    ssize_t n;
    do {
      n = ::send(sock_, ptr, size, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    return n;
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    address(::getpeername, ip, port);
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    address(::getsockname, ip, port);
  }
  socket_t socket() const override { return sock_; }

 private:
  template <class Lookup>
  void address(Lookup lookup, std::string& ip, int& port) const {
    sockaddr_storage a{};
    socklen_t length = sizeof a;
    ip.clear();
    port = 0;
    if (lookup(sock_, reinterpret_cast<sockaddr*>(&a), &length) != 0) return;
    char text[INET6_ADDRSTRLEN] = {};
    if (a.ss_family == AF_INET) {
      const auto* v4 = reinterpret_cast<const sockaddr_in*>(&a);
      inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
      port = ntohs(v4->sin_port);
    } else if (a.ss_family == AF_INET6) {
      const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&a);
      inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
      port = ntohs(v6->sin6_port);
    }
    ip = text;
  }

  socket_t sock_;
  std::string head_;
  size_t at_ = 0;
  size_t body_left_ = GuardedServer::kMaxBodyBytes + 4096;
  int read_ms_, write_ms_;
};

}  // namespace

GuardedServer::GuardedServer() {
  // The library owns what this returns (it wraps it at once).
  new_task_queue = [] { return std::make_unique<httplib::ThreadPool>(kWorkers).release(); };
  set_payload_max_length(kMaxBodyBytes);
}

bool GuardedServer::process_and_close_socket(socket_t sock) {
  Head head = read_head(sock, stopping_);
  if (head.refusal) {
    refuse(sock, *head.refusal);
  } else if (head.complete) {
    PrereadStream stream(sock, std::move(head.bytes),
                         milliseconds(read_timeout_sec_, read_timeout_usec_),
                         milliseconds(write_timeout_sec_, write_timeout_usec_));
    bool closed = false;
    process_request(stream, /*close_connection=*/true, closed, nullptr);
  }
  ::shutdown(sock, SHUT_RDWR);
  ::close(sock);
  return true;
}

}  // namespace tools
