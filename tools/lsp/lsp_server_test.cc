// The language server driven by a scripted client through in-memory
// streams: the built-in pair, changes with planted faults and their fixes,
// hover, completion, symbols and the protocol's error replies.
#include "tools/lsp/lsp_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/compile_pass.h"
#include "compiled/text.h"
#include "model/cell_values.h"
#include "model/scenario.h"
#include "platform/files.h"
#include "platform/memory_file_system.h"
#include "tools/compile/compile_command.h"
#include "tools/lsp/lsp_backlog.h"
#include "tools/lsp/lsp_documents.h"
#include "tools/lsp/lsp_protocol.h"
#include "tools/lsp/piecewise_input.h"

namespace tools {
namespace {

using json = nlohmann::json;

constexpr char kRouteUri[] = "file:///w/BRENTALVO_linea.txt";
constexpr char kTrainUri[] = "file:///w/BRENTALVO_TRN4417-.txt";

std::string framed(const std::string& body) {
  return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

json request(int id, const std::string& method, json params = json::object()) {
  return json{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", std::move(params)}};
}
json note(const std::string& method, json params = json::object()) {
  return json{{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}};
}
json open(const std::string& uri, const std::string& text) {
  return note("textDocument/didOpen",
              json{{"textDocument",
                    json{{"uri", uri}, {"languageId", "text"}, {"version", 1}, {"text", text}}}});
}
json change(const std::string& uri, const std::string& text) {
  return note("textDocument/didChange",
              json{{"textDocument", json{{"uri", uri}, {"version", 2}}},
                   {"contentChanges", json::array({json{{"text", text}}})}});
}
json at(int id, const std::string& method, const std::string& uri, int line, int character) {
  return request(id, method,
                 json{{"textDocument", json{{"uri", uri}}},
                      {"position", json{{"line", line}, {"character", character}}}});
}

// One session: the client's bytes in, the server's messages and status out.
struct Session {
  std::vector<json> replies;
  int status = -1;

  // The reply to request `id`.
  const json& reply(int id) const {
    for (const json& m : replies) {
      if (m.contains("id") && m["id"] == id) return m;
    }
    ADD_FAILURE() << "no reply to " << id;
    static const json kNone;
    return kNone;
  }
  // The diagnostics last published for `uri`.
  json diagnostics(const std::string& uri) const {
    json last;
    for (const json& m : replies) {
      if (m.value("method", "") == "textDocument/publishDiagnostics" && m["params"]["uri"] == uri) {
        last = m["params"]["diagnostics"];
      }
    }
    return last;
  }
  // Every publication for `uri`, in order.
  std::vector<json> publications(const std::string& uri) const {
    std::vector<json> all;
    for (const json& m : replies) {
      if (m.value("method", "") == "textDocument/publishDiagnostics" && m["params"]["uri"] == uri) {
        all.push_back(m["params"]["diagnostics"]);
      }
    }
    return all;
  }
};

Session run_pieces(std::vector<std::string> pieces, platform::FileSystem& disk) {
  lsp::PiecewiseInput input(std::move(pieces));
  std::istream in(&input);
  std::ostringstream out;
  Session s;
  s.status = run_lsp(in, out, disk);
  std::istringstream back(out.str());
  for (;;) {
    lsp::Frame f = lsp::read_frame(back);
    if (f.status != lsp::FrameStatus::kMessage) break;
    s.replies.push_back(json::parse(f.body));
  }
  return s;
}

// All the client's bytes sent at once.
Session run_raw(const std::string& input, platform::FileSystem& disk) {
  return run_pieces({input}, disk);
}

// Initialize, the messages, shutdown and exit, each arriving after a pause.
Session run(const std::vector<json>& messages, platform::FileSystem& disk, bool end = true) {
  std::vector<std::string> input;
  input.push_back(framed(
      request(1000, "initialize",
              json{{"capabilities",
                    json{{"textDocument",
                          json{{"completion",
                                json{{"completionItem", json{{"snippetSupport", true}}}}}}}}}})
          .dump()));
  input.push_back(framed(note("initialized").dump()));
  for (const json& m : messages) input.push_back(framed(m.dump()));
  if (end) {
    input.push_back(framed(request(1001, "shutdown").dump()));
    input.push_back(framed(note("exit").dump()));
  }
  return run_pieces(std::move(input), disk);
}

class LspServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::MemoryFileSystem built;
    write_builtin("/b", false, built);
    route_ = to_utf8(built.contents("/b/BRENTALVO_linea.txt"));
    train_ = to_utf8(built.contents("/b/BRENTALVO_TRN4417-.txt"));
    disk_.add_folder("/w");
  }

  // The text with the first `from` after `after` replaced by `to`.
  static std::string replaced(std::string text, const std::string& from, const std::string& to,
                              const std::string& after = "") {
    const size_t start = after.empty() ? 0 : text.find(after);
    const size_t at = text.find(from, start);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
  }
  // The line (from 0) holding `needle`, and the column of `needle` in it.
  static std::pair<int, int> where(const std::string& text, const std::string& needle) {
    const size_t at = text.find(needle);
    EXPECT_NE(at, std::string::npos) << needle;
    int line = 0;
    size_t line_start = 0;
    for (size_t i = 0; i < at; ++i) {
      if (text[i] == '\n') {
        ++line;
        line_start = i + 1;
      }
    }
    return {line, static_cast<int>(at - line_start)};
  }

  platform::MemoryFileSystem disk_;
  std::string route_, train_;
};

TEST_F(LspServerTest, BuiltinPairHasNoDiagnosticsAndNothingIsWritten) {
  const Session s = run({open(kRouteUri, route_), open(kTrainUri, train_)}, disk_);
  EXPECT_EQ(s.status, 0);
  EXPECT_EQ(s.reply(1000)["result"]["capabilities"]["textDocumentSync"]["change"], 1);
  EXPECT_EQ(s.diagnostics(kRouteUri), json::array());
  EXPECT_EQ(s.diagnostics(kTrainUri), json::array());
  // Nothing was written: the disk holds only its empty folder.
  EXPECT_TRUE(disk_.files().empty());
}

TEST_F(LspServerTest, PlantedFaultsAreShownWhereTheyAreAndClearedByTheirFix) {
  const std::string misspelt = replaced(route_, "pendenza", "pendenxa");
  // Two signs on one cell: the second sign row gets the first one's position.
  const auto [sign_line, sign_column] = where(route_, "32250");
  const auto [first_sign_line, first_sign_column] = where(route_, "cartello_indicatore,  31000");
  const std::string taken = replaced(route_, "32250", "31000");
  const Session s =
      run({open(kRouteUri, route_), open(kTrainUri, train_), change(kRouteUri, misspelt),
           change(kRouteUri, taken), change(kRouteUri, route_)},
          disk_);
  const std::vector<json> published = s.publications(kRouteUri);
  ASSERT_EQ(published.size(), 5u);  // the train's opening publishes both

  ASSERT_EQ(published[2].size(), 1u);
  const json& warning = published[2][0];
  EXPECT_EQ(warning["severity"], 2);
  EXPECT_EQ(warning["code"], "unknown-row");
  EXPECT_NE(warning["message"].get<std::string>().find("did you mean \"pendenza\""),
            std::string::npos);
  const auto [misspelt_line, misspelt_column] = where(misspelt, "pendenxa");
  EXPECT_EQ(warning["range"]["start"],
            (json{{"line", misspelt_line}, {"character", misspelt_column}}));
  EXPECT_EQ(warning["range"]["end"]["character"], misspelt_column + 8);

  // The error, and a mark on the sign row that took its cell; each points
  // at the other.
  ASSERT_EQ(published[3].size(), 2u);
  const json& error = published[3][0];
  EXPECT_EQ(error["severity"], 1);
  EXPECT_EQ(error["code"], 6);
  EXPECT_EQ(error["range"]["start"], (json{{"line", sign_line}, {"character", sign_column}}));
  EXPECT_EQ(error["range"]["end"], (json{{"line", sign_line}, {"character", sign_column + 5}}));
  const json first_sign{{"line", first_sign_line}, {"character", first_sign_column}};
  ASSERT_EQ(error["relatedInformation"].size(), 1u) << error.dump();
  EXPECT_EQ(error["relatedInformation"][0]["location"]["uri"], kRouteUri);
  EXPECT_EQ(error["relatedInformation"][0]["location"]["range"]["start"], first_sign);
  EXPECT_EQ(error["relatedInformation"][0]["message"],
            "cell 621 is taken by the route sign of this row");
  const json& occupant = published[3][1];
  EXPECT_EQ(occupant["severity"], 3);
  EXPECT_FALSE(occupant.contains("code"));
  EXPECT_EQ(occupant["range"]["start"], first_sign);
  EXPECT_EQ(occupant["relatedInformation"][0]["location"]["range"]["start"],
            error["range"]["start"]);

  EXPECT_EQ(published[4], json::array());
}

// Every error of the pair at once, with the warnings below them: two signs
// on a taken cell (the second found by reading on past the first), a
// misspelt row after them, and a train whose heading is misspelt, read only
// once the route's rows are passed over.
TEST_F(LspServerTest, EveryErrorAndWarningOfThePairTogether) {
  std::string route = replaced(route_, "32250", "31000");
  route = replaced(route, "cartello_indicatore,  33800", "cartello_indicatore,  31000");
  route = replaced(route, "cartello_indicatore,  60100", "cartelo_indicatore,  60100");
  const std::string train = replaced(train_, "[generale]", "[generalle]");
  const Session s = run({open(kRouteUri, route), open(kTrainUri, train)}, disk_);

  // The errors and the warning; the marks of their rows' places (severity
  // 3, information) are read back elsewhere.
  json diagnostics = json::array();
  for (const json& d : s.diagnostics(kRouteUri)) {
    if (d["severity"] != 3) diagnostics.push_back(d);
  }
  ASSERT_EQ(diagnostics.size(), 3u) << diagnostics;
  const struct {
    const char* needle;
    int severity;
    json code;
    bool read_on;
  } expected[] = {{"cartello_indicatore,  31000,   (GALLERIA       )(ARTIFICIALE", 1, 6, false},
                  {"cartello_indicatore,  31000,   (GALLERIA 1", 1, 6, true},
                  {"cartelo_indicatore", 2, "unknown-row", true}};
  for (size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(expected[i].needle);
    const json& d = diagnostics[i];
    EXPECT_EQ(d["severity"], expected[i].severity);
    EXPECT_EQ(d["code"], expected[i].code);
    const auto [line, column] = where(route, expected[i].needle);
    EXPECT_EQ(d["range"]["start"]["line"], line);
    if (expected[i].code == 6) {
      EXPECT_EQ(d["range"]["start"]["character"], column + 22);  // the position field
    }
    const bool read_on = d["message"].get<std::string>().find(
                             "found by reading on past the other "
                             "errors") != std::string::npos;
    EXPECT_EQ(read_on, expected[i].read_on) << d["message"];
  }

  const json train_diagnostics = s.diagnostics(kTrainUri);
  ASSERT_EQ(train_diagnostics.size(), 1u) << train_diagnostics;
  EXPECT_EQ(train_diagnostics[0]["severity"], 1);
  EXPECT_EQ(train_diagnostics[0]["code"], "no-train");
}

// A row that fails on the next line (its comma after the keyword missing):
// the error points at the row, and the row gets a mark of its own.
TEST_F(LspServerTest, TheRowThatHoldsTheFaultIsMarkedToo) {
  const std::string route =
      "[generale]\r\nlunghezza percorso, 100000\r\n[pendenze]\r\npendenza, 0, 5\r\n"
      "pendenza 5000, 12\r\npendenza, 6000, 3\r\n[fine]\r\n";
  const Session s = run({open(kRouteUri, route), open(kTrainUri, train_)}, disk_);
  const json d = s.diagnostics(kRouteUri);
  ASSERT_EQ(d.size(), 2u) << d.dump();
  const json row_start{{"line", 4}, {"character", 0}};
  EXPECT_EQ(d[0]["code"], 25);
  EXPECT_EQ(d[0]["range"]["start"], (json{{"line", 5}, {"character", 0}}));
  EXPECT_NE(d[0]["message"].get<std::string>().find("a comma may be missing after the keyword"),
            std::string::npos);
  ASSERT_EQ(d[0]["relatedInformation"].size(), 1u);
  EXPECT_EQ(d[0]["relatedInformation"][0]["location"]["uri"], kRouteUri);
  EXPECT_EQ(d[0]["relatedInformation"][0]["location"]["range"]["start"], row_start);
  EXPECT_EQ(d[0]["relatedInformation"][0]["message"], "in the gradient row that begins here");
  EXPECT_EQ(d[1]["severity"], 3);
  EXPECT_EQ(d[1]["range"]["start"], row_start);
  EXPECT_EQ(d[1]["relatedInformation"][0]["location"]["range"]["start"], d[0]["range"]["start"]);
  EXPECT_EQ(s.diagnostics(kTrainUri), json::array());
}

TEST_F(LspServerTest, ColumnsCountUtf16UnitsOfTheClientsText) {
  // A note with a letter of the code page and one it lacks (outside the
  // BMP: two UTF-16 units), then a misspelt keyword on the same line.
  const std::string text =
      "[generale]\r\nnumero vetture, 5\r\n\xE2\x82\xAC\xF0\x9D\x84\x9E note, sabbiz, "
      "1\r\n[fine]\r\n";
  const Session s = run({open("file:///w/X_T-.txt", text)}, disk_);
  const json d = s.diagnostics("file:///w/X_T-.txt");
  ASSERT_EQ(d.size(), 1u) << d.dump();
  // The keyword is byte 10 of the checked line; before it, 9 characters
  // are 10 UTF-16 units.
  EXPECT_EQ(d[0]["range"]["start"], (json{{"line", 2}, {"character", 10}}));
  EXPECT_EQ(d[0]["range"]["end"], (json{{"line", 2}, {"character", 16}}));

  EXPECT_EQ(lsp::cp1252_from_utf8("\xE2\x82\xAC\xC3\x88\xF0\x9D\x84\x9E"
                                  "a"),
            "\x80\xC8?a");
  const std::string astral =
      "\xF0\x9D\x84\x9E"
      "ab";
  EXPECT_EQ(lsp::utf16_units(astral, 2), 3);
  EXPECT_EQ(lsp::chars_before(astral, 3), 2);
  EXPECT_EQ(lsp::chars_before(astral, 5), std::nullopt);
}

// The range of a field counts UTF-16 units of the client's text at both
// ends: a character outside the BMP is one byte of the checked text ("?")
// but two units, a letter of the code page one byte and one unit.
TEST_F(LspServerTest, RangesEndInUtf16UnitsOfTheField) {
  const std::string astral = "\xF0\x9D\x84\x9E";  // two units, one byte
  const std::string e_grave = "\xC3\xA8";         // one unit, one byte
  lsp::Document d;
  d.utf8 = "ab, " + astral + e_grave + "cd, x\r\n" + e_grave + astral + " ab" + astral + "\r\nz";
  const struct {
    const char* name;
    int line, column, width;
    int start_line, start, end;
  } cases[] = {
      {"astral and a letter inside the field", 1, 5, 4, 0, 4, 9},
      {"ASCII after them", 1, 11, 1, 0, 11, 12},
      {"the same before the field", 2, 4, 2, 1, 4, 6},
      {"a field ending in an astral character", 2, 4, 3, 1, 4, 8},
      {"past the end of the line", 2, 4, 50, 1, 4, 8},
      {"the last line, without an end", 3, 1, 1, 2, 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(d.range(c.line, c.column, c.width),
              (json{{"start", json{{"line", c.start_line}, {"character", c.start}}},
                    {"end", json{{"line", c.start_line}, {"character", c.end}}}}));
  }
  EXPECT_EQ(d.range(0, 5, 3), (json{{"start", json{{"line", 0}, {"character", 0}}},
                                    {"end", json{{"line", 0}, {"character", 0}}}}));
  EXPECT_EQ(d.range(9, 1, 3), (json{{"start", json{{"line", 2}, {"character", 1}}},
                                    {"end", json{{"line", 2}, {"character", 1}}}}));

  // End to end: a misspelt keyword holding an astral character and a
  // letter of the code page, after one of each.
  const std::string text = "[generale]\r\nnumero vetture, 5\r\n" + e_grave + astral + " x, sab" +
                           astral + e_grave + "z, 1\r\n[fine]\r\n";
  const Session s = run({open("file:///w/X_T-.txt", text)}, disk_);
  const json diagnostics = s.diagnostics("file:///w/X_T-.txt");
  ASSERT_EQ(diagnostics.size(), 1u) << diagnostics.dump();
  EXPECT_EQ(diagnostics[0]["range"], (json{{"start", json{{"line", 2}, {"character", 7}}},
                                           {"end", json{{"line", 2}, {"character", 14}}}}));
}

TEST_F(LspServerTest, PartnerOnDiskIsReadNotWrittenAndLoneDescriptionIsCheckedAlone) {
  platform::MemoryFileSystem built;
  write_builtin("/b", false, built);
  disk_.add_file("/w/BRENTALVO_linea.txt", built.contents("/b/BRENTALVO_linea.txt"));
  const auto before = disk_.files();
  const std::string faulty = replaced(train_, "stazione", "stazone");
  Session s = run({open(kTrainUri, faulty)}, disk_);
  EXPECT_EQ(s.diagnostics(kRouteUri), json::array());
  ASSERT_EQ(s.diagnostics(kTrainUri).size(), 1u);
  EXPECT_EQ(s.diagnostics(kTrainUri)[0]["code"], "unknown-row");
  EXPECT_EQ(disk_.files(), before);

  // Without its route, a train description still shows its own faults.
  s = run({open("file:///w/OTHER_T1-.txt", faulty)}, disk_);
  ASSERT_EQ(s.diagnostics("file:///w/OTHER_T1-.txt").size(), 1u);
  EXPECT_EQ(s.diagnostics("file:///w/OTHER_T1-.txt")[0]["code"], "unknown-row");
  EXPECT_EQ(s.publications(kRouteUri).size(), 0u);
}

// A fault without a place in either description (the identity stamp, the
// finishing pass over the cells) is shown at the start of the route when
// both are open; a description checked alone shows those of its own.
TEST_F(LspServerTest, FaultsWithoutAPlaceGoWhereTheirCauseIs) {
  const std::string route = "[generale]\r\nlunghezza percorso, 10000\r\n[fine]\r\n";
  // A route sign on the first 50 m, where the identity stamp goes.
  const std::string stamped_over =
      "[generale]\r\nlunghezza percorso, 10000\r\n[cartelli]\r\n"
      "cartello_indicatore, 0, (ORIGINE)\r\n[fine]\r\n";
  const std::string train = "[generale]\r\nnumero vetture, 5\r\n[fine]\r\n";
  // Signals on cells 94 .. 96, where a mark before the slowdown goes.
  std::string crowded = "[generale]\r\nnumero vetture, 5\r\n";
  for (int at : {4750, 4700, 4650}) {
    crowded += "segnale, " + std::to_string(at) + ", 1, 3, 4, 0, 0, 0, 0,0,0, 0\r\n";
  }
  crowded += "rallentamento, 5000, 30, 100, 1, 0, 0\r\n[fine]\r\n";
  const struct {
    const char* name;
    std::string route, train;  // empty: not open
    std::vector<int> on_route, on_train;
  } cases[] = {
      {"the identity stamp, both open", stamped_over, train, {1250}, {}},
      {"the identity stamp, the route alone", stamped_over, "", {1250}, {}},
      {"the finishing pass, both open", route, crowded, {12}, {}},
      {"the finishing pass, the train alone", "", crowded, {}, {12}},
      {"nothing, the route alone", route, "", {}, {}},
      {"nothing, the built-in route alone", route_, "", {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<json> messages;
    if (!c.route.empty()) messages.push_back(open(kRouteUri, c.route));
    if (!c.train.empty()) messages.push_back(open(kTrainUri, c.train));
    const Session s = run(messages, disk_);
    auto codes = [&](const char* uri) {
      std::vector<int> all;
      for (const json& d : s.diagnostics(uri)) {
        if (d.contains("code") && d["code"].is_number()) all.push_back(d["code"]);
      }
      return all;
    };
    EXPECT_EQ(codes(kRouteUri), c.on_route) << s.diagnostics(kRouteUri).dump();
    EXPECT_EQ(codes(kTrainUri), c.on_train) << s.diagnostics(kTrainUri).dump();
  }
}

TEST_F(LspServerTest, HoverExplainsTheFieldUnderTheCursor) {
  // The first station: its thirteenth field is the stop time.
  const auto [station_line, station_column] =
      where(train_, "stazione,       0,  8,  300,  1, 0, 0,  4,1,0,  2,1,1,    1,");
  const int stop_column = station_column + 58;
  const auto [sign_line, sign_column] = where(route_, "cartello_indicatore,  31000");
  const std::string low = replaced(route_, "pendenza,", "pendenza, 0, 300 ,", "[pendenze]");
  const auto [gradient_line, gradient_column] = where(low, "300 ,");
  // Its kind, and a signal's rapp: codes whose meaning lies in the simulator.
  const auto [signal_line, signal_column] = where(train_, "segnale,   26350,   1, 3, 4,  0, 0,");
  const Session s = run({open(kRouteUri, low), open(kTrainUri, train_),
                         at(1, "textDocument/hover", kTrainUri, station_line, stop_column),
                         at(2, "textDocument/hover", kRouteUri, sign_line, sign_column + 24),
                         at(3, "textDocument/hover", kRouteUri, gradient_line, gradient_column),
                         at(4, "textDocument/hover", kTrainUri, station_line, 0),
                         at(5, "textDocument/hover", kTrainUri, station_line, station_column + 20),
                         at(6, "textDocument/hover", kTrainUri, signal_line, signal_column + 33)},
                        disk_);
  auto value = [&](int id) {
    return s.reply(id)["result"]["contents"]["value"].get<std::string>();
  };
  EXPECT_NE(value(1).find("stop time: 1 s"), std::string::npos) << value(1);
  EXPECT_NE(value(1).find("field 13 of 17"), std::string::npos) << value(1);
  EXPECT_NE(value(2).find("km 31+000, cell 621"), std::string::npos) << value(2);
  EXPECT_NE(value(3).find("300 \xE2\x80\xB0 is stored as 44 \xE2\x80\xB0"), std::string::npos)
      << value(3);
  EXPECT_NE(value(4).find("**stazione**: station"), std::string::npos) << value(4);
  EXPECT_NE(value(5).find("field 2 of 17: **kind**"), std::string::npos) << value(5);
  EXPECT_NE(value(5).find("what a kind is lies in the simulator; the built-in stations use 1, 8, "
                          "11, 12, 22, 24, 25 and 28"),
            std::string::npos)
      << value(5);
  EXPECT_NE(value(6).find("field 6 of 11: **rapp**"), std::string::npos) << value(6);
  EXPECT_NE(value(6).find("lies in the simulator; 0 in every built-in signal"), std::string::npos)
      << value(6);
}

// A field is hovered from its first character to the one just past its
// last, where the cursor stands after typing it; not a character further.
TEST_F(LspServerTest, HoverSpansAFieldAndThePlaceJustPastIt) {
  const std::string route =
      "[generale]\r\nlunghezza percorso, 10000\r\n[pendenze]\r\npendenza, 3000, 7\r\n[fine]\r\n";
  // Line 3: "pendenza" at 0 .. 7, "3000" at 10 .. 13, "7" at 16.
  const struct {
    int character;
    const char* shown;  // in the hover; nullptr: no hover
    int from, to;       // the range the hover names
  } cases[] = {
      {0, "**pendenza**", 0, 8},    {7, "**pendenza**", 0, 8},    {8, "**pendenza**", 0, 8},
      {9, nullptr, 0, 0},           {10, "field 1 of 2", 10, 14}, {13, "field 1 of 2", 10, 14},
      {14, "field 1 of 2", 10, 14}, {15, nullptr, 0, 0},          {16, "field 2 of 2", 16, 17},
      {17, "field 2 of 2", 16, 17},
  };
  std::vector<json> messages = {open(kRouteUri, route)};
  for (const auto& c : cases) {
    messages.push_back(at(c.character, "textDocument/hover", kRouteUri, 3, c.character));
  }
  const Session s = run(messages, disk_);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.character);
    const json& result = s.reply(c.character)["result"];
    if (c.shown == nullptr) {
      EXPECT_TRUE(result.is_null()) << result.dump();
      continue;
    }
    const std::string value = result["contents"]["value"];
    EXPECT_NE(value.find(c.shown), std::string::npos) << value;
    EXPECT_EQ(result["range"], (json{{"start", json{{"line", 3}, {"character", c.from}}},
                                     {"end", json{{"line", 3}, {"character", c.to}}}}));
  }
}

// The outline's symbols by kind: a heading is a namespace, a row a field, a
// whole station row an object and a whole route sign row a string, each
// named by its name or text; a row cut short stays a field.
TEST_F(LspServerTest, SymbolKindsOfHeadingsRowsStationsAndSigns) {
  const std::string route =
      "[generale]\r\nlunghezza percorso, 10000\r\n[cartelli]\r\n"
      "cartello_indicatore, 2000, (PONTE)\r\n[fine]\r\n";
  const std::string train =
      "[generale]\r\nnumero vetture, 5\r\n[stazioni]\r\n"
      "stazione, 0, 8, 300, 1, 0, 0, 4,1,0, 2,1,1, 1, 7,29,0, ALFA\r\n"
      "stazione, 5000, 1, 400\r\n[fine]\r\n";
  const Session s = run(
      {open(kRouteUri, route), open(kTrainUri, train),
       request(1, "textDocument/documentSymbol", json{{"textDocument", json{{"uri", kRouteUri}}}}),
       request(2, "textDocument/documentSymbol", json{{"textDocument", json{{"uri", kTrainUri}}}})},
      disk_);
  auto kinds = [&](int id) {
    std::vector<std::pair<std::string, int>> all;
    for (const json& section : s.reply(id)["result"]) {
      all.emplace_back(section["name"], section["kind"]);
      for (const json& row : section["children"]) all.emplace_back(row["name"], row["kind"]);
    }
    return all;
  };
  using Kinds = std::vector<std::pair<std::string, int>>;
  EXPECT_EQ(kinds(1), (Kinds{{"[generale]", 3},
                             {"lunghezza percorso 10000", 8},
                             {"[cartelli]", 3},
                             {"(PONTE)", 15},
                             {"[fine]", 3}}));
  EXPECT_EQ(kinds(2), (Kinds{{"[generale]", 3},
                             {"numero vetture 5", 8},
                             {"[stazioni]", 3},
                             {"ALFA", 19},
                             {"stazione 5000", 8}}));  // "[fine]" read as its field 4
}

// Hover names the cell the compile puts a row on, for every kind of row
// placed by its position. The positions are odd multiples of 25 m, where
// rounding p / 50 before adding 1 names the wrong cell.
TEST_F(LspServerTest, HoverNamesTheCellTheCompilePutsEachRowOn) {
  const std::string route =
      "[generale]\r\nlunghezza percorso, 10000\r\nripetizione segnali 4 codici, 0, 0\r\n"
      "[pendenze]\r\npendenza, 0, 5\r\npendenza, 1075, 7\r\nmontagna, 2025, 2575, 2\r\n"
      "indicatori_v, 3025, 90, 95, 95, 0, , , , 0\r\ncartello_indicatore, 3125, (A)\r\n"
      "[fine]\r\n";
  const std::string train =
      "[generale]\r\nnumero vetture, 5\r\n[vel_limite]\r\nvelocita, 0, 100\r\n"
      "velocita, 1125, 60\r\naderenza, 0, 90\r\naderenza, 1225, 50\r\n"
      "segnale, 4075, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0\r\nrallentamento, 5025, 30, 275, 0, 0, 0\r\n"
      "abbattimento, 6075, 3\r\n[stazioni]\r\n"
      "stazione, 0, 8, 300, 1, 0, 0, 4,1,0, 2,1,1, 1, 7,29,0, ALFA\r\n"
      "stazione, 2000, 1, 400, 0,0,0, 1,1,0, 2,1,1, 0, 8,0,0, BETA\r\n[fine]\r\n";

  platform::MemoryFileSystem fs;
  model::Scenario compiled;
  compiled.files = &fs;
  compiled.app_path = "/c";
  compiled.line_name = "BRENTALVO";
  compiled.train_code = "TRN4417";
  fs.add_folder("/c");
  fs.add_file(platform::join_path("/c", model::route_description_name(compiled)), route);
  fs.add_file(platform::join_path("/c", model::train_description_name(compiled)), train);
  app::memorizza_percorso(compiled, 0);
  ASSERT_EQ(compiled.error_code, 0);

  using Holds = bool (*)(const model::TrackCell&);
  struct Row {
    const char* needle;  // the row's position field, in the route or the train
    bool route;
    Holds holds;  // true from the row's cell on, or on its cell only
    int64_t cell;
    // The field's name in the hover: the keyword the row's documentation
    // uses, its English meaning beside it where that keyword is Italian.
    const char* label;
  };
  const Row rows[] = {
      {"1075", true, [](const model::TrackCell& c) { return c.gradient_code == 107; }, 22,
       "position"},
      {"2025", true, [](const model::TrackCell& c) { return c.mountain_type == 2; }, 40, "start"},
      {"3025", true, [](const model::TrackCell& c) { return c.kind == model::kSpeedIndicator; }, 62,
       "position"},
      {"3125", true, [](const model::TrackCell& c) { return c.kind == model::kRouteSign; }, 64,
       "position"},
      {"1125", false,
       [](const model::TrackCell& c) { return c.speed_code == model::speed_code_of(60); }, 22,
       "position"},
      {"1225", false, [](const model::TrackCell& c) { return c.adhesion_code == 50; }, 24,
       "position"},
      {"4075", false, [](const model::TrackCell& c) { return c.kind == model::kSignal; }, 82,
       "posizione (position)"},
      {"5025", false, [](const model::TrackCell& c) { return c.kind == model::kSlowdownStart; },
       102, "x (start)"},
      {"6075", false,
       [](const model::TrackCell& c) { return c.kind == model::kSpeedMark && c.value1 == 3; }, 122,
       "position"},
  };
  std::vector<json> messages = {open(kRouteUri, route), open(kTrainUri, train)};
  for (size_t i = 0; i < std::size(rows); ++i) {
    const auto [line, column] = where(rows[i].route ? route : train, rows[i].needle);
    messages.push_back(at(static_cast<int>(i) + 1, "textDocument/hover",
                          rows[i].route ? kRouteUri : kTrainUri, line, column));
  }
  const Session s = run(messages, disk_);
  for (size_t i = 0; i < std::size(rows); ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE(row.needle);
    int64_t first = -1;
    for (size_t c = 0; c < compiled.track.size() && first < 0; ++c) {
      if (row.holds(compiled.track[c])) first = static_cast<int64_t>(c);
    }
    EXPECT_EQ(first, row.cell);
    const std::string value =
        s.reply(static_cast<int>(i) + 1)["result"]["contents"]["value"].get<std::string>();
    EXPECT_NE(value.find(", cell " + std::to_string(row.cell) + "\n"), std::string::npos) << value;
    EXPECT_NE(value.find(std::string("**") + row.label + "**"), std::string::npos) << value;
  }
}

TEST_F(LspServerTest, CompletionOffersTheSectionsRowsAndSymbolsNameStationsAndSigns) {
  const auto [general_line, general_column] = where(route_, "lunghezza");
  const auto [body_line, body_column] = where(route_, "pendenza");
  const Session s = run(
      {open(kRouteUri, route_), open(kTrainUri, train_),
       at(1, "textDocument/completion", kRouteUri, general_line, 0),
       at(2, "textDocument/completion", kRouteUri, body_line, 0),
       at(3, "textDocument/completion", kTrainUri, 0, 0),
       request(4, "textDocument/documentSymbol", json{{"textDocument", json{{"uri", kTrainUri}}}}),
       request(5, "textDocument/documentSymbol", json{{"textDocument", json{{"uri", kRouteUri}}}})},
      disk_);
  auto labels = [&](int id) {
    std::vector<std::string> all;
    for (const json& item : s.reply(id)["result"]) all.push_back(item["label"]);
    return all;
  };
  EXPECT_EQ(labels(1).front(), "lunghezza percorso");
  EXPECT_EQ(labels(1).size(), 9u);
  EXPECT_EQ(labels(2).front(), "pendenza");
  EXPECT_EQ(labels(3), std::vector<std::string>{"[generale]"});
  const json& first = s.reply(2)["result"][0];
  EXPECT_EQ(first["insertText"], "pendenza, ${1:position}, ${2:gradient}");
  EXPECT_EQ(first["insertTextFormat"], 2);

  auto names = [&](int id) {
    std::string all;
    for (const json& section : s.reply(id)["result"]) {
      all += "[" + section["name"].get<std::string>() + "]";
      for (const json& row : section["children"]) all += row["name"].get<std::string>() + ";";
    }
    return all;
  };
  EXPECT_NE(names(4).find("ZARNETTO;"), std::string::npos);
  EXPECT_NE(names(5).find("(GALLERIA        )(VALSORNA        )(Mt.116 Km.31+044);"),
            std::string::npos);
  (void)general_column;
  (void)body_column;
}

TEST_F(LspServerTest, ProtocolFaultsGetErrorRepliesAndNotificationsNone) {
  struct Case {
    std::string body;
    int code;
  };
  const std::vector<Case> cases = {
      {"{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":", lsp::kParseError},
      {"[1,2]", lsp::kInvalidRequest},
      {"{\"jsonrpc\":\"2.0\",\"id\":1}", lsp::kInvalidRequest},
      {"{\"jsonrpc\":\"1.0\",\"id\":1,\"method\":\"shutdown\"}", lsp::kInvalidRequest},
      {"{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"no/such\"}", lsp::kMethodNotFound},
      {"{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"textDocument/hover\",\"params\":{}}",
       lsp::kInvalidParams},
      {at(1, "textDocument/hover", kRouteUri, 100000, 0).dump(), lsp::kInvalidParams},
      {at(1, "textDocument/hover", kRouteUri, 0, 500).dump(), lsp::kInvalidParams},
      {at(1, "textDocument/hover", kRouteUri, -1, 0).dump(), lsp::kInvalidParams},
      {at(1, "textDocument/hover", "file:///w/none_linea.txt", 0, 0).dump(), lsp::kInvalidParams},
  };
  for (const Case& c : cases) {
    std::string input = framed(request(1000, "initialize").dump()) +
                        framed(open(kRouteUri, "[generale]\r\n[fine]\r\n").dump()) +
                        framed(c.body) +
                        // Notifications never get a reply, not even bad ones.
                        framed(note("no/such").dump()) +
                        framed("{\"jsonrpc\":\"2.0\",\"method\":\"textDocument/didOpen\"}");
    const Session s = run_raw(input, disk_);
    EXPECT_EQ(s.status, 1) << c.body;  // the input ends without shutdown
    int errors = 0;
    for (const json& m : s.replies) {
      if (m.contains("error")) {
        ++errors;
        EXPECT_EQ(m["error"]["code"], c.code) << c.body;
      }
    }
    EXPECT_EQ(errors, 1) << c.body;
  }

  // Framing: a header without a length, a length that is not a number, one
  // over the limit; the server goes on to the next message.
  const std::string bad =
      "Content-Type: x\r\n\r\nContent-Length: abc\r\n\r\n"
      "Content-Length: 999999999999\r\n\r\n";
  std::string input = framed(request(1000, "initialize").dump()) + bad +
                      framed(request(1, "shutdown").dump()) + framed(note("exit").dump());
  Session s = run_raw(input, disk_);
  EXPECT_EQ(s.status, 1);  // the huge length swallowed the rest
  input = framed(request(1000, "initialize").dump()) + "Content-Type: x\r\n\r\n" +
          "Content-Length: abc\r\n\r\n" + framed(request(1, "shutdown").dump()) +
          framed(note("exit").dump());
  s = run_raw(input, disk_);
  EXPECT_EQ(s.status, 0);
  ASSERT_EQ(s.replies.size(), 4u);
  EXPECT_EQ(s.replies[1]["error"]["code"], lsp::kInvalidRequest);
  EXPECT_EQ(s.replies[2]["error"]["code"], lsp::kInvalidRequest);

  // A header line past the length kept, before the message's length or
  // after it: both messages are served.
  const std::string long_header = "X-Note: " + std::string(5000, 'a') + "\r\n";
  input = framed(request(1000, "initialize").dump()) + long_header +
          framed(request(1, "shutdown").dump());
  const std::string exit_message = framed(note("exit").dump());
  const size_t blank = exit_message.find("\r\n\r\n");
  input += exit_message.substr(0, blank + 2) + long_header + exit_message.substr(blank + 2);
  s = run_raw(input, disk_);
  EXPECT_EQ(s.status, 0);
  EXPECT_TRUE(s.reply(1).contains("result"));

  // Before initialize, requests are refused; exit without shutdown is 1.
  s = run_raw(framed(request(1, "textDocument/hover").dump()) + framed(note("exit").dump()), disk_);
  EXPECT_EQ(s.reply(1)["error"]["code"], lsp::kServerNotInitialized);
  EXPECT_EQ(s.status, 1);
}

TEST_F(LspServerTest, EveryChangeIsCheckedAgain) {
  // The built-in pair, published after every change that arrives on its
  // own (the time it takes is measured in bench/lsp_bench.cc).
  std::vector<json> messages = {open(kRouteUri, route_), open(kTrainUri, train_)};
  for (int i = 0; i < 20; ++i) messages.push_back(change(kRouteUri, route_));
  const Session s = run(messages, disk_);
  EXPECT_EQ(s.publications(kRouteUri).size(), 22u);
}

// Changes sent faster than they are checked: the text of each request is
// the one before it, and the pair is checked once, at its last text.
TEST_F(LspServerTest, ABurstOfChangesIsCheckedOnceAtItsLastText) {
  const std::string misspelt = replaced(route_, "pendenza", "pendenxa");
  const json symbols =
      request(7, "textDocument/documentSymbol", json{{"textDocument", json{{"uri", kRouteUri}}}});
  // What the symbols of the misspelt text are, asked on their own.
  const json expected_symbols = run({open(kRouteUri, misspelt), symbols}, disk_).reply(7);
  ASSERT_TRUE(expected_symbols.contains("result"));

  std::string burst = framed(request(1000, "initialize").dump()) +
                      framed(open(kRouteUri, route_).dump()) +
                      framed(open(kTrainUri, train_).dump());
  for (int i = 0; i < 500; ++i) {
    burst += framed(change(kRouteUri, i % 2 == 0 ? route_ : misspelt).dump());
    if (i % 100 == 0) burst += framed(change(kTrainUri, train_).dump());
  }
  burst += framed(symbols.dump());
  for (int i = 0; i < 500; ++i)
    burst += framed(change(kRouteUri, i % 2 == 0 ? misspelt : route_).dump());
  burst += framed(request(1001, "shutdown").dump()) + framed(note("exit").dump());

  const auto start = std::chrono::steady_clock::now();
  const Session s = run_raw(burst, disk_);
  // A loose bound: checking every change took minutes.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
  EXPECT_EQ(s.status, 0);
  EXPECT_EQ(s.reply(7), expected_symbols);
  ASSERT_EQ(s.publications(kRouteUri), std::vector<json>{json::array()});
  EXPECT_EQ(s.publications(kTrainUri), std::vector<json>{json::array()});
}

// The skim that finds a change another replaces: sure of what it names, and
// of nothing else.
TEST(LspBacklogTest, ReplacedDocumentIsReadOnlyFromAPlainChange) {
  const struct {
    const char* name;
    std::string body;
    std::optional<std::string> uri;
  } cases[] = {
      {"a change", change("file:///a.txt", "x, 1\r\n").dump(), "file:///a.txt"},
      {"members in any order, spaces",
       R"( { "params" : { "contentChanges" : [ { "range": {"start": {}}, "text" : "a\"b\\" } ],
            "textDocument" : { "version" : 3, "uri" : "file:///b" } },
            "method" : "textDocument/didChange", "jsonrpc" : "2.0" } )",
       "file:///b"},
      {"the last of several members of one name",
       R"({"jsonrpc":"2.0","method":"x","method":"textDocument/didChange",)"
       R"("params":{"textDocument":{"uri":"u"},"contentChanges":[{"text":1},{"text":"t"}]}})",
       "u"},
      {"a request",
       R"({"jsonrpc":"2.0","id":1,"method":"textDocument/didChange",)"
       R"("params":{"textDocument":{"uri":"u"},"contentChanges":[{"text":"t"}]}})",
       std::nullopt},
      {"another notification", open("file:///a.txt", "x").dump(), std::nullopt},
      {"no jsonrpc",
       R"({"method":"textDocument/didChange",)"
       R"("params":{"textDocument":{"uri":"u"},"contentChanges":[{"text":"t"}]}})",
       std::nullopt},
      {"the last change without text",
       R"({"jsonrpc":"2.0","method":"textDocument/didChange",)"
       R"("params":{"textDocument":{"uri":"u"},"contentChanges":[{"text":"t"},{"range":1}]}})",
       std::nullopt},
      {"an escape in the name",
       R"({"jsonrpc":"2.0","method":"textDocument/didChange",)"
       R"("params":{"textDocument":{"uri":"\u0075"},"contentChanges":[{"text":"t"}]}})",
       std::nullopt},
      {"an escaped member name",
       R"({"jsonrpc":"2.0","method":"textDocument/didChange","\u006dethod":"x",)"
       R"("params":{"textDocument":{"uri":"u"},"contentChanges":[{"text":"t"}]}})",
       std::nullopt},
      {"more after the object", change("u", "t").dump() + "]", std::nullopt},
      {"cut short", change("u", "t").dump().substr(0, 60), std::nullopt},
      {"an unended string", R"({"jsonrpc":"2.0","method":"textDocument/didChange\"})",
       std::nullopt},
      {"not an object", "[1, 2]", std::nullopt},
      {"nested too deep",
       R"({"jsonrpc":"2.0","x":)" + std::string(100, '[') + std::string(100, ']') + "}",
       std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(lsp::replaced_document(c.body), c.uri);
  }
}

