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

// Class-based pool: the subclass makes (generate), resets (prepare) and
// destroys (dispose) its objects. Optional size accounting bounds what is kept
// by bytes as well as by count.
class PoolerBase : public base::IObject, public base::IGenerator, public base::IDestructor {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_thread_PoolerBase";

  PoolerBase();
  PoolerBase(const PoolerBase&) = delete;
  PoolerBase& operator=(const PoolerBase&) = delete;
  // Subclasses call disposeAll() from their destructor, while dispose() is
  // still theirs.
  ~PoolerBase() override;

  base::ClassTag getClassTag() const override { return CLASS_TAG; }

  virtual std::int32_t sizeOf(void* object);
  // A size of -1 asks sizeOf().
  virtual void release(void* object, std::int32_t size);
  virtual void* obtain();
  virtual void prepare(void* object) = 0;
  virtual void dispose(void** reference) = 0;

  void destroy(void** reference) override;

  void setSizeAccounting(bool on) { sizeAccounting_ = on; }
  void setLimits(std::int32_t count, std::int32_t perObject, std::int32_t total) {
    countLimit_ = count, sizeLimit_ = perObject, totalLimit_ = total;
  }
  std::int32_t getSpareCount();
  std::int64_t getTotalSize() const { return totalSize_; }

 protected:
  // Disposes of every spare object in index order and empties the free list.
  void disposeAll();

 private:
  ObjLocker lock_;
  std::unique_ptr<col::_array::ArrayP> freeList_;
  std::int32_t countLimit_ = 1000;
  std::int32_t sizeLimit_ = 1024;
  std::int32_t totalLimit_ = 102400;
  std::int64_t totalSize_ = 0;
  bool sizeAccounting_ = false;
};

// A PoolerBase that is known by its own tag; the XML attribute records use it.
class Factory : public PoolerBase {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_thread_Factory";
  base::ClassTag getClassTag() const override { return CLASS_TAG; }
};

}  // namespace s::thread
