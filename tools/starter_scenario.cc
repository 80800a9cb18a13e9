#include "tools/starter_scenario.h"

#include <string_view>

#include "model/scenario.h"
#include "platform/files.h"

namespace tools {

namespace {

// One line of a description: a row and the note after it, or a note alone
// (row empty), or a row alone.
struct Line {
  std::string_view row;
  std::string_view note = {};
};

// The notes stand where the readers pass text over; see the header.
constexpr Line kRoute[] = {
    {"", "Starter route: a line of 20 km to grow into your own."},
    {"", "Everything above the general heading is passed over by the reader."},
    {"", "Rows are a keyword and its values; positions are metres from the origin."},
    {"[generale]"},
    {"lunghezza percorso, 20000", "metres; the track runs 7000 m further"},
    {"progressiva chilometrica uno, 0, 0, 0", "position and value in metres and a flag"},
    {"progressiva chilometrica due, 0, 0, 0"},
    {"progressiva chilometrica tre, 0, 0, 0"},
    {"sfondo uno, 1", "background values"},
    {"sfondo due, 8000"},
    {"sfondo tre, 15000"},
    {"ripetizione segnali 4 codici, 0, 0", "two values in multiples of 50"},
    {"[curve]"},
    {"", "A bend: start and length in metres; d turns right and s left;"},
    {"", "the digit is its class from 1 (gentlest) to 6 (sharpest)."},
    {"curvad4, 2000, 600"},
    {"curvas5, 6000, 400"},
    {"curvad6, 11000, 300"},
    {"curvas3, 15500, 800"},
    {"[pendenze]"},
    {"", "From each position on the track rises by so many per mille (below zero it falls)."},
    {"pendenza, 1000, 5"},
    {"pendenza, 4000, 12", "up to the tunnel"},
    {"pendenza, 7000, 0"},
    {"pendenza, 10500, -8"},
    {"pendenza, 14000, 3"},
    {"pendenza, 17500, 0"},
    {"[montagne]"},
    {"", "A mountain stretch: start and end in metres and its type;"},
    {"", "a type above 10 also sets marker cells along it."},
    {"montagna, 8000, 8600, 11", "the tunnel"},
    {"[cartelli]"},
    {"", "A route sign: its position and its text to the end of the line."},
    {"cartello_indicatore, 7950, (GALLERIA       )(Km.8+000)"},
    {"cartello_indicatore, 8650, (VIADOTTO       )(Km.8+650)"},
    {"cartello_indicatore, 10500, ( CULMINE )(Km.10+500)"},
    {"cartello_indicatore, 16000, (PONTE IN FERRO )(Km.16+000)"},
    {"[indicazioni]"},
    {"", "A speed indicator: its position then speeds a b c and stripes for"},
    {"", "the left side and the same for the right side; empty values are 0."},
    {"indicatori_vmax, 600, 90, 100, 100, 0, , , , 0"},
    {"[fine]"},
};

constexpr Line kTrain[] = {
    {"", "Starter train for the starter route."},
    {"", "Everything above the general heading is passed over by the reader."},
    {"[generale]"},
    {"percentuale massa frenata, 115", "percent"},
    {"numero vetture, 5", "cars"},
    {"sabbia, 300"},
    {"orologio, 7, 59, 30", "the clock at the start: hours minutes seconds"},
    {"[aderenze]"},
    {"aderenza, 0, 100", "from this position on"},
    {"[vel_limite]"},
    {"", "Speed limits in km/h from each position on (multiples of 5)."},
    {"velocita, 0, 60"},
    {"velocita, 800, 100"},
    {"velocita, 7800, 80", "through the tunnel"},
    {"velocita, 9500, 100"},
    {"velocita, 18600, 60"},
    {"[stazioni]"},
    {"", "A station row: position; kind; length of its area; flags and values;"},
    {"", "the stop time in seconds; the timetable time as hours minutes seconds;"},
    {"", "its name to the end of the line. Areas must stand 350 m apart."},
    {"stazione, 0, 8, 300, 1, 0, 0, 4, 1, 0, 2, 1, 1, 1, 8, 0, 0, PRIMAVALLE"},
    {"stazione, 10000, 24, 600, 0, 0, 0, 0, 0, 0, 4, 1, 1, 30, 8, 9, 30, CASTELMEZZO"},
    {"stazione, 19500, 1, 800, 0, 0, 0, 1, 1, 0, 2, 1, 1, 0, 8, 18, 0, FONDOVALLE"},
    {"[rallentamenti]"},
    {"", "A slowdown: start; speed; length; two flags and a value."},
    {"rallentamento, 14000, 50, 300, 1, 1, 0"},
    {"[segnali]"},
    {"", "A signal: position; the left part and its three aspects; a code;"},
    {"", "the right part and its three aspects; a time."},
    {"segnale, 2450, 1, 3, 4, 0, 0, 0, 0, 0, 0, 0"},
    {"segnale, 6000, 1, 3, 4, 0, 0, 0, 0, 0, 0, 0"},
    {"segnale, 9400, 1, 5, 1, 0, 0, 0, 0, 0, 0, 0", "before the middle station"},
    {"segnale, 12500, 1, 3, 4, 0, 0, 0, 0, 0, 0, 0"},
    {"segnale, 17000, 1, 3, 3, 0, 0, 0, 0, 0, 0, 0"},
    {"segnale, 18900, 1, 5, 1, 0, 0, 0, 0, 0, 0, 0", "before the last station"},
    {"[codici]"},
    {"[fine]"},
};

template <size_t N>
std::string text_of(const Line (&lines)[N], bool with_notes) {
  std::string text;
  for (const Line& line : lines) {
    if (line.row.empty() && !with_notes) continue;
    text += line.row;
    if (with_notes && !line.note.empty()) {
      if (!line.row.empty()) text += "   ";
      text += line.note;
    }
    text += "\r\n";
  }
  return text;
}

}  // namespace

std::string starter_route_text(bool with_notes) { return text_of(kRoute, with_notes); }
std::string starter_train_text(bool with_notes) { return text_of(kTrain, with_notes); }

std::vector<WrittenFile> write_starter(const std::filesystem::path& dir,
                                       const std::string& line_name, const std::string& train_code,
                                       bool overwrite, platform::FileSystem& files) {
  model::Scenario names;
  names.line_name = line_name;
  names.train_code = train_code;
  const std::string route = model::route_description_name(names);
  const std::string train = model::train_description_name(names);
  return write_into_folder(dir, {route, train}, overwrite, files, [&](const std::string& folder) {
    platform::FileReplacement replacement(files);
    replacement.stage(platform::join_path(folder, route), starter_route_text());
    replacement.stage(platform::join_path(folder, train), starter_train_text());
    replacement.commit();
  });
}

}  // namespace tools
