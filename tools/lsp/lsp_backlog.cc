#include "tools/lsp/lsp_backlog.h"

#include <cctype>
#include <cstring>
#include <istream>
#include <set>

namespace tools::lsp {

namespace {

// Reads JSON text just far enough to tell what a message is. Any doubt (an
// escape in a name or in a value it keeps, a structure it does not expect)
// makes it give up: the message is then read in full like any other.
class Skim {
 public:
  explicit Skim(std::string_view text) : t_(text) {}

  std::optional<std::string> replaced_document() {
    bool version_2 = false, has_id = false, change = false;
    std::optional<std::string> uri;
    bool last_has_text = false;
    if (!object([&](std::string_view key) {
          if (key == "jsonrpc") {
            std::optional<std::string_view> v = plain_string_or_other();
            version_2 = v && *v == "2.0";
          } else if (key == "method") {
            std::optional<std::string_view> v = plain_string_or_other();
            change = v && *v == "textDocument/didChange";
          } else if (key == "id") {
            has_id = true;
            value(0);
          } else if (key == "params") {
            uri.reset();
            last_has_text = false;
            params(uri, last_has_text);
          } else {
            value(0);
          }
        })) {
      return std::nullopt;
    }
    space();
    if (!ok_ || at_ != t_.size()) return std::nullopt;
    if (!version_2 || !change || has_id || !uri || !last_has_text) return std::nullopt;
    return uri;
  }

 private:
  static constexpr int kMaxDepth = 64;

  void space() {
    while (at_ < t_.size() &&
           (t_[at_] == ' ' || t_[at_] == '\t' || t_[at_] == '\n' || t_[at_] == '\r')) {
      ++at_;
    }
  }
  bool next_is(char c) {
    space();
    return at_ < t_.size() && t_[at_] == c;
  }
  bool eat(char c) {
    if (!next_is(c)) return false;
    ++at_;
    return true;
  }
  void fail() { ok_ = false; }

  // A string; its bytes when it holds no escape, else nullopt (still
  // skipped over).
  std::optional<std::string_view> string() {
    if (!eat('"')) {
      fail();
      return std::nullopt;
    }
    const size_t start = at_;
    for (;;) {
      const void* quote = std::memchr(t_.data() + at_, '"', t_.size() - at_);
      if (quote == nullptr) {
        fail();
        return std::nullopt;
      }
      const size_t end = static_cast<size_t>(static_cast<const char*>(quote) - t_.data());
      size_t backslashes = 0;
      while (end - backslashes > start && t_[end - backslashes - 1] == '\\') ++backslashes;
      at_ = end + 1;
      if (backslashes % 2 == 0) {
        const std::string_view s = t_.substr(start, end - start);
        if (s.find('\\') != std::string_view::npos) return std::nullopt;
        return s;
      }
    }
  }

  // A string without escapes; nullopt for any other value (skipped).
  std::optional<std::string_view> plain_string_or_other() {
    if (next_is('"')) return string();
    value(0);
    return std::nullopt;
  }

  // An object, each member's key given to `member`, which reads its value.
  template <class Member>
  bool object(Member member) {
    if (!eat('{')) {
      fail();
      return false;
    }
    if (eat('}')) return ok_;
    do {
      std::optional<std::string_view> key = string();
      if (!key) fail();  // a key with an escape: not sure what it names
      if (!ok_ || !eat(':')) {
        fail();
        return false;
      }
      member(*key);
      if (!ok_) return false;
    } while (eat(','));
    if (!eat('}')) fail();
    return ok_;
  }

  void params(std::optional<std::string>& uri, bool& last_has_text) {
    if (!next_is('{')) {
      value(0);
      return;
    }
    object([&](std::string_view key) {
      if (key == "textDocument") {
        uri.reset();
        if (!next_is('{')) {
          value(0);
          return;
        }
        object([&](std::string_view k) {
          if (k == "uri") {
            std::optional<std::string_view> v = plain_string_or_other();
            if (v) {
              uri = std::string(*v);
            } else {
              uri.reset();
            }
          } else {
            value(0);
          }
        });
      } else if (key == "contentChanges") {
        last_has_text = false;
        if (!eat('[')) {
          value(0);
          return;
        }
        if (eat(']')) return;
        do {
          last_has_text = false;
          if (!next_is('{')) {
            value(1);
            continue;
          }
          object([&](std::string_view k) {
            if (k == "text") {
              last_has_text = next_is('"');
              value(1);
            } else {
              value(1);
            }
          });
        } while (ok_ && eat(','));
        if (!eat(']')) fail();
      } else {
        value(0);
      }
    });
  }

  // Any value, skipped.
  void value(int depth) {
    if (!ok_) return;
    if (depth > kMaxDepth) {
      fail();
      return;
    }
    space();
    if (at_ >= t_.size()) {
      fail();
      return;
    }
    const char c = t_[at_];
    if (c == '"') {
      string();
    } else if (c == '{') {
      object([&](std::string_view) { value(depth + 1); });
    } else if (c == '[') {
      ++at_;
      if (eat(']')) return;
      do {
        value(depth + 1);
      } while (ok_ && eat(','));
      if (!eat(']')) fail();
    } else {
      const size_t start = at_;
      while (at_ < t_.size() && (std::isalnum(static_cast<unsigned char>(t_[at_])) ||
                                 t_[at_] == '-' || t_[at_] == '+' || t_[at_] == '.')) {
        ++at_;
      }
      if (at_ == start) fail();
    }
  }

  std::string_view t_;
  size_t at_ = 0;
  bool ok_ = true;
};

}  // namespace

std::vector<Frame> read_backlog(std::istream& in) {
  std::vector<Frame> frames;
  size_t bytes = 0;
  do {
    frames.push_back(read_frame(in));
    bytes += frames.back().body.size();
  } while (frames.back().status != FrameStatus::kEnd && bytes < kMaxBacklogBytes &&
           more_waiting(in));
  return frames;
}

bool more_waiting(std::istream& in) { return in.rdbuf() != nullptr && in.rdbuf()->in_avail() > 0; }

std::optional<std::string> replaced_document(std::string_view body) {
  return Skim(body).replaced_document();
}

std::vector<bool> replaced_later(const std::vector<Frame>& frames) {
  std::vector<bool> replaced(frames.size(), false);
  std::set<std::string> changed_later;  // in the run of changes that follows
  for (size_t i = frames.size(); i-- > 0;) {
    std::optional<std::string> uri;
    if (frames[i].status == FrameStatus::kMessage) uri = replaced_document(frames[i].body);
    if (!uri) {
      changed_later.clear();
      continue;
    }
    replaced[i] = changed_later.count(*uri) > 0;
    changed_later.insert(std::move(*uri));
  }
  return replaced;
}

}  // namespace tools::lsp
