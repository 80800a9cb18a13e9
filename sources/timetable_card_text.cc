// The timetable card ("scheda treno"): the driver's page for train 4417, with
// its header boxes and the timetable table of 37 rows between ZARNETTO and
// PALVESCO.
//
// The table agrees with the train description: every station that has both a
// timetable time and a stop time (the origin aside) is a stop row that departs
// at the station's time and arrives its stop time earlier, written in
// half-minutes ("+" marks the half minute; the 99-second stops are shown to
// the nearest half minute); the stations without a time are passing points.
// Column 1 holds the speed limits of the description in their order, leaving
// out the 30 km/h limits through stations. Kilometric progressives are those
// of the posts along the line, so they differ slightly from the positions of
// the description. The destination row is the end of the simulated run,
// 09.45, before the timetable time of PALVESCO.
#include <iterator>
#include <string_view>

#include "sources/builtin_texts.h"
#include "sources/line_writer.h"

namespace sources {
namespace {

// clang-format off
constexpr std::string_view kTimetableCard[] = {
    "",
    "",
    "  ___________________                                               ______________",
    " |                   |                    SCHEDA TRENO             |              |",
    " |   TRENO n.4417    |                   da: ZARNETTO              |    V140 B    |",
    " |___________________|                    a: PALVESCO              |     115%     |",
    "                                                                   |______________|",
    "  ___________________                ___________________",
    " |  CLASSIFICAZIONE  |              |  MASSA BLOCCATA   |       ",
    " |        REG        |              |      360T         |",
    " |___________________|              |___________________|",
    "",
    "  ________________________________________________________________________________",
    " | Vel.| Vel.| Progr Km |  No |   Localita' di  Servizio   |     Orario     | Rec |",
    " | Lim.|Marc.|          |  Rs |                            |                |     |",
    " |_____|_____|__________|_____|____________________________|________________|_____|",
    " |  95 |  85 |   0+000  |     |ZARNETTO                    |          07.29 |     |",
    " | 140 |  90 |   1+200  |     |cippo Km 1+200              |                |     |     ",
    " |     |     |   4+487  |     |BIVIO SALCENTA              |     07.35      |     |",
    " |     |     |   8+912  |     |MORLANE.....................|07.41+    07.42 |     |",
    " |     |     |  11+968  |     |FONTE DEL RIVO..............|07.45+    07.46 |     |",
    " | 100 |  85 |  12+208  |     |dev.u.FONTE DEL RIVO        |                |     |  ",
    " |     |     |  14+431  |     |CORVAGNO....................|07.49     07.49+|     |",
    " | 115 |  90 |  16+150  |     |cippo Km 16+150             |                |     | ",
    " |     |     |  18+513  |     |S. Agata Vermeno............|07.54     07.55 |     |",
    " |     |     |  22+094  |     |PIEVE D'ARSELLA.............|07.58+    07.59 |     |",
    " |  95 |     |  27+402  |     |sc.ester.CASTELBRUNO        |                |     |        ",
    " |     |     |  28+197  |     |CASTELBRUNO.................|08.05+    08.07 |     |",
    " | 105 |     |  28+633  |     |dev.u.CASTELBRUNO           |                |     |",
    " |     |     |  34+941  |     |TERLAGO.....................|08.13     08.14 |  1  |",
    " |     |     |  40+066  |     |VALDISORGA..................|08.19     08.20 |     |",
    " |  80 |  70 |  40+500  |     |cippo Km 40+500             |                |     |   ",
    " |     |     |  45+112  |     |MONTEPRATO..................|08.26+    08.27 |     |",
    " |     |     |  47+826  |     |Rovetta - San Libero........|08.30+    08.31 |     |",
    " |     |     |  51+547  |     |PONTE CERVINO               |     08.35      |     |",
    " |     |     |  56+118  |     |ACQUAVIVA...................|08.39     08.39+|     |",
    " |     |     |  60+489  |     |CORTE MALVEZZI..............|08.45     08.45+|     |",
    " |     |     |  65+655  |     |SAN GIORIO..................|08.51     08.51+|     |",
    " |  75 |  65 |  67+300  |     |cippo Km 67+300             |                |     |",
    " |     |     |  68+012  |     |BIVIO LOCARDI               |     08.55      |     |",
    " |     |     |  69+124  |     |ORSARA......................|08.57+    08.59 | 1.5 |",
    " |     |     |  72+133  |     |POSTO CALVINE               |     09.03      |     |",
    " |     |     |  76+236  |     |CALDARENA...................|09.08+    09.09 |     |",
    " |     |     |  80+252  |     |SORVIANO....................|09.14+    09.15 |     |",
    " |     |     |  82+961  |     |BORGO TESSANO...............|09.19     09.19+|     |",
    " |     |     |  85+117  |     |VILLA ROSSANA...............|09.22+    09.23 |     |",
    " |     |     |  86+790  |     |culmine                     |     09.26      |     |",
    " |     |     |  88+343  |     |MERCATELLO..................|09.27+    09.28 |     |",
    " |     |     |  91+815  |     |RIO DELL'ORSO...............|09.31+    09.32+|     |",
    " |  60 |  55 |  93+061  |     |imb.gall.COLLE BASSO        |                |     |    ",
    " |     |     |  93+527  |     |CASAL VENTOSO...............|09.35     09.36+|     |",
    " |  75 |     |  94+050  |     |cippo Km 94+050             |                |     |",
    " |     |     |  99+986  |     |PALVESCO (SIMULATA)         |09.45           |     |",
    " |     |     |          |     |                            |                |     |",
    " |     |     |          |     |                            |                |     |",
    " |     |     |          |     |                            |                |     |",
    " |_____|_____|__________|_____|____________________________|________________|_____|",
    "",
    "IL PRESENTE ORARIO SI RIFERISCE AD UN REGIONALE CHE SI EFFETTUAVA NELL'ESTATE 1995",
    kEndSentinel,
};
// clang-format on
static_assert(std::size(kTimetableCard) == 60, "59 lines and the end sentinel");

}  // namespace

std::span<const std::string_view> timetable_card_text() { return kTimetableCard; }

}  // namespace sources
