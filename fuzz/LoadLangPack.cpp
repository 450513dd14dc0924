// Language packs: the bytes are loaded by the localizer as a pack, then every
// language is chosen in turn and its texts looked up. Every language must
// hold every entry of the pack (a translation it lacks falls back to the
// entry's first one), and listeners hear of each real change of language,
// once.

#include <algorithm>
#include <array>
#include <string_view>

#include "fuzz/CodecSupport.h"
#include "fuzz/FuzzTargets.h"
#include "s/gui/events/IEventListener.h"
#include "s/lang/Localizer.h"
#include "s/str/strbuffer/StrBuffer.h"

namespace tintery::fuzz {

namespace {

using s::lang::LangPack;
using s::lang::Localizer;

// The fallback check looks at this many languages and entries: lookups of
// numeric ids are linear.
constexpr std::int32_t kCheckedLanguages = 64;
constexpr std::int32_t kCheckedEntries = 256;

// System languages to start from, including the names the Chinese,
// Portuguese and Serbian rules handle and none at all.
constexpr std::array<std::u16string_view, 6> kSystemLanguages = {
    u"ENGLISH", u"Chinese (Taiwan)", u"Portuguese", u"Serbian", u"", u"GERMAN"};

class CountingListener final : public s::gui::events::IEventListener {
 public:
  void onEvent(s::base::IObject*, std::int32_t code) override {
    require(code == Localizer::LANGUAGE_CHANGED);
    ++calls;
  }
  int calls = 0;
};

bool sameName(std::u16string_view a, std::u16string_view b) {
  return s::str::strbuffer::StrBuffer::compareTextsIgnoreCase(a, b) == 0;
}

void requireEveryEntry(Localizer& localizer) {
  const LangPack* reference = localizer.getLanguage(0);
  if (reference == nullptr) return;
  const std::int32_t languages = std::min(localizer.getLanguageCount(), kCheckedLanguages);
  for (std::int32_t l = 0; l < languages; ++l) {
    const LangPack* language = localizer.getLanguage(l);
    for (std::int32_t i = 0; i < std::min(reference->getNumericCount(), kCheckedEntries); ++i)
      require(language->findText(reference->getNumericId(i)) != nullptr);
    for (std::int32_t i = 0; i < std::min(reference->getStringCount(), kCheckedEntries); ++i)
      require(language->findText(reference->getStringId(i)) != nullptr);
  }
}

}  // namespace

int loadLangPack(const std::uint8_t* data, std::size_t size) {
  const std::u16string_view system = kSystemLanguages[size % kSystemLanguages.size()];
  const int version = Localizer::VENETIAN_GLYPH_VERSION - static_cast<int>(size % 2);
  auto localizer = s::thread::own(Localizer::createLocalizer(
      std::string_view(reinterpret_cast<const char*>(data), size), system, version));
  require(localizer != nullptr);
  requireEveryEntry(*localizer);

  CountingListener listener;
  localizer->addListener(&listener);
  const std::int32_t count = localizer->getLanguageCount();
  require((localizer->getCurrentLanguage() == nullptr) == (count == 0));
  for (std::int32_t i = 0; i < std::min(count, kCheckedLanguages); ++i) {
    LangPack* language = localizer->getLanguage(i);
    require(localizer->indexOfLanguage(language) == i);
    // A language is found by its English name (perhaps an earlier one of
    // the same name).
    const LangPack* found = localizer->findLanguage(language->getEngName());
    require(found != nullptr && sameName(found->getEngName(), language->getEngName()));

    const LangPack* before = localizer->getCurrentLanguage();
    const int calls = listener.calls;
    localizer->selectLanguage(i);
    require(localizer->getCurrentLanguage() == language);
    require(listener.calls == calls + (before != language ? 1 : 0));
    for (std::int32_t j = 0; j < std::min(language->getNumericCount(), kCheckedEntries); ++j) {
      const std::int32_t id = language->getNumericId(j);
      require(localizer->getText(id) == language->findText(id)->view());
      require(localizer->hasText(id) == !localizer->getText(id).empty());
    }
    localizer->setLanguage(language->getEngName());
  }
  localizer->removeListener(&listener);
  localizer->setLanguage(u"English");
  return 0;
}

}  // namespace tintery::fuzz