// A message over the limit is answered with an error and passed over, and a
// description over the description limit is neither kept nor checked; the
// messages after them are served.
TEST_F(LspServerTest, MessagesAndDescriptionsOverTheLimitsAreRefusedAndTheNextServed) {
  const std::string huge(lsp::kMaxMessageBytes + 1, ' ');
  std::string raw = framed(request(1000, "initialize").dump()) + framed(huge) +
                    framed(request(1, "shutdown").dump()) + framed(note("exit").dump());
  Session s = run_raw(raw, disk_);
  EXPECT_EQ(s.status, 0);
  ASSERT_EQ(s.replies.size(), 3u);
  EXPECT_EQ(s.replies[1]["error"]["code"], lsp::kInvalidRequest);
  EXPECT_NE(s.replies[1]["error"]["message"].get<std::string>().find(
                "over the limit of " + std::to_string(lsp::kMaxMessageBytes)),
            std::string::npos)
      << s.replies[1];
  raw.clear();

  const std::string too_long =
      "[generale]\r\n" + std::string(platform::kMaxDescriptionBytes, ' ') + "[fine]\r\n";
  const std::string words = "the description is " + std::to_string(too_long.size()) +
                            " bytes, over the limit of " +
                            std::to_string(platform::kMaxDescriptionBytes) + " bytes";
  s = run({open(kTrainUri, train_), open(kRouteUri, too_long),
           at(5, "textDocument/hover", kRouteUri, 0, 1), change(kRouteUri, route_),
           at(6, "textDocument/hover", kRouteUri, 0, 1)},
          disk_);
  EXPECT_EQ(s.status, 0);
  const std::vector<json> published = s.publications(kRouteUri);
  ASSERT_EQ(published.size(), 2u);
  ASSERT_EQ(published[0].size(), 1u);
  EXPECT_EQ(published[0][0]["severity"], 1);
  EXPECT_NE(published[0][0]["message"].get<std::string>().find(words), std::string::npos)
      << published[0][0];
  EXPECT_EQ(published[1], json::array());
  // The train, which cannot be checked with it, shows nothing meanwhile.
  EXPECT_EQ(s.publications(kTrainUri).back(), json::array());
  EXPECT_EQ(s.reply(5)["error"]["code"], lsp::kInvalidParams);
  EXPECT_NE(s.reply(5)["error"]["message"].get<std::string>().find(words), std::string::npos);
  EXPECT_TRUE(s.reply(6).contains("result"));
}

