// The built-in train description: the train's general values, its adhesion
// and speed limits, 27 stations, five slowdowns and 41 signals, one row per
// line in fixed-width columns (each number right-aligned in its field):
//   velocita       position 8, limit 6
//   stazione       position 8, kind 3, length 5; fields 4 to 12: 3, 2, 2, 3, 1, 1, 3, 1, 1;
//                  stop time 5, hours 4, minutes 2, seconds 2; then ", " and the name
//   rallentamento  start 8, speed 6, length 5, f_tt 2, f_ta 3, d_v 3
//   segnale        position 8, sx 4, s1 2, s2 2, s3 3, rapp 2, dx 5, d1 3, d2 1, d3 1;
//                  then ", " and tempo
// The station names are those of the timetable card and the slow-order form.
#include <array>
#include <string_view>

#include "sources/builtin_texts.h"
#include "sources/line_writer.h"

namespace sources {

namespace {

constexpr std::array<std::string_view, 104> kTrainDescription = {
    "[generale]",
    "numero vetture,    5",
    "percentuale massa frenata,    115",
    "sabbia,    300",
    "orologio,    7               28            30 ",
    "[aderenze]",
    "aderenza,   0,    100",
    "[vel_limite]",
    "velocita,       0,    95",
    "velocita,    1200,   140",
    "velocita,   12250,   100",
    "velocita,   16150,   115",
    "velocita,   27550,    95",
    "velocita,   27600,    30",
    "velocita,   28800,   105",
    "velocita,   34450,    30",
    "velocita,   35500,   105",
    "velocita,   40500,    80",
    "velocita,   55400,    30",
    "velocita,   56400,    80",
    "velocita,   67300,    75",
    "velocita,   68200,    30",
    "velocita,   69350,    75",
    "velocita,   92450,    60",
    "velocita,   94050,    75",
    "[stazioni]",
    "stazione,       0,  8,  300,  1, 0, 0,  4,1,0,  2,1,1,    1,   7,29, 0, ZARNETTO",
    "stazione,    4500, 11,  600,  0, 0, 1,  1,1,0,  4,1,1,    0,   0, 0, 0, BIVIO SALCENTA",
    "stazione,    8950, 24,  600,  0, 0, 1,  0,0,0,  4,1,1,   30,   7,42, 0, MORLANE",
    "stazione,   12050, 28,  400,  0, 0, 0,  0,0,0,  0,0,0,   30,   7,46, 0, FONTE DEL RIVO",
    "stazione,   14650, 24,  600,  0, 0, 0,  0,0,0,  4,1,1,   30,   7,49,30, CORVAGNO",
    "stazione,   18700, 12,  600,  0, 0, 0,  1,1,0,  4,1,1,   60,   7,55, 0, S. AGATA VERMENO",
    "stazione,   22250, 24,  600,  0, 0, 0,  0,0,0,  4,1,1,   30,   7,59, 0, PIEVE D'ARSELLA",
    "stazione,   28350, 12,  600,  1, 0, 1,  4,1,0,  2,1,1,   99,   8, 7, 0, CASTELBRUNO",
    "stazione,   35050, 12,  600,  1, 0, 1,  4,1,0,  2,1,1,   60,   8,14, 0, TERLAGO",
    "stazione,   40150, 12,  600,  0, 0, 0,  1,1,0,  4,1,1,   60,   8,20, 0, VALDISORGA",
    "stazione,   45150, 12,  600,  0, 0, 1,  1,1,0,  5,1,1,   30,   8,27, 0, MONTEPRATO",
    "stazione,   47850, 12,  600,  0, 0, 1,  1,1,0,  4,1,1,   30,   8,31, 0, ROVETTA - SAN LIBERO",
    "stazione,   51550, 25,  500,  0, 0, 0,  0,0,0,  0,0,0,    0,   0, 0, 0, PONTE CERVINO",
    "stazione,   56100, 12,  600,  1, 0, 0,  4,1,0,  2,1,1,   30,   8,39,30, ACQUAVIVA",
    "stazione,   60450, 24,  600,  0, 0, 0,  0,0,0,  4,1,1,   30,   8,45,30, CORTE MALVEZZI",
    "stazione,   65600, 24,  400,  0, 0, 0,  0,0,0,  4,1,1,   30,   8,51,30, SAN GIORIO",
    "stazione,   67950, 11,  500,  0, 0, 0,  1,1,0,  2,3,1,    0,   0, 0, 0, BIVIO LOCARDI",
    "stazione,   69050, 12,  600,  1, 0, 0,  4,1,0,  2,1,1,   90,   8,59, 0, ORSARA",
    "stazione,   72050, 28,  400,  0, 0, 0,  0,0,0,  0,0,0,    0,   0, 0, 0, POSTO CALVINE",
    "stazione,   76150, 22,  600,  0, 0, 0,  0,0,0,  4,1,1,   30,   9, 9, 0, CALDARENA",
    "stazione,   80150, 28,  300,  0, 0, 0,  0,0,0,  0,0,0,   30,   9,15, 0, SORVIANO",
    "stazione,   82850, 22,  600,  0, 0, 0,  0,0,0,  4,1,1,   30,   9,19,30, BORGO TESSANO",
    "stazione,   85050, 28,  200,  0, 0, 0,  0,0,0,  0,0,0,   30,   9,23, 0, VILLA ROSSANA",
    "stazione,   88250, 12,  600,  0, 0, 0,  1,1,0,  4,1,1,   30,   9,28, 0, MERCATELLO",
    "stazione,   91700, 28,  500,  0, 0, 0,  0,0,0,  0,0,0,   60,   9,32,30, RIO DELL'ORSO",
    "stazione,   93400, 12,  800,  0, 0, 0,  1,1,0,  4,1,1,   99,   9,36,30, CASAL VENTOSO",
    "stazione,   99550,  1,  800,  0, 0, 0,  1,1,0,  2,1,1,    0,   9,50, 0, PALVESCO",
    "[rallentamenti]",
    "rallentamento,   38950,    75,  350, 1,  1,  0",
    "rallentamento,   56900,    65,  350, 1,  1,  0",
    "rallentamento,   75850,    30,  800, 1,  0,  0",
    "rallentamento,   77600,    65,   50, 1,  0,  0",
    "rallentamento,   89050,    30,  300, 1,  1,  0",
    "[segnali]",
    "segnale,    2450,   1, 4, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,    3650,   2, 4, 1,  0, 0,    0,  0,0,0, 0",
    "segnale,    7250,   1, 5, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,    8450,   2, 3, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   12550,   1, 4, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   13750,   2, 3, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   16700,   1, 5, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   17900,   2, 3, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   20200,   1, 4, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   21400,   2, 3, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   26350,   1, 3, 4,  0, 0,    0,  0,0,0, 0",
    "segnale,   27600,   2, 2, 3,  0, 0,    0,  0,0,0, 0",
    "segnale,   33200,   1, 3, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   34450,   2, 2, 3,  0, 0,    0,  0,0,0, 0",
    "segnale,   38050,   1, 4, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   39250,   2, 3, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   42900,   1, 5, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   44400,   2, 3, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   47200,   2, 3, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   49900,   1, 4, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   50950,   2, 4, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   54200,   1, 3, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   55400,   2, 2, 3,  0, 0,    0,  0,0,0, 0",
    "segnale,   58550,   1, 5, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   59750,   2, 3, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   63950,   1, 4, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   64950,   2, 3, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   66900,   1, 3, 0,  0, 0,    0,  0,0,0, 120",
    "segnale,   70200,   1, 5, 0,  0, 0,    0,  0,0,0, 120",
    "segnale,   71300,   2, 3, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   72250,   2, 4, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   73850,   1, 5, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   75350,   2, 3, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   81250,   1, 5, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   82250,   2, 3, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   86100,   1, 5, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   87200,   2, 3, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   91350,   1, 5, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   92500,   2, 3, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   95800,   1, 4, 0,  0, 0,    0,  0,0,0, 0",
    "segnale,   97350,   2, 3, 0,  0, 0,    0,  0,0,0, 0",
    "[codici]",
    "[fine]",
    kEndSentinel,
};

}  // namespace

std::span<const std::string_view> train_description_text() { return kTrainDescription; }

}  // namespace sources
