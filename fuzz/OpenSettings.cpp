// The settings store reading its file: the bytes become the settings file
// in a private temporary folder, the store opens it, and every value of
// every section is read through every getter. A file that does not parse
// completely as a settings document must be set aside unchanged.

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/CodecSupport.h"
#include "fuzz/FuzzTargets.h"
#include "s/col/_array/IntArrays.h"
#include "s/str/Utf.h"
#include "s/xml/MappedData.h"

namespace tintery::fuzz {

namespace {

using s::xml::MappedData;
using s::xml::Node;

// Sections deeper than this, and elements past this count, are not read:
// the getters walk the path from the root each time.
constexpr std::size_t kMaxDepth = 32;
constexpr std::size_t kMaxSections = 512;

// The folder of the settings file, made once per process and emptied after
// every input.
const std::string& folder() {
  static const std::string path = [] {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                          "/tintery-fuzz-settings-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return std::string();
    std::atexit([] { ::rmdir(folder().c_str()); });
    return pattern;
  }();
  return path;
}

void emptyFolder() {
  DIR* dir = ::opendir(folder().c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") ::unlinkat(::dirfd(dir), entry->d_name, 0);
  }
  ::closedir(dir);
}

std::vector<std::uint8_t> contentsOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void readEveryValue(MappedData& store, const std::u16string& section, const Node& element) {
  store.selectSection(section);
  const s::xml::Attributes& attributes = element.getAttributes();
  for (std::int32_t i = 0; i < attributes.getCount(); ++i) {
    const std::u16string_view key = attributes.get(i)->getName();
    store.hasValue(section, key);
    store.getU8(section, key, 0);
    store.getU16(section, key, 0);
    store.getU32(section, key, 0);
    store.getU64(section, key, 0);
    store.getS8(section, key, 0);
    store.getS16(section, key, 0);
    store.getS32(section, key, 0);
    store.getS64(section, key, 0);
    store.getFloat(section, key, 0);
    store.getDouble(section, key, 0);
    store.getBool(section, key, false);
    bool expandable = true;
    store.getString(section, key, u"", &expandable, true);
    require(!expandable);
    auto bytes = s::thread::obtainOwned<s::col::_array::ArrayU08>();
    require(store.getBinary(section, key, bytes.get()) == bytes.get());
  }
}

}  // namespace

int openSettings(const std::uint8_t* data, std::size_t size) {
  if (folder().empty()) return 0;
  const std::string file = folder() + "/SaveData.xml";
  {
    std::FILE* out = std::fopen(file.c_str(), "wb");
    require(out != nullptr);
    require(std::fwrite(data, 1, size, out) == size || size == 0);
    require(std::fclose(out) == 0);
  }

  auto store = s::thread::obtainOwned<MappedData>();
  require(store != nullptr);
  store->setAutoFlush(false);
  if (!store->open(s::str::utf8ToUtf16(file))) {
    // Damaged: moved aside as it was, and the store starts from defaults.
    require(!store->getSetAsidePath().empty());
    require(::access(file.c_str(), F_OK) != 0);
    const auto kept = contentsOf(s::str::utf16ToUtf8(store->getSetAsidePath()));
    require(kept.size() == size && std::equal(kept.begin(), kept.end(), data));
    require(store->getDocument() == nullptr);
  } else if (const Node* document = store->getDocument()) {
    require(document->nameEquals(MappedData::ROOT_NAME, true));
    // Sections named by their element path, breadth first.
    struct Section {
      std::u16string path;
      const Node* element;
      std::size_t depth;
    };
    std::vector<Section> sections{{u"", document, 0}};
    for (std::size_t next = 0; next < sections.size() && next < kMaxSections; ++next) {
      const Section section = sections[next];
      readEveryValue(*store, section.path, *section.element);
      if (section.depth == kMaxDepth) continue;
      for (std::int32_t i = 0; i < section.element->getChildCount(); ++i) {
        const Node* child = section.element->getChild(i);
        sections.push_back(
            {section.path + u"\\" + std::u16string(child->getName()), child, section.depth + 1});
      }
    }
  }
  store.reset();
  emptyFolder();
  return 0;
}

}  // namespace tintery::fuzz
