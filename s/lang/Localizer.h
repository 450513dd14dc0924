#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "s/col/_array/ArrayP.h"
#include "s/gui/events/IEventListener.h"
#include "s/lang/LangPack.h"
#include "s/str/strbuffer/StrBuffer.h"
#include "s/thread/Pool.h"

namespace s::xml {
class Node;
}

namespace s::lang {

// The languages of a language pack and the current one, answering text
// lookups by numeric id.
//
// Pack document: root "lang"; its child "languages" holds one "entry" per
// language (attributes tagName, engName, trueName) in the order they are
// offered; its child "entries" holds one "entry" per text (attribute id),
// whose children are named by language tags and hold the translations as
// their text, the first one being the entry's fallback. Element and attribute
// names are matched ignoring case.
//
// Listeners are told onEvent(localizer, 0) whenever the current language
// really changes. The localizer owns its languages, not its listeners.
class Localizer final : public thread::PooledObject<Localizer> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_lang_Localizer";
  // The resource holding the program's language pack.
  static constexpr std::string_view PACK_RESOURCE_TYPE = "IDR_XML";
  static constexpr std::int32_t PACK_RESOURCE_ID = 130;
  // The event code of a language change.
  static constexpr std::int32_t LANGUAGE_CHANGED = 0;
  // Texts of languages tagged "vec" have U+019A replaced by U+0142 on systems
  // whose major version is below this, which lack the first glyph.
  static constexpr int VENETIAN_GLYPH_VERSION = 6;

  Localizer() { clear(); }
  ~Localizer() override { clear(); }
  Localizer(const Localizer&) = delete;
  Localizer& operator=(const Localizer&) = delete;

  // A localizer loaded from the resource (type, id) with the system's
  // language current; without a readable pack it has no languages. Null
  // when no object could be allocated.
  static Localizer* createLocalizer(std::string_view resourceType, std::int32_t resourceId);
  // The same from the UTF-8 bytes of a pack, for a given system language
  // name and system major version.
  static Localizer* createLocalizer(std::string_view packUtf8, std::u16string_view systemLanguage,
                                    int systemMajorVersion);

  // The operating system's major version as the glyph rule sees it. This
  // platform has every glyph the packs use, so it counts as current.
  static int systemMajorVersion() { return VENETIAN_GLYPH_VERSION; }
  // The user-interface language of the process as an upper-case English name.
  static std::u16string_view systemLanguageName();

  // Releases the languages, forgets the current one and the listeners.
  void clear() override;

  // Replaces the languages by those of the pack rooted at `pack`; no
  // language is current afterwards.
  void load(const xml::Node& pack, int systemMajorVersion);

  // The language named `name` (English name, ignoring case), or the one the
  // Chinese, Portuguese and Serbian rules give for a name that starts with
  // those words; null when none matches.
  LangPack* findLanguage(std::u16string_view name) const;
  // Makes the language with English name `name` current, else English, else
  // the first language.
  void setLanguage(std::u16string_view name);
  // Makes the language at `index` of the list current; out of range is ignored.
  void selectLanguage(std::int32_t index);
  // The current language, chosen from the system language (else the first)
  // on first use; null only when there are no languages.
  LangPack* getCurrentLanguage();
  std::int32_t getLanguageCount() const { return languages_.getLength(); }
  LangPack* getLanguage(std::int32_t index) const;
  // The position of `language` in the list, or -1.
  std::int32_t indexOfLanguage(const LangPack* language) const;

  // The current language's first text for `id`; empty when there is none.
  std::u16string_view getText(std::int32_t id);
  // True when the current language holds `id` with a non-empty text.
  bool hasText(std::int32_t id);

  void addListener(gui::events::IEventListener* listener);
  // Forgets `listener` (a window going away); unknown listeners are ignored.
  void removeListener(gui::events::IEventListener* listener);

 private:
  // Makes `language` current and tells the listeners, unless it already is.
  void makeCurrent(LangPack* language);

  // LangPack objects in document order, owned.
  col::_array::ArrayP languages_;
  LangPack* current_ = nullptr;
  // IEventListener pointers, not owned.
  col::_array::ArrayP listeners_;
  // The system language the first choice is made from.
  str::strbuffer::StrBuffer systemLanguage_;
};

}  // namespace s::lang
