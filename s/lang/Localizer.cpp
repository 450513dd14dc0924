#include "s/lang/Localizer.h"

#include <cstdint>
#include <vector>

#include "s/cleaner/Cleaners.h"
#include "s/lang/SystemLanguage.h"
#include "s/res/Resources.h"
#include "s/xml/Node.h"

namespace s::lang {

namespace {

using str::strbuffer::StrBuffer;

bool sameName(std::u16string_view a, std::u16string_view b) {
  return StrBuffer::compareTextsIgnoreCase(a, b) == 0;
}

bool startsWithIgnoreCase(std::u16string_view text, std::u16string_view prefix) {
  return text.size() >= prefix.size() && sameName(text.substr(0, prefix.size()), prefix);
}

// An id is numeric when it starts with a decimal digit; its value is the
// number formed by the leading digits ("1109000abc" is 1109000). Ids whose
// leading digits do not fit 32 bits are kept as strings rather than wrapped
// onto another id.
bool parseNumericId(std::u16string_view id, std::int32_t& number) {
  if (id.empty() || id[0] < u'0' || id[0] > u'9') return false;
  std::int64_t value = 0;
  for (char16_t c : id) {
    if (c < u'0' || c > u'9') break;
    value = value * 10 + (c - u'0');
    if (value > INT32_MAX) return false;
  }
  number = static_cast<std::int32_t>(value);
  return true;
}

// One text entry of the pack as the languages store it.
struct EntryId {
  std::u16string text;
  bool numeric;
  std::int32_t number;

