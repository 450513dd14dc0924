#pragma once

#include "s/base/IDestructor.h"
#include "s/base/IObject.h"

namespace s::cleaner {

// Disposal strategy for collections that own library objects: deletes the
// object through its virtual destructor. One shared instance per process.
class CleanerIObject final : public base::IObject, public base::IDestructor {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_cleaner_CleanerIObject";
  static CleanerIObject& instance();

  base::ClassTag getClassTag() const override { return CLASS_TAG; }
  base::IObject* newInstance() const override { return &instance(); }
  // `reference` holds an IObject*.
  void destroy(void** reference) override;
};

// Disposal strategy for collections that own plain records: frees the memory
// without running a destructor. One shared instance per process.
class CleanerRawObject final : public base::IObject, public base::IDestructor {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_cleaner_CleanerRawObject";
  static CleanerRawObject& instance();

  base::ClassTag getClassTag() const override { return CLASS_TAG; }
  base::IObject* newInstance() const override { return &instance(); }
  // `reference` holds memory from operator new.
  void destroy(void** reference) override;
};

// Disposal strategy for collections whose elements go back to their pools:
// calls recycle() on each. `reference` holds a T* where T is IPoolable.
template <class T>
class RecycleCleaner final : public base::IDestructor {
 public:
  static RecycleCleaner& instance() {
    static RecycleCleaner cleaner;
    return cleaner;
  }
  void destroy(void** reference) override {
    if (reference == nullptr || *reference == nullptr) return;
    static_cast<T*>(*reference)->recycle();
    *reference = nullptr;
  }
};

}  // namespace s::cleaner
