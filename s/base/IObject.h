#pragma once

#include "s/base/ClassTag.h"
#include "s/base/IComparable.h"

namespace s::base {

// Root of every library class: identity and ordering from IComparable, plus
// the class tag and a way to make another object of the same class.
class IObject : public IComparable {
 public:
  // Every object of one concrete class hashes alike unless the class gives its
  // values a meaning of their own.
  std::uint32_t hashCode() const override { return hashText(getClassTag()); }

  virtual ClassTag getClassTag() const = 0;
  // A new object of the same concrete class in its initial state; pooled
  // classes take it from their pool. The caller owns (and recycles) it.
  virtual IObject* newInstance() const = 0;
};

// True when `object` answers exactly the tag constant `tag` (identity of the
// constant, not its text).
inline bool isA(const IObject* object, ClassTag tag) {
  return object != nullptr && object->getClassTag() == tag;
}

}  // namespace s::base
