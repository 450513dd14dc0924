#pragma once

// Chunk checksums for the PNG targets. Nearly every mutation of a PNG file
// breaks a chunk's CRC, which the library checks before anything else, so
// the PNG targets also read a copy of each input whose checksums are made
// right, and reach the code behind them.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tintery::fuzz {

// The bytes with the CRC of every whole chunk after the signature set to
// match the chunk's type and data; a cut-off last chunk stays as it is.
// Empty when there was nothing to change.
std::vector<std::uint8_t> withChunkCrcsFixed(const std::uint8_t* data, std::size_t size);

}  // namespace tintery::fuzz
