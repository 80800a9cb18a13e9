// Generated descriptions for the benchmarks: the largest line the route
// reader takes, with a train that uses it end to end, and a long text of rows
// for the field reader.
//
// The largest line: 1000000 m, a curve every 500 m (all six classes, both
// sides), a gradient every 250 m, 80 mountain stretches and 40 route signs.
// Its train: 38 stations, 280 signals, 40 slowdowns, a speed limit every
// 5000 m and a few adhesion values. The items are laid out in 40 blocks of
// 25 km so that no two take the same cell and the finishing pass finds room
// for every mark: the compile ends with error_code 0.
//
// 40 signs rather than the 80 the item table allows: the signs fill the item
// slots from 80 downward and the stations from 1 upward, so 80 signs leave no
// slot for a station; 40 signs and 38 stations are the most of both together.
//
// A shorter line of the same make, to show how the cost grows with the
// length: the same rows up to `length` metres (curves, gradients, limits
// alike), and of each 25 km block's items those that lie before its end, so
// that 10000 m has one station, one sign and one mountain stretch.
#ifndef SCENARIO_BENCH_LARGEST_SCENARIO_H_
#define SCENARIO_BENCH_LARGEST_SCENARIO_H_

#include <cstddef>
#include <string>

namespace bench {

inline constexpr int kLargestRouteLength = 1000000;

// Texts with CR LF line ends, as the description writers write them.
// `length` is in metres, a multiple of 500 up to kLargestRouteLength.
std::string route_description(int length);
std::string train_description(int length);
inline std::string largest_route_description() { return route_description(kLargestRouteLength); }
inline std::string largest_train_description() { return train_description(kLargestRouteLength); }

// About `bytes` bytes of description rows in the shapes of both descriptions
// (keywords, numbers in padded columns, quoted and parenthesised texts). The
// rows are those of `read_rows`, which reads the whole text and returns the
// count of fields read.
std::string field_reader_text(size_t bytes);
size_t read_rows(std::string text);

}  // namespace bench

#endif  // SCENARIO_BENCH_LARGEST_SCENARIO_H_
