#pragma once

#include <cstdint>
#include <memory>

#include "s/base/IDestructor.h"
#include "s/base/IGenerator.h"
#include "s/base/IObject.h"
#include "s/thread/ObjLocker.h"

namespace s::col::_array {
class ArrayP;
}

namespace s::thread {

// A pool of spare objects driven by three plain functions. The free list is a
// stack: the most recently released object is the next one obtained.
class EasyPooler : public base::IObject, public base::IGenerator, public base::IDestructor {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_thread_EasyPooler";
  using CreateFunction = void* (*)();
  using DestroyFunction = void (*)(void*);
  using ResetFunction = void (*)(void*);

  EasyPooler(std::int32_t capacity, CreateFunction create, DestroyFunction destroy,
             ResetFunction reset);
  EasyPooler(const EasyPooler&) = delete;
  EasyPooler& operator=(const EasyPooler&) = delete;
  // Destroys every spare object in index order, then the free list.
  ~EasyPooler() override;

  base::ClassTag getClassTag() const override { return CLASS_TAG; }
  base::IObject* newInstance() const override;

  void* generate() override { return obtain(); }
  void destroy(void** reference) override;

  // A spare object as the reset function left it, or a new one from the
  // create function (null when that cannot allocate).
  void* obtain();
  // Resets the object and keeps it while fewer than `capacity` are spare;
  // otherwise destroys it.
  void release(void* object);

  std::int32_t getCapacity() const { return capacity_; }
  std::int32_t getSpareCount();

 private:
  ObjLocker lock_;
  std::unique_ptr<col::_array::ArrayP> freeList_;
  std::int32_t capacity_;
  CreateFunction create_;
  DestroyFunction destroy_;
  ResetFunction reset_;
};

}  // namespace s::thread
