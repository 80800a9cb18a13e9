// A vector that can be started afresh at the cost of what was written in it.
//
// The route description may size the track and the track plan again and
// again (every route-length row starts both afresh), and each start must not
// cost the size of what it starts: a plan has up to a million points.
// ReusableVector<T> therefore keeps its storage across starts and remembers
// how far that storage may have been written:
//
//   restart(n)  makes it n value-initialised elements, exactly as
//               assign(n, T{}) would; it costs the elements written since the
//               previous start (plus, when n is larger than any size asked for
//               before, one allocation of n elements), never n itself.
//
// Its parts: the storage (a std::vector<T> whose size is the most elements
// ever asked for, so the memory is that of the largest start, as a
// std::vector's capacity would be), the logical size, and a high-water mark.
// Invariant: every element of the storage at or past the mark is T{}. A start
// sets the elements below the mark back to T{} and the mark to 0.
//
// The mark follows every write, whoever writes: each non-const access
// (operator[], at, front, back, begin, end, data) raises it past the elements
// that access can reach (one element, or the whole logical vector). Const
// access never raises it. Write only through what such an access returned:
// a pointer carried from one element to another would write past the mark.
//
// Everything else reads like a std::vector of size() elements: iteration,
// size(), copies, and conversions to and from std::vector<T> see and carry
// only the logical elements. resize() and assign() have std::vector's
// meaning; clear() keeps the storage.
#ifndef SCENARIO_MODEL_REUSABLE_VECTOR_H_
#define SCENARIO_MODEL_REUSABLE_VECTOR_H_

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/large_pages.h"

namespace model {

template <typename T>
class ReusableVector {
 public:
  using value_type = T;
  using size_type = size_t;
  using reference = T&;
  using const_reference = const T&;
  using iterator = T*;
  using const_iterator = const T*;

  ReusableVector() = default;
  ReusableVector(std::initializer_list<T> values) : ReusableVector(std::vector<T>(values)) {}
  // Implicit, as a std::vector<T> converts to it: `plan.x = some_vector`.
  ReusableVector(std::vector<T> values)  // NOLINT(google-explicit-constructor)
      : storage_(values.begin(), values.end()), size_(storage_.size()), written_(size_) {}

  // A copy holds the logical elements only.
  ReusableVector(const ReusableVector& other)
      : storage_(other.begin(), other.end()), size_(other.size_), written_(other.size_) {}
  ReusableVector(ReusableVector&& other) noexcept
      : storage_(std::move(other.storage_)),
        size_(std::exchange(other.size_, 0)),
        written_(std::exchange(other.written_, 0)) {
    other.storage_.clear();
  }
  ReusableVector& operator=(const ReusableVector& other) {
    if (this != &other) *this = ReusableVector(other);
    return *this;
  }
  ReusableVector& operator=(ReusableVector&& other) noexcept {
    if (this != &other) {
      storage_ = std::move(other.storage_);
      other.storage_.clear();
      size_ = std::exchange(other.size_, 0);
      written_ = std::exchange(other.written_, 0);
    }
    return *this;
  }
  ~ReusableVector() = default;

  // The logical elements, as a std::vector (a copy).
  operator std::vector<T>() const {  // NOLINT(google-explicit-constructor)
    return std::vector<T>(begin(), end());
  }

  // n elements, every one T{}. Costs the elements written since the last
  // start; when n exceeds the storage, the old storage is released before the
  // new one is taken, so that two never stand side by side.
  void restart(size_t n) {
    if (n > storage_.size()) {
      size_ = written_ = 0;  // an allocation failure leaves an empty vector
      decltype(storage_)().swap(storage_);
      storage_.resize(n);
    } else {
      std::fill_n(storage_.begin(), written_, T{});
    }
    written_ = 0;
    size_ = n;
  }

  // As std::vector's: n copies of `value` (costs n).
  void assign(size_t n, const T& value) {
    restart(n);
    std::fill_n(storage_.begin(), n, value);
    written_ = n;
  }
  // As std::vector's: new elements are T{}, the others keep their values.
  void resize(size_t n) {
    if (n > size_) {
      // Past the old size, the elements below the mark may hold old values.
      const size_t stale_end = std::min(n, written_);
      if (stale_end > size_) std::fill(storage_.data() + size_, storage_.data() + stale_end, T{});
      if (n > storage_.size()) storage_.resize(n);
    }
    size_ = n;
  }
  void clear() { size_ = 0; }

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  T& operator[](size_t i) {
    mark(i + 1);
    return storage_[i];
  }
  const T& operator[](size_t i) const { return storage_[i]; }
  T& at(size_t i) {
    check(i);
    return (*this)[i];
  }
  const T& at(size_t i) const {
    check(i);
    return storage_[i];
  }
  T& front() { return (*this)[0]; }
  const T& front() const { return storage_[0]; }
  T& back() { return (*this)[size_ - 1]; }
  const T& back() const { return storage_[size_ - 1]; }

  T* data() {
    mark(size_);
    return storage_.data();
  }
  const T* data() const { return storage_.data(); }
  T* begin() { return data(); }
  T* end() { return data() + size_; }
  const T* begin() const { return storage_.data(); }
  const T* end() const { return storage_.data() + size_; }
  const T* cbegin() const { return begin(); }
  const T* cend() const { return end(); }

  // How far the storage may have been written since the last start (for tests).
  size_t high_water_mark() const { return written_; }

 private:
  void mark(size_t end) {
    if (end > written_) written_ = std::min(end, storage_.size());
  }
  void check(size_t i) const {
    if (i >= size_) {
      throw std::out_of_range("ReusableVector element " + std::to_string(i) + " of " +
                              std::to_string(size_));
    }
  }

  // In large pages when large (platform/large_pages.h).
  std::vector<T, platform::LargePageAllocator<T>> storage_;  // storage_.size() >= size_
  size_t size_ = 0;
  size_t written_ = 0;  // <= storage_.size(); storage_[written_ ..] are all T{}
};

}  // namespace model

#endif  // SCENARIO_MODEL_REUSABLE_VECTOR_H_
