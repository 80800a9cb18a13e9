#include "tools/preview/xml_check.h"

#include <cstdint>
#include <set>

namespace tools::testing {

namespace {

bool valid_utf8(std::string_view s, std::string& error) {
  for (size_t i = 0; i < s.size();) {
    auto b = static_cast<unsigned char>(s[i]);
    size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) {
      error = "invalid UTF-8 at byte " + std::to_string(i);
      return false;
    }
    for (size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) {
        error = "invalid UTF-8 at byte " + std::to_string(i);
        return false;
      }
    }
    if (n == 1 && b < 0x20 && b != '\t' && b != '\n' && b != '\r') {
      error = "control character at byte " + std::to_string(i);
      return false;
    }
    i += n;
  }
  return true;
}

bool name_start(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' ||
         static_cast<unsigned char>(c) >= 0x80;
}
bool name_char(char c) { return name_start(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

class Parser {
 public:
  explicit Parser(std::string_view doc) : s_(doc) {}

  XmlResult run() {
    XmlResult r;
    if (!valid_utf8(s_, error_)) {
      r.error = error_;
      return r;
    }
    misc();
    if (!error_.empty() || !starts("<")) {
      r.error = error_.empty() ? "no root element" : error_;
      return r;
    }
    r.root = element();
    if (error_.empty()) misc();
    if (error_.empty() && pos_ != s_.size()) fail("content after the root element");
    r.error = error_;
    if (!r.error.empty()) r.root.reset();
    return r;
  }

 private:
  bool starts(std::string_view t) const { return s_.substr(pos_, t.size()) == t; }
  void fail(const std::string& what) {
    if (error_.empty()) error_ = what + " at byte " + std::to_string(pos_);
  }
  void blanks() {
    while (pos_ < s_.size() &&
           (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r')) {
      ++pos_;
    }
  }
  bool skip_to(std::string_view end) {
    size_t at = s_.find(end, pos_);
    if (at == std::string_view::npos) {
      fail("unterminated markup");
      return false;
    }
    pos_ = at + end.size();
    return true;
  }
  // Declaration, comments, processing instructions and blanks.
  void misc() {
    for (;;) {
      blanks();
      if (starts("<?")) {
        if (!skip_to("?>")) return;
      } else if (starts("<!--")) {
        if (!skip_to("-->")) return;
      } else {
        return;
      }
    }
  }
  std::string name() {
    size_t start = pos_;
    if (pos_ >= s_.size() || !name_start(s_[pos_])) {
      fail("expected a name");
      return {};
    }
    while (pos_ < s_.size() && name_char(s_[pos_])) ++pos_;
    return std::string(s_.substr(start, pos_ - start));
  }
  // Character data up to `stop`, with references resolved.
  std::string chars(char stop) {
    std::string out;
    while (pos_ < s_.size() && s_[pos_] != stop) {
      char c = s_[pos_];
      if (c == '<') {
        fail("\"<\" inside a value");
        return out;
      }
      if (c != '&') {
        out += c;
        ++pos_;
        continue;
      }
      size_t semi = s_.find(';', pos_);
      if (semi == std::string_view::npos || semi - pos_ > 10) {
        fail("\"&\" without a reference");
        return out;
      }
      std::string_view ref = s_.substr(pos_ + 1, semi - pos_ - 1);
      if (ref == "amp")
        out += '&';
      else if (ref == "lt")
        out += '<';
      else if (ref == "gt")
        out += '>';
      else if (ref == "quot")
        out += '"';
      else if (ref == "apos")
        out += '\'';
      else if (ref.size() > 1 && ref[0] == '#') {
        bool hex = ref[1] == 'x';
        std::string_view digits = ref.substr(hex ? 2 : 1);
        if (digits.empty()) fail("empty character reference");
        for (char d : digits) {
          bool ok =
              (d >= '0' && d <= '9') || (hex && ((d >= 'a' && d <= 'f') || (d >= 'A' && d <= 'F')));
          if (!ok) fail("bad character reference");
        }
        out += '?';
      } else {
        fail("unknown entity &" + std::string(ref) + ";");
        return out;
      }
      pos_ = semi + 1;
    }
    return out;
  }
  std::unique_ptr<XmlElement> element() {
    auto e = std::make_unique<XmlElement>();
    ++pos_;  // '<'
    e->name = name();
    for (;;) {
      size_t before = pos_;
      blanks();
      if (!error_.empty() || pos_ >= s_.size()) return fail("unterminated tag"), std::move(e);
      if (starts("/>")) {
        pos_ += 2;
        return e;
      }
      if (s_[pos_] == '>') {
        ++pos_;
        break;
      }
      if (pos_ == before) return fail("expected a blank before an attribute"), std::move(e);
      std::string key = name();
      blanks();
      if (pos_ >= s_.size() || s_[pos_] != '=') return fail("expected \"=\""), std::move(e);
      ++pos_;
      blanks();
      if (pos_ >= s_.size() || (s_[pos_] != '"' && s_[pos_] != '\'')) {
        return fail("attribute value not quoted"), std::move(e);
      }
      char quote = s_[pos_++];
      std::string value = chars(quote);
      if (pos_ >= s_.size()) return fail("unterminated attribute value"), std::move(e);
      ++pos_;
      if (!e->attributes.emplace(key, value).second) fail("attribute " + key + " given twice");
      if (!error_.empty()) return e;
    }
    // Content.
    for (;;) {
      if (!error_.empty()) return e;
      if (pos_ >= s_.size()) return fail("element <" + e->name + "> not closed"), std::move(e);
      if (starts("</")) {
        pos_ += 2;
        std::string end = name();
        if (end != e->name) return fail("</" + end + "> closes <" + e->name + ">"), std::move(e);
        blanks();
        if (pos_ >= s_.size() || s_[pos_] != '>') return fail("expected \">\""), std::move(e);
        ++pos_;
        return e;
      }
      if (starts("<!--")) {
        if (!skip_to("-->")) return e;
      } else if (starts("<?")) {
        if (!skip_to("?>")) return e;
      } else if (starts("<")) {
        e->children.push_back(element());
      } else {
        e->text += chars('<');
      }
    }
  }

  std::string_view s_;
  size_t pos_ = 0;
  std::string error_;
};

void collect(const XmlElement& e, std::string_view name, std::vector<const XmlElement*>& out) {
  if (e.name == name) out.push_back(&e);
  for (const auto& c : e.children) collect(*c, name, out);
}

}  // namespace

std::vector<const XmlElement*> XmlElement::all(std::string_view element_name) const {
  std::vector<const XmlElement*> out;
  collect(*this, element_name, out);
  return out;
}

XmlResult parse_xml(std::string_view document) { return Parser(document).run(); }

}  // namespace tools::testing
