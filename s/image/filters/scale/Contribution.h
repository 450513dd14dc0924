#pragma once

#include <cstdint>
#include <vector>

#include "s/image/filters/scale/IScaleFilter.h"
#include "s/thread/Pool.h"

namespace s::image::filters::scale {

// The contribution table of one resampling pass: for every destination pixel
// the range of source pixels it draws on and their weights in 16.16 fixed
// point (65536 = 1.0).
class Contribution final : public thread::PooledObject<Contribution> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_image_filters_scale_Contribution";

  Contribution() { clear(); }
  void clear() override {
    count_ = window_ = entrySize_ = 0;
    entries_.clear();
  }

  // Builds the table for destination length n from source length s.
  void build(const IScaleFilter& filter, std::int32_t n, std::int32_t s);

  std::int32_t getCount() const { return count_; }
  std::int32_t getWindow() const { return window_; }
  std::int32_t getEntrySize() const { return entrySize_; }
  std::int32_t first(std::int32_t i) const { return entry(i)[0]; }
  std::int32_t last(std::int32_t i) const { return entry(i)[1]; }
  // The weights of pixels first..last of entry i.
  const std::int32_t* weights(std::int32_t i) const { return entry(i) + 2; }

 private:
  const std::int32_t* entry(std::int32_t i) const {
    return entries_.data() + static_cast<std::size_t>(i) * (entrySize_ / 4);
  }

  std::int32_t count_ = 0;
  std::int32_t window_ = 0;
  std::int32_t entrySize_ = 0;
  // count x entrySize bytes, as 32-bit words: first, last, window weights.
  std::vector<std::int32_t> entries_;
};

}  // namespace s::image::filters::scale
