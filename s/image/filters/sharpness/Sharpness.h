#pragma once

#include <cstdint>
#include <mutex>

#include "s/image/filters/IFilter.h"
#include "s/thread/Pool.h"

namespace s::image::filters::convolution {
class Convolution;
}

namespace s::image::filters::sharpness {

// Sharpens (positive strength) or softens (negative strength) a picture with
// a 3x3 kernel; strength 0 only copies.
class Sharpness final : public thread::PooledObject<Sharpness, IFilter> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_image_filters_sharpness_Sharpness";
  static constexpr char16_t TYPE_NAME[] = u"Sharpness";
  // Above this the sharpening kernel's weights would sum to 0 or less.
  static constexpr std::int32_t kStrongest = 152;

  Sharpness() { clear(); }
  ~Sharpness() override;
  // A pooled filter of the given strength.
  static Sharpness* create(std::int32_t strength);

  void clear() override;

  const char16_t* getTypeName() const override { return TYPE_NAME; }
  bool isOwnedByImage() const override { return ownedByImage_; }
  void setOwnedByImage(bool owned) override { ownedByImage_ = owned; }
  IBufferedImage* apply(IBufferedImage* source, IBufferedImage* target) override;

  // Builds the kernel; strengths above kStrongest act as kStrongest.
  void setStrength(std::int32_t strength);
  std::int32_t getStrength() const { return strength_; }
  const convolution::Convolution* getKernel() const { return kernel_; }

 private:
  bool ownedByImage_ = true;
  std::mutex lock_;
  std::int32_t strength_ = 0;
  convolution::Convolution* kernel_ = nullptr;
};

}  // namespace s::image::filters::sharpness
