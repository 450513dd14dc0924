#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace s::lang {

// The user-interface language of the process.
//
// The locale (LC_ALL, else LC_MESSAGES, else LANG) is first turned into a
// 16-bit language identifier of the classic form (sublanguage << 10 |
// primary language), and that identifier into an upper-case English name;
// the names are the ones language packs match by English name.

// The locale name from the environment: the first of LC_ALL, LC_MESSAGES and
// LANG that is set and not empty; empty when none is.
std::string userInterfaceLocale();

// The language identifier of a locale name of the form
// language[_territory][.codeset][@modifier] ("de_DE.UTF-8", "sr_RS@latin").
// An empty name, "C" and "POSIX" give English (United States); a language
// without an identifier of its own gives 0.
std::uint16_t langIdFromLocale(std::string_view locale);

// The upper-case English name of a language identifier ("GERMAN",
// "PORTUGUESE_BRAZILIAN"); "Unknown" for a primary language without a name.
std::u16string_view languageNameFromLangId(std::uint16_t langId);

// The name of the process's user-interface language, computed once per
// process from the environment.
std::u16string_view systemLanguageName();

}  // namespace s::lang
