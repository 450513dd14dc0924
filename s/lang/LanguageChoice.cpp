#include "s/lang/LanguageChoice.h"

#include <string>

#include "s/lang/Localizer.h"
#include "s/map/IMappedData.h"
#include "s/str/strbuffer/StrBuffer.h"

namespace s::lang {

void chooseStartupLanguage(Localizer& localizer, map::IMappedData& settings) {
  const LangPack* current = localizer.getCurrentLanguage();
  if (current == nullptr) return;
  const std::u16string stored =
      settings.getString(LANGUAGE_SECTION, u"", current->getEngName(), nullptr, false);
  localizer.setLanguage(stored);
  current = localizer.getCurrentLanguage();
  if (str::strbuffer::StrBuffer::compareTextsIgnoreCase(current->getEngName(), stored) != 0) {
    settings.setString(LANGUAGE_SECTION, u"", current->getEngName());
  }
}

void storeCurrentLanguage(Localizer& localizer, map::IMappedData& settings) {
  const LangPack* current = localizer.getCurrentLanguage();
  if (current != nullptr) settings.setString(LANGUAGE_SECTION, u"", current->getEngName());
}

}  // namespace s::lang
