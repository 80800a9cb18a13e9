// The slow-order form "Modulo M. 3": the driver's order listing the five
// slowdowns of the built-in train, with the stations between which each lies,
// its start at the kilometre post, its speed and length, and the letters of
// the prescriptions that apply to it. On the form every zero of a slowdown row
// is written as the letter "O", as on the printed order.
//
// The rows repeat the "rallentamento" rows of the train description: same
// starts, speeds and lengths, in the same order.
#include <iterator>
#include <string_view>

#include "sources/builtin_texts.h"
#include "sources/line_writer.h"

namespace sources {
namespace {

// clang-format off
constexpr std::string_view kSlowOrderForm[] = {
    "",
    "                               Modulo M. 3",
    "                           ORDINE DI RALLENTAMENTO",
    " ________________________________________________________________________________",
    "  Linea  BRENTALVO",
    "",
    "  Si ordina al macchinista del treno 4417 di effettuare i seguenti rallentamenti",
    "  _______________________________________________________________________________",
    " |   |                            |Inizio dopo |          |         |            |",
    " | N.|      FRA LE STAZIONI       | il cippo   | Velocita'|Lunghezza|Prescrizioni|",
    " |   |   (o nelle Stazioni di)    |chilometrico|          |   metri | specifiche |",
    " |___|____________________________|____________|__________|_________|____________|",
    " |O1 |TERLAGO-VALDISORGA          |  38+95O    |   75     |  35O    |      A     |",
    " |O2 |ACQUAVIVA-CORTE MALVEZZI    |  56+9OO    |   65     |  35O    |      A     |",
    " |O3 |CALDARENA-SORVIANO          |  75+85O    |   3O     |  8OO    |    A-B-D   |",
    " |O4 |CALDARENA-SORVIANO          |  77+6OO    |   65     |   5O    |     A-D    |",
    " |O5 |MERCATELLO-RIO DELL'ORSO    |  89+O5O    |   3O     |  3OO    |      A     |",
    " |   |                            |            |          |         |            |",
    " |   |                            |            |          |         |            |",
    " |   |                            |            |          |         |            |",
    " |   |                            |            |          |         |            |",
    " |   |                            |            |          |         |            |",
    " |   |                            |            |          |         |            |",
    " |   |                            |            |          |         |            |",
    " |   |                            |            |          |         |            |",
    " |   |                            |            |          |         |            |",
    " |   |                            |            |          |         |            |",
    " |   |                            |            |          |         |            |",
    " |   |                            |            |          |         |            |",
    " |   |                            |            |          |         |            |",
    " |   |                            |            |          |         |            |",
    " |   |                            |            |          |         |            |",
    " |   |                            |            |          |         |            |",
    " |   |                            |            |          |         |            |",
    " |   |                            |            |          |         |            |",
    " |   |                            |            |          |         |            |",
    " |   |                            |            |          |         |            |",
    " |   |                            |            |          |         |            |",
    " |___|____________________________|____________|__________|_________|____________|",
    "",
    "              Prescrizioni specifiche",
    " A - Da rispettare con tutto il treno (per i treni viaggiatori)",
    " B - Interessa anche la stazione di CALDARENA",
    " D - Avviso come da disposizioni varie per localita' di servizio",
    " C - Da rispettare dalle ore ....  alle ore ..... di tutti",
    "     i giorni esclusi i seguenti:.........",
    kEndSentinel,
};
// clang-format on
static_assert(std::size(kSlowOrderForm) == 47, "46 lines and the end sentinel");

}  // namespace

std::span<const std::string_view> slow_order_form_text() { return kSlowOrderForm; }

}  // namespace sources
