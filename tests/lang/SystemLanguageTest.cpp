#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "s/lang/SystemLanguage.h"
#include "s/str/Utf.h"

namespace {

using s::lang::langIdFromLocale;
using s::lang::languageNameFromLangId;
using s::str::utf16ToUtf8;

TEST(SystemLanguage, NamesOfLanguageIdentifiers) {
  struct Case {
    std::uint16_t langId;
    const char* name;
  } cases[] = {
      // Identifiers with names of their own.
      {0x0004, "CHINESE_SIMPLIFIED"},
      {0x1004, "CHINESE_SIMPLIFIED"},
      {0x0404, "CHINESE_TRADITIONAL"},
      {0x7C04, "CHINESE_TRADITIONAL"},
      {0x001A, "CROATIAN"},
      {0x101A, "CROATIAN"},
      {0x0416, "PORTUGUESE_BRAZILIAN"},
      {0x0816, "PORTUGUESE_PORTUGAL"},
      {0x181A, "SERBIAN_LATIN"},
      {0x1C1A, "SERBIAN_CYRILLIC"},
      {0x201A, "BOSNIAN"},
      {0x7C1A, "SERBIAN"},
      {0x042E, "UPPER_SORBIAN"},
      {0x082E, "LOWER_SORBIAN"},
      // Everything else by its primary language.
      {0x0407, "GERMAN"},
      {0x0C07, "GERMAN"},
      {0x0411, "JAPANESE"},
      {0x7804, "CHINESE"},
      {0x141A, "SERBIAN"},
      {0x0016, "PORTUGUESE"},
      {0x0464, "FILIPINO"},
      {0x048C, "DARI"},
      {0x0488, "WOLOF"},
      // Primary languages without a name.
      {0x0000, "Unknown"},
      {0x002E, "Unknown"},
      {0x0455, "Unknown"},
      {0x048D, "Unknown"},
      {0x04FF, "Unknown"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(utf16ToUtf8(languageNameFromLangId(c.langId)), c.name) << std::hex << c.langId;
}

TEST(SystemLanguage, IdentifiersOfLocales) {
  struct Case {
    const char* locale;
    std::uint16_t langId;
  } cases[] = {
      {"de_DE.UTF-8", 0x0407},
      {"de", 0x0407},
      {"pt_PT", 0x0816},
      {"pt_BR.UTF-8", 0x0416},
      {"pt", 0x0016},
      {"zh_TW.UTF-8", 0x0404},
      {"zh_HK", 0x0C04},
      {"zh_CN.GB18030", 0x0804},
      {"zh_SG", 0x1004},
      {"zh", 0x0004},
      {"sr_RS", 0x0C1A},
      {"sr_RS@latin", 0x081A},
      {"sr_ME.UTF-8", 0x081A},
      {"sr_BA@cyrillic", 0x1C1A},
      {"sr", 0x7C1A},
      {"hr_HR.UTF-8", 0x041A},
      {"bs_BA", 0x141A},
      {"hsb_DE", 0x042E},
      {"ja_JP.eucJP", 0x0411},
      {"fil_PH", 0x0464},
      {"en_US.UTF-8@euro", 0x0409},
      {"C", 0x0409},
      {"C.UTF-8", 0x0409},
      {"POSIX", 0x0409},
      {"", 0x0409},
      {"DE_de", 0x0407},
      {"xx_YY", 0x0000},
      {"_", 0x0409},
  };
  for (const Case& c : cases)
    EXPECT_EQ(langIdFromLocale(c.locale), c.langId) << c.locale;
}

// Restores environment variables when the test ends.
class Environment {
 public:
  Environment() {
    for (Saved& variable : saved_) {
      if (const char* value = std::getenv(variable.name)) variable.value = value;
    }
  }
  ~Environment() {
    for (const Saved& variable : saved_) {
      if (variable.value) {
        ::setenv(variable.name, variable.value->c_str(), 1);
      } else {
        ::unsetenv(variable.name);
      }
    }
  }
  void set(const char* name, const char* value) {
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }

 private:
  struct Saved {
    const char* name;
    std::optional<std::string> value;
  } saved_[3] = {{"LC_ALL", {}}, {"LC_MESSAGES", {}}, {"LANG", {}}};
};

TEST(SystemLanguage, LocaleVariablesInTheirOrder) {
  struct Case {
    const char* all;
    const char* messages;
    const char* lang;
    const char* expected;
  } cases[] = {
      {"fr_FR", "de_DE", "ja_JP", "fr_FR"},
      {nullptr, "de_DE", "ja_JP", "de_DE"},
      {"", "", "ja_JP", "ja_JP"},
      {nullptr, nullptr, nullptr, ""},
  };
  Environment environment;
  for (const Case& c : cases) {
    environment.set("LC_ALL", c.all);
    environment.set("LC_MESSAGES", c.messages);
    environment.set("LANG", c.lang);
    EXPECT_EQ(s::lang::userInterfaceLocale(), c.expected);
  }
}

}  // namespace
