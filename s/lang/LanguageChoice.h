#pragma once

#include <string_view>

namespace s::map {
class IMappedData;
}

namespace s::lang {

class Localizer;

// The setting that remembers the chosen language: the default value of the
// section "Language", holding the language's English name.
inline constexpr std::u16string_view LANGUAGE_SECTION = u"Language";

// The start-up choice of language, run once the localizer has been created
// (which made the system language current, or the first language): the
// stored name is read with the current language's English name as its
// default and set as the language, so a stored name that no language has
// gives English. When the current language's name then differs from what
// was read (ignoring case), the setting is rewritten with it. Nothing happens
// when the localizer has no languages.
void chooseStartupLanguage(Localizer& localizer, map::IMappedData& settings);

// Stores the current language's English name in the setting; language
// listeners call it when the user picks another language.
void storeCurrentLanguage(Localizer& localizer, map::IMappedData& settings);

}  // namespace s::lang
