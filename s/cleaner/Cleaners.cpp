#include "s/cleaner/Cleaners.h"

#include <new>

namespace s::cleaner {

CleanerIObject& CleanerIObject::instance() {
  static CleanerIObject cleaner;
  return cleaner;
}

void CleanerIObject::destroy(void** reference) {
  if (reference == nullptr || *reference == nullptr) return;
  delete static_cast<base::IObject*>(*reference);
  *reference = nullptr;
}

CleanerRawObject& CleanerRawObject::instance() {
  static CleanerRawObject cleaner;
  return cleaner;
}

void CleanerRawObject::destroy(void** reference) {
  if (reference == nullptr || *reference == nullptr) return;
  ::operator delete(*reference);
  *reference = nullptr;
}

}  // namespace s::cleaner