// The open descriptions together are bounded: a text that would take them
// over the limit is not kept, says why, and is kept once others are closed.
// Replacing a text counts it once.
TEST_F(LspServerTest, OpenDescriptionsTogetherStayWithinTheirLimit) {
  lsp::DescriptionDocuments docs(disk_, route_.size() + train_.size() + 100);
  const std::string other_route = "file:///v/BRENTALVO_linea.txt";
  const size_t route_bytes = lsp::cp1252_from_utf8(route_).size();
  ASSERT_TRUE(docs.set(kRouteUri, route_));
  ASSERT_TRUE(docs.set(kTrainUri, train_));
  ASSERT_TRUE(docs.set(kRouteUri, route_));  // the same text again: still room
  EXPECT_EQ(docs.find(kRouteUri)->over_limit, 0u);
  EXPECT_EQ(docs.find(kTrainUri)->over_limit, 0u);

  ASSERT_TRUE(docs.set(other_route, route_));
  const lsp::Document* refused = docs.find(other_route);
  ASSERT_NE(refused, nullptr);
  EXPECT_EQ(refused->over_limit, route_bytes);
  EXPECT_TRUE(refused->cp1252.empty() && refused->utf8.empty());
  const std::vector<lsp::Published> told = docs.check(other_route);
  ASSERT_EQ(told.size(), 1u);
  ASSERT_EQ(told[0].diagnostics.size(), 1u);
  const std::string words = told[0].diagnostics[0]["message"].get<std::string>();
  EXPECT_NE(words.find("the open descriptions would hold more than " +
                       std::to_string(route_.size() + train_.size() + 100) + " bytes together"),
            std::string::npos)
      << words;
  EXPECT_NE(words.find("close other descriptions"), std::string::npos) << words;
  // The pair already open is still checked as before.
  for (const lsp::Published& p : docs.check(kRouteUri)) EXPECT_EQ(p.diagnostics, json::array());

  docs.close(kRouteUri);
  ASSERT_TRUE(docs.set(other_route, route_));
  EXPECT_EQ(docs.find(other_route)->over_limit, 0u);
  EXPECT_EQ(docs.find(other_route)->cp1252.size(), route_bytes);
}

}  // namespace
}  // namespace tools
