#include "fuzz/FuzzTargets.h"

#include <array>

namespace tintery::fuzz {

std::span<const Target> allTargets() {
  static constexpr std::array<Target, 15> kTargets = {{
      {"detect_decode", &detectAndDecode},
      {"read_bmp", &readBmp},
      {"read_gif", &readGif},
      {"gif_lzw", &gifLzw},
      {"read_ico", &readIco},
      {"read_jpeg", &readJpeg},
      {"read_png", &readPng},
      {"roundtrip_bmp", &roundTripBmp},
      {"roundtrip_gif", &roundTripGif},
      {"roundtrip_ico", &roundTripIco},
      {"roundtrip_jpeg", &roundTripJpeg},
      {"roundtrip_png", &roundTripPng},
      {"parse_xml", &parseXml},
      {"open_settings", &openSettings},
      {"load_lang_pack", &loadLangPack},
  }};
  return kTargets;
}

}  // namespace tintery::fuzz
