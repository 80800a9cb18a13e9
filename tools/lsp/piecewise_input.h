// A client's bytes arriving in pieces, with a pause after each: at the end
// of a piece the server finds nothing more waiting (in_avail() is 0), as it
// does when an editor's messages come one at a time; after the last piece
// the stream ends. For driving run_lsp in tests and benchmarks.
#ifndef SCENARIO_TOOLS_LSP_PIECEWISE_INPUT_H_
#define SCENARIO_TOOLS_LSP_PIECEWISE_INPUT_H_

#include <cstddef>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

namespace tools::lsp {

class PiecewiseInput : public std::streambuf {
 public:
  explicit PiecewiseInput(std::vector<std::string> pieces) : pieces_(std::move(pieces)) {}

 protected:
  int_type underflow() override {
    while (next_ < pieces_.size() && pieces_[next_].empty()) ++next_;
    if (next_ == pieces_.size()) return traits_type::eof();
    std::string& piece = pieces_[next_++];
    setg(piece.data(), piece.data(), piece.data() + piece.size());
    return traits_type::to_int_type(piece.front());
  }
  std::streamsize showmanyc() override { return next_ == pieces_.size() ? -1 : 0; }

 private:
  std::vector<std::string> pieces_;
  size_t next_ = 0;
};

}  // namespace tools::lsp

#endif  // SCENARIO_TOOLS_LSP_PIECEWISE_INPUT_H_