  bool heldBy(const LangPack& language) const {
    return numeric ? language.findText(number) != nullptr : language.findText(text) != nullptr;
  }
};

void addEntryText(LangPack& language, const EntryId& id, std::u16string text, bool replaceGlyph) {
  // Older systems lack the small l with bar; the small l with stroke looks
  // close enough.
  if (replaceGlyph && language.getTagName() == u"vec") {
    for (char16_t& c : text) {
      if (c == u'\u019A') c = u'\u0142';
    }
  }
  if (id.numeric) {
    language.addText(id.number, text);
  } else {
    language.addText(id.text, text);
  }
}

}  // namespace

Localizer* Localizer::createLocalizer(std::string_view resourceType, std::int32_t resourceId) {
  const std::span<const std::uint8_t> bytes = res::findResource(resourceType, resourceId);
  return createLocalizer(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
      systemLanguageName(), systemMajorVersion());
}

Localizer* Localizer::createLocalizer(std::string_view packUtf8, std::u16string_view systemLanguage,
                                      int systemMajorVersion) {
  Localizer* localizer = obtain();
  if (localizer == nullptr) return nullptr;
  localizer->systemLanguage_.set(systemLanguage);
  auto pack = thread::obtainOwned<xml::Node>();
  if (pack != nullptr && pack->parseUtf8(packUtf8, nullptr)) {
    localizer->load(*pack, systemMajorVersion);
  }
  localizer->setLanguage(systemLanguage);
  return localizer;
}

std::u16string_view Localizer::systemLanguageName() {
  return lang::systemLanguageName();
}

void Localizer::clear() {
  languages_.setDisposer(&cleaner::RecycleCleaner<LangPack>::instance());
  languages_.disposeElements();
  current_ = nullptr;
  listeners_.removeAllWithoutDisposing();
  systemLanguage_.clear();
}

void Localizer::load(const xml::Node& pack, int systemMajorVersion) {
  languages_.disposeElements();
  current_ = nullptr;

  if (const xml::Node* list = pack.findChild(u"languages")) {
    for (std::int32_t i = 0; i < list->getChildCount(); ++i) {
      const xml::Node* entry = list->getChild(i);
      if (!entry->nameEquals(u"entry", true)) continue;
      LangPack* language = LangPack::obtain();
      if (language == nullptr) continue;
      language->setNames(entry->textOf(u"tagName"), entry->textOf(u"engName"),
                         entry->textOf(u"trueName"));
      languages_.add(language);
    }
  }

  const xml::Node* entries = pack.findChild(u"entries");
  if (entries == nullptr) return;
  const bool replaceGlyph = systemMajorVersion < VENETIAN_GLYPH_VERSION;
  for (std::int32_t i = 0; i < entries->getChildCount(); ++i) {
    const xml::Node* entry = entries->getChild(i);
    if (!entry->nameEquals(u"entry", true)) continue;
    EntryId id{entry->textOf(u"id"), false, 0};
    id.numeric = parseNumericId(id.text, id.number);

    // The first translation a language of the pack takes is the fallback of
    // every language the entry leaves out. It is chosen afresh for each
    // entry, so no text ever leaks into the next one.
    std::u16string fallback;
    bool haveFallback = false;
    for (std::int32_t j = 0; j < entry->getChildCount(); ++j) {
      const xml::Node* translation = entry->getChild(j);
      LangPack* language = nullptr;
      for (void* element : languages_) {
        auto* candidate = static_cast<LangPack*>(element);
        if (sameName(candidate->getTagName(), translation->getName())) {
          language = candidate;
          break;
        }
      }
      if (language == nullptr) continue;
      std::u16string text = translation->textOf(u"");
      if (!haveFallback) {
        fallback = text;
        haveFallback = true;
      }
      addEntryText(*language, id, std::move(text), replaceGlyph);
    }
    for (void* element : languages_) {
      auto* language = static_cast<LangPack*>(element);
      if (!id.heldBy(*language)) addEntryText(*language, id, fallback, replaceGlyph);
    }
  }
}

LangPack* Localizer::findLanguage(std::u16string_view name) const {
  auto byName = [this](std::u16string_view engName) -> LangPack* {
    for (void* element : languages_) {
      auto* language = static_cast<LangPack*>(element);
      if (sameName(language->getEngName(), engName)) return language;
    }
    return nullptr;
  };
  if (LangPack* exact = byName(name)) return exact;

  LangPack* result = nullptr;
  if (startsWithIgnoreCase(name, u"Chinese")) {
    result = byName(u"CHINESE_SIMPLIFIED");
    if (result == nullptr) result = byName(u"CHINESE_TRADITIONAL");
  } else if (startsWithIgnoreCase(name, u"Portuguese")) {
    result = byName(u"PORTUGUESE_BRAZILIAN");
    if (result == nullptr) result = byName(u"PORTUGUESE_PORTUGAL");
  } else if (startsWithIgnoreCase(name, u"Serbian")) {
    result = byName(u"SERBIAN_CYRILLIC");
    if (result == nullptr) result = byName(u"SERBIAN_LATIN");
  }
  return result;
}

LangPack* Localizer::getCurrentLanguage() {
  if (current_ == nullptr) {
    const std::u16string_view system =
        systemLanguage_.isEmpty() ? systemLanguageName() : systemLanguage_.view();
    current_ = findLanguage(system);
    if (current_ == nullptr) current_ = getLanguage(0);
  }
  return current_;
}

void Localizer::setLanguage(std::u16string_view name) {
  const LangPack* current = getCurrentLanguage();
  if (current == nullptr || sameName(current->getEngName(), name)) return;
  LangPack* chosen = findLanguage(name);
  if (chosen == nullptr) chosen = findLanguage(u"English");
  if (chosen == nullptr) chosen = getLanguage(0);
  makeCurrent(chosen);
}

void Localizer::selectLanguage(std::int32_t index) {
  getCurrentLanguage();
  makeCurrent(getLanguage(index));
}

void Localizer::makeCurrent(LangPack* language) {
  if (language == nullptr || language == current_) return;
  current_ = language;
  // A listener may add or remove listeners while it is told; tell the ones
  // registered when the change happened.
  const std::vector<void*> listeners(listeners_.begin(), listeners_.end());
  for (void* listener : listeners)
    static_cast<gui::events::IEventListener*>(listener)->onEvent(this, LANGUAGE_CHANGED);
}

LangPack* Localizer::getLanguage(std::int32_t index) const {
  if (index < 0 || index >= languages_.getLength()) return nullptr;
  return static_cast<LangPack*>(languages_.get(index));
}

std::int32_t Localizer::indexOfLanguage(const LangPack* language) const {
  return languages_.indexOf(const_cast<LangPack*>(language));
}

std::u16string_view Localizer::getText(std::int32_t id) {
  const LangPack* language = getCurrentLanguage();
  if (language == nullptr) return {};
  const StrBuffer* text = language->findText(id);
  return text != nullptr ? text->view() : std::u16string_view();
}

bool Localizer::hasText(std::int32_t id) {
  return !getText(id).empty();
}

void Localizer::addListener(gui::events::IEventListener* listener) {
  if (listener != nullptr) listeners_.add(listener);
}

void Localizer::removeListener(gui::events::IEventListener* listener) {
  for (std::int32_t i = listeners_.getLength() - 1; i >= 0; --i) {
    if (listeners_.get(i) == listener) listeners_.remove(i);
  }
}

}  // namespace s::lang
