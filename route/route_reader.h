// The route half of memorizza_dati: reads the route description into the
// scenario model.
//
// It copies the line name and train code into item slots 85 and 86, tests
// that the description exists, skips the preamble up to "[generale]", reads
// the general section (which sizes the track and, when write_line_file is
// nonzero, the track plan), orders the kilometric progressives, then reads
// the route body: gradients into the cells' gradient_code, curves into the
// track plan, mountain stretches and speed indicators through their stores,
// route signs into cells of kind 14 and item slots 80 downward. At the end it
// deletes the description, fills the gradient and plan tails, and tells its
// caller whether the train half follows.
//
// Compile errors are stored in s.error_code / s.error_position, with the
// field they were found in (s.error_site); warnings go to s.warnings
// (model/description_fields.h). Run-time failures (a number that does not
// fit, a file that ends inside a row) are thrown as platform::RuntimeFailure
// for memorizza_dati's trap; s.reading then names the field being read.
#ifndef SCENARIO_ROUTE_ROUTE_READER_H_
#define SCENARIO_ROUTE_ROUTE_READER_H_

#include <cstdint>

#include "model/scenario.h"

namespace route {

// What the reader's own run-time failures happened to (their detail), so
// that a message can put them in an author's words: a general section
// without a route length row, and a route sign past the 80 slots.
inline constexpr char kNoRouteLengthFailure[] = "no route length row";
inline constexpr char kSignSlotFailure[] = "route sign slot ";

struct RouteOutcome {
  // True when the body was read to its end or stopped by the range test
  // (code 15): the train description is read next.
  bool read_train = false;
  // The next free item slot below the route signs (80 when there are none).
  int32_t sign_slot = model::kFirstSignSlot;
};

RouteOutcome read_route_description(model::Scenario& s);

}  // namespace route

#endif  // SCENARIO_ROUTE_ROUTE_READER_H_
