#pragma once

namespace s::base {

// Disposes of an object that a collection owned. `reference` is the address of
// the pointer variable: a non-null object is disposed of and the variable set
// to null; a null variable is left alone.
class IDestructor {
 public:
  virtual ~IDestructor() = default;
  virtual void destroy(void** reference) = 0;
};

}  // namespace s::base
