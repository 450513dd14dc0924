#pragma once

#include <string_view>
#include <vector>

namespace s::map {

// The components of a section path in order. Components are separated by
// "\" and, when `slashToo` is set, also by "/"; empty components (doubled or
// leading and trailing separators) are skipped, so "" and "\" both name the
// root.
inline std::vector<std::u16string_view> splitSectionPath(std::u16string_view path, bool slashToo) {
  std::vector<std::u16string_view> components;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == u'\\' || (slashToo && path[i] == u'/')) {
      if (i > start) components.push_back(path.substr(start, i - start));
      start = i + 1;
    }
  }
  return components;
}

}  // namespace s::map
