#pragma once

#include <cstdint>
#include <string_view>

#include "s/image/IBufferedImageSet.h"
#include "s/image/IEncodedImage.h"

namespace s::image {

// File handling shared by every codec: saving never replaces an existing
// file, loading reads only existing files.
bool saveEncodedImage(IEncodedImage& image, file::IPath& path);
bool saveEncodedImage(IEncodedImage& image, std::u16string_view path);
bool loadEncodedImage(IEncodedImage& image, file::IPath& path);
bool loadEncodedImage(IEncodedImage& image, std::u16string_view path);

// Base of the codec classes: the operations that every format shares, on
// top of the format's own interface (which derives from IEncodedImage).
template <class Interface>
class EncodedImage : public Interface {
 public:
  bool saveToFile(std::u16string_view path) override { return saveEncodedImage(*this, path); }
  bool saveToFile(file::IPath& path) override { return saveEncodedImage(*this, path); }
  bool loadFromFile(std::u16string_view path) override { return loadEncodedImage(*this, path); }
  bool loadFromFile(file::IPath& path) override { return loadEncodedImage(*this, path); }
  std::string_view getProblem() const override { return problem_; }

 protected:
  // Problems are constant texts; the first one found is kept.
  void noteProblem(const char* problem) {
    if (problem_[0] == '\0') problem_ = problem;
  }
  void forgetProblem() { problem_ = ""; }

 private:
  const char* problem_ = "";
};

// Base of the formats that hold one picture: every lookup answers that one,
// and a set is encoded as its primary picture.
template <class Interface>
class SinglePictureImage : public EncodedImage<Interface> {
 public:
  bool isMultiImage() const override { return false; }
  std::int32_t getImageCount() const override { return 1; }
  IEncodedImage* encodeSetLike(IBufferedImageSet* set) override {
    if (set == nullptr || set->getCount() == 0) return nullptr;
    return this->encodeLike(set->getPrimary());
  }
  bool find(std::int32_t, std::int32_t, std::int32_t, std::int32_t& index) override {
    index = 0;
    return true;
  }
  bool findNearestDepth(std::int32_t, std::int32_t, std::int32_t, std::int32_t& index) override {
    index = 0;
    return true;
  }
  bool findNearestSize(std::int32_t, std::int32_t, std::int32_t, std::int32_t& index) override {
    index = 0;
    return true;
  }
};

}  // namespace s::image
