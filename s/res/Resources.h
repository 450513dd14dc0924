#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace s::res {

// The bytes of a resource compiled into the program, found by its type and
// id (("IDR_XML", 130) is the language pack). Empty when there is none. The
// bytes live as long as the program.
std::span<const std::uint8_t> findResource(std::string_view type, std::int32_t id);

}  // namespace s::res
