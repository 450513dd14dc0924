#include "s/res/Resources.h"

#include "s/res/ResourceTable.h"

namespace s::res {

std::span<const std::uint8_t> findResource(std::string_view type, std::int32_t id) {
  for (std::size_t i = 0; i < RESOURCE_COUNT; ++i) {
    const ResourceEntry& entry = RESOURCE_TABLE[i];
    if (entry.id == id && type == entry.type) return {entry.data, entry.size};
  }
  return {};
}

}  // namespace s::res
