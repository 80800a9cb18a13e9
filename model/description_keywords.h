// The row keywords of the two descriptions as authors write them, by
// section. The readers recognise a row by containment (a keyword field only
// needs to hold the word the reader tests for, see route/route_reader.cc and
// train/train_reader.cc); these are the full forms, which "did you mean"
// offers and the format reference (docs/) lists.
#ifndef SCENARIO_MODEL_DESCRIPTION_KEYWORDS_H_
#define SCENARIO_MODEL_DESCRIPTION_KEYWORDS_H_

#include <string_view>

namespace model {

// The general section of the route description.
inline constexpr std::string_view kRouteGeneralKeywords[] = {"lunghezza percorso",
                                                             "progressiva chilometrica uno",
                                                             "progressiva chilometrica due",
                                                             "progressiva chilometrica tre",
                                                             "sfondo uno",
                                                             "sfondo due",
                                                             "sfondo tre",
                                                             "ripetizione segnali 4 codici",
                                                             "ripetizione segnali 9 codici"};

// The body of the route description.
inline constexpr std::string_view kRouteBodyKeywords[] = {
    "pendenza", "curvas1",  "curvas2",         "curvas3",
    "curvas4",  "curvas5",  "curvas6",         "curvad1",
    "curvad2",  "curvad3",  "curvad4",         "curvad5",
    "curvad6",  "montagna", "indicatori_vmax", "cartello_indicatore"};

// The train description.
inline constexpr std::string_view kTrainKeywords[] = {"percentuale massa frenata",
                                                      "numero vetture",
                                                      "velocita",
                                                      "aderenza",
                                                      "orologio",
                                                      "sabbia",
                                                      "segnale",
                                                      "rallentamento",
                                                      "abbattimento",
                                                      "stazione"};

}  // namespace model

#endif  // SCENARIO_MODEL_DESCRIPTION_KEYWORDS_H_
