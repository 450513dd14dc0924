#pragma once

#include <cstdint>

#include "s/base/IObject.h"

namespace s::gui::events {

// Receives events as (source, code) pairs: `source` is the object that raised
// the event and `code` a small integer whose meaning the source defines.
class IEventListener {
 public:
  virtual ~IEventListener() = default;
  virtual void onEvent(base::IObject* source, std::int32_t code) = 0;
};

}  // namespace s::gui::events
