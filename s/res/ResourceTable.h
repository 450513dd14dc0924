#pragma once

#include <cstddef>
#include <cstdint>

namespace s::res {

// One resource compiled into the program. The build generates the table
// from the files listed in s/res/CMakeLists.txt.
struct ResourceEntry {
  const char* type;
  std::int32_t id;
  const std::uint8_t* data;
  std::size_t size;
};

extern const ResourceEntry RESOURCE_TABLE[];
extern const std::size_t RESOURCE_COUNT;

}  // namespace s::res
