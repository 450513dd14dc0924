#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "s/gui/events/IEventListener.h"
#include "s/lang/LanguageChoice.h"
#include "s/lang/Localizer.h"
#include "s/lang/SystemLanguage.h"
#include "s/str/Utf.h"
#include "s/xml/MappedData.h"
#include "tests/file/TempFolder.h"

namespace {

using s::lang::LangPack;
using s::lang::languageNameFromLangId;
using s::lang::Localizer;
using s::str::utf16ToUtf8;
using s::thread::obtainOwned;
using s::thread::own;
using s::thread::Owned;
using s::xml::MappedData;
using tintery_test::readRaw;
using tintery_test::TempFolder;

constexpr int kCurrentSystem = Localizer::VENETIAN_GLYPH_VERSION;

std::string fixture() {
  return readRaw(std::string(TINTERY_TEST_DATA) + "/lang/pack.xml");
}

Owned<Localizer> load(std::string_view pack, std::u16string_view system = u"ENGLISH",
                      int version = kCurrentSystem) {
  return own(Localizer::createLocalizer(pack, system, version));
}

std::string currentName(Localizer& localizer) {
  const LangPack* current = localizer.getCurrentLanguage();
  return current != nullptr ? utf16ToUtf8(current->getEngName()) : "(none)";
}

// Counts language changes and remembers who told it.
class Listener : public s::gui::events::IEventListener {
 public:
  void onEvent(s::base::IObject* source, std::int32_t code) override {
    ++calls;
    lastSource = source;
    lastCode = code;
  }
  int calls = 0;
  s::base::IObject* lastSource = nullptr;
  std::int32_t lastCode = -1;
};

TEST(LanguagePack, LanguagesComeInDocumentOrderFromEntryElementsOnly) {
  auto localizer = load(fixture());
  const char* expected[][2] = {
      {"eng", "English"},          {"deu", "German"},
      {"jpn", "Japanese"},         {"bra", "Portuguese_Brazilian"},
      {"cpn", "Serbian_Cyrillic"}, {"zht", "Chinese_Traditional"},
      {"vec", "Venetian"},
  };
  ASSERT_EQ(localizer->getLanguageCount(), 7);
  for (int i = 0; i < 7; ++i) {
    const LangPack* language = localizer->getLanguage(i);
    EXPECT_EQ(utf16ToUtf8(language->getTagName()), expected[i][0]);
    EXPECT_EQ(utf16ToUtf8(language->getEngName()), expected[i][1]);
    EXPECT_EQ(language->getClassTag(), LangPack::CLASS_TAG);
  }
  EXPECT_EQ(localizer->getLanguage(2)->getTrueName(), u"\u65e5\u672c\u8a9e");
  EXPECT_EQ(localizer->getLanguage(7), nullptr);
  EXPECT_EQ(localizer->indexOfLanguage(localizer->getLanguage(3)), 3);
}

// Every language ends up with a text for every entry: its own translation,
// else the entry's first translation.
TEST(LanguagePack, TextsAndFallbacks) {
  auto localizer = load(fixture());
  struct Case {
    std::int32_t id;
    std::u16string_view english, german, japanese, venetian;
  } cases[] = {
      {609000, u"View", u"Ansicht", u"\u8868\u793a", u"View"},
      {1109000, u"Maximum Range", u"Maximaler Bereich", u"Maximum Range", u"Maximum Range"},
      {1005000, u"Advanced Options >>", u"<< Erweitert", u"Advanced Options >>",
       u"Advanced Options >>"},
      {1004000, u"Convert to: ", u"Convert to: ", u"Convert to: ", u"Convert to: "},
      // The first translation names no language of the pack: the first one
      // that does stands in for the others.
      {701000, u"\u00dcber", u"\u00dcber", u"\u00dcber", u"\u00dcber"},
      // ... and nothing of it leaks into the next entry.
      {701100, u"Version Information", u"Version Information", u"Version Information",
       u"Version Information"},
      {500101, u"", u"", u"", u""},
      {5, u"", u"", u"", u""},
      {608299, u"", u"", u"", u""},
  };
  const char* names[] = {"English", "German", "Japanese", "Venetian"};
  for (const Case& c : cases) {
    const std::u16string_view texts[] = {c.english, c.german, c.japanese, c.venetian};
    for (int i = 0; i < 4; ++i) {
      localizer->setLanguage(s::str::utf8ToUtf16(names[i]));
      ASSERT_EQ(currentName(*localizer), names[i]);
      EXPECT_EQ(localizer->getText(c.id), texts[i]) << c.id << " in " << names[i];
      EXPECT_EQ(localizer->hasText(c.id), !texts[i].empty()) << c.id << " in " << names[i];
    }
  }
  // Every language holds every numeric id.
  const LangPack* english = localizer->getLanguage(0);
  for (std::int32_t i = 0; i < localizer->getLanguageCount(); ++i) {
    const LangPack* language = localizer->getLanguage(i);
    for (std::int32_t j = 0; j < english->getNumericCount(); ++j)
      EXPECT_NE(language->findText(english->getNumericId(j)), nullptr);
  }
}

TEST(LanguagePack, IdForms) {
  auto localizer = load(fixture());
  const LangPack* english = localizer->getLanguage(0);
  // Leading digits make a numeric id; a leading letter a string id, which
  // numeric lookups never reach.
  EXPECT_EQ(localizer->getText(1109000), u"Maximum Range");
  ASSERT_NE(english->findText(u"Title"), nullptr);
  EXPECT_EQ(*english->findText(u"Title"), u"Kelto Tintery");
  EXPECT_EQ(*localizer->getLanguage(1)->findText(u"Title"), u"Kelto Tintery (DE)");
  EXPECT_EQ(english->findText(u"title"), nullptr);
  // Digits beyond 32 bits do not wrap onto another id.
  ASSERT_NE(english->findText(u"99999999999"), nullptr);
  for (std::int32_t i = 0; i < english->getNumericCount(); ++i) {
    EXPECT_NE(english->getNumericText(i), u"Huge");
  }
  // A duplicate id is kept, and lookups find the first.
  EXPECT_EQ(localizer->getText(609000), u"View");
  int views = 0;
  for (std::int32_t i = 0; i < english->getNumericCount(); ++i)
    views += english->getNumericId(i) == 609000;
  EXPECT_EQ(views, 2);
}

TEST(LanguagePack, VenetianGlyphOnlyOnOlderSystems) {
  struct Case {
    int version;
    std::u16string_view own, fallback;
  } cases[] = {
      {5, u"V\u0142", u"c\u0142d"},
      {6, u"V\u019a", u"c\u019ad"},
      {10, u"V\u019a", u"c\u019ad"},
  };
  for (const Case& c : cases) {
    auto localizer = load(fixture(), u"ENGLISH", c.version);
    // Other languages keep the letter whatever the version.
    EXPECT_EQ(localizer->getText(3), u"a\u019ab");
    localizer->setLanguage(u"Venetian");
    EXPECT_EQ(localizer->getText(3), c.own) << c.version;
    EXPECT_EQ(localizer->getText(4), c.fallback) << c.version;
  }
  // This platform counts as a current system.
  EXPECT_GE(Localizer::systemMajorVersion(), Localizer::VENETIAN_GLYPH_VERSION);
}

TEST(LanguageChoice, SystemLanguageExamples) {
  struct Case {
    std::uint16_t langId;
    const char* expected;
  } cases[] = {
      {0x0407, "German"},
      {0x0816, "Portuguese_Brazilian"},  // through the "Portuguese" prefix
      {0x0416, "Portuguese_Brazilian"},
      {0x7C1A, "Serbian_Cyrillic"},
      {0x081A, "Serbian_Cyrillic"},  // no Latin in this pack
      {0x0C04, "Chinese_Traditional"},
      {0x0804, "Chinese_Traditional"},  // no Simplified in this pack
      {0x0411, "Japanese"},
      {0x0455, "English"},  // "Unknown": the first language
      {0x040C, "English"},  // French is not in this pack: English
  };
  for (const Case& c : cases) {
    auto localizer = load(fixture(), languageNameFromLangId(c.langId));
    EXPECT_EQ(currentName(*localizer), c.expected) << std::hex << c.langId;
  }
}

TEST(LanguageChoice, PrefixRulesPreferTheirFirstVariant) {
  const std::string pack =
      "<lang><languages>"
      "<entry tagName=\"a\" engName=\"Korean\"/>"
      "<entry tagName=\"b\" engName=\"Portuguese_Portugal\"/>"
      "<entry tagName=\"c\" engName=\"Serbian_Latin\"/>"
      "<entry tagName=\"d\" engName=\"Chinese_Traditional\"/>"
      "<entry tagName=\"e\" engName=\"Chinese_Simplified\"/>"
      "<entry tagName=\"f\" engName=\"Serbian_Cyrillic\"/>"
      "</languages></lang>";
  auto localizer = load(pack);
  struct Case {
    std::u16string_view name;
    const char* expected;
  } cases[] = {
      {u"korean", "Korean"},
      {u"CHINESE", "Chinese_Simplified"},
      {u"chinese_traditional", "Chinese_Traditional"},
      {u"Chinese_Hong_Kong", "Chinese_Simplified"},
      {u"PORTUGUESE_BRAZILIAN", "Portuguese_Portugal"},
      {u"Serbian", "Serbian_Cyrillic"},
      {u"SERBIAN_LATIN", "Serbian_Latin"},
      {u"Chin", nullptr},
      {u"German", nullptr},
      {u"", nullptr},
  };
  for (const Case& c : cases) {
    const LangPack* found = localizer->findLanguage(c.name);
    EXPECT_EQ(found != nullptr ? utf16ToUtf8(found->getEngName()) : std::string("(none)"),
              c.expected != nullptr ? c.expected : "(none)")
        << utf16ToUtf8(c.name);
  }
  auto withoutCyrillic = load(
      "<lang><languages><entry engName=\"Serbian_Latin\"/><entry engName=\"X\"/></languages>"
      "</lang>");
  EXPECT_EQ(utf16ToUtf8(withoutCyrillic->findLanguage(u"Serbian")->getEngName()), "Serbian_Latin");
}

TEST(LanguageChoice, SetLanguageFallsBackToEnglishThenTheFirst) {
  auto localizer = load(fixture(), u"JAPANESE");
  ASSERT_EQ(currentName(*localizer), "Japanese");
  localizer->setLanguage(u"german");
  EXPECT_EQ(currentName(*localizer), "German");
  localizer->setLanguage(u"Klingon");
  EXPECT_EQ(currentName(*localizer), "English");

  auto noEnglish = load(
      "<lang><languages><entry engName=\"Dutch\"/><entry engName=\"German\"/></languages>"
      "</lang>",
      u"GERMAN");
  ASSERT_EQ(currentName(*noEnglish), "German");
  noEnglish->setLanguage(u"Klingon");
  EXPECT_EQ(currentName(*noEnglish), "Dutch");
}

TEST(LanguageChoice, ListenersHearOnlyRealChanges) {
  auto localizer = load(fixture(), u"GERMAN");
  Listener first;
  Listener second;
  localizer->addListener(&first);
  localizer->addListener(&second);
  struct Step {
    const char* what;
    void (*act)(Localizer&);
    int calls;
  } steps[] = {
      {"same name", [](Localizer& l) { l.setLanguage(u"German"); }, 0},
      {"same name, other case", [](Localizer& l) { l.setLanguage(u"GERMAN"); }, 0},
      {"same index", [](Localizer& l) { l.selectLanguage(1); }, 0},
      {"index out of range", [](Localizer& l) { l.selectLanguage(99); }, 0},
      {"another name", [](Localizer& l) { l.setLanguage(u"Japanese"); }, 1},
      {"unknown name from a language other than English",
       [](Localizer& l) { l.setLanguage(u"Klingon"); }, 1},
      {"unknown name while English is current", [](Localizer& l) { l.setLanguage(u"Klingon"); }, 0},
      {"another index", [](Localizer& l) { l.selectLanguage(6); }, 1},
  };
  int expected = 0;
  for (const Step& step : steps) {
    step.act(*localizer);
    expected += step.calls;
    EXPECT_EQ(first.calls, expected) << step.what;
    EXPECT_EQ(second.calls, expected) << step.what;
  }
  EXPECT_EQ(first.lastSource, localizer.get());
  EXPECT_EQ(first.lastCode, Localizer::LANGUAGE_CHANGED);
  localizer->removeListener(&first);
  localizer->selectLanguage(0);
  EXPECT_EQ(first.calls, expected);
  EXPECT_EQ(second.calls, expected + 1);
}

TEST(LanguageChoice, APackWithoutLanguagesAnswersNothing) {
  for (std::string_view pack :
       {std::string_view(""), std::string_view("not xml"), std::string_view("<lang/>"),
        std::string_view("<lang><entries><entry id=\"1\"><eng>x</eng></entry></entries></lang>")}) {
    auto localizer = load(pack);
    EXPECT_EQ(localizer->getLanguageCount(), 0);
    EXPECT_EQ(localizer->getCurrentLanguage(), nullptr);
    localizer->setLanguage(u"English");
    localizer->selectLanguage(0);
    EXPECT_EQ(localizer->getText(609000), u"");
    EXPECT_FALSE(localizer->hasText(609000));
  }
}

TEST(LanguageChoice, StartUpChoiceReadsAndRepairsTheSetting) {
  struct Case {
    const char* what;
    std::u16string_view stored;  // empty: nothing stored
    std::u16string_view system;
    const char* chosen;
    std::u16string_view storedAfter;  // empty: still nothing stored
  } cases[] = {
      {"nothing stored", u"", u"GERMAN", "German", u""},
      {"stored in other case", u"japanese", u"GERMAN", "Japanese", u"japanese"},
      {"stored name unknown", u"Klingon", u"GERMAN", "English", u"English"},
      {"system unknown", u"", u"Unknown", "English", u""},
      {"stored over a prefix rule", u"Portuguese", u"ENGLISH", "Portuguese_Brazilian",
       u"Portuguese_Brazilian"},
  };
  for (const Case& c : cases) {
    TempFolder temp;
    auto settings = own(MappedData::create(temp.at16("SaveData.xml")));
    if (!c.stored.empty()) settings->setString(s::lang::LANGUAGE_SECTION, u"", c.stored);
    auto localizer = load(fixture(), c.system);
    s::lang::chooseStartupLanguage(*localizer, *settings);
    EXPECT_EQ(currentName(*localizer), c.chosen) << c.what;
    if (c.storedAfter.empty()) {
      EXPECT_FALSE(settings->hasValue(s::lang::LANGUAGE_SECTION, u"")) << c.what;
    } else {
      EXPECT_EQ(settings->getString(s::lang::LANGUAGE_SECTION, u"", u"", nullptr, false),
                c.storedAfter)
          << c.what;
    }
  }
}

TEST(LanguageChoice, ALanguagePickedLaterIsStored) {
  TempFolder temp;
  auto settings = own(MappedData::create(temp.at16("SaveData.xml")));
  auto localizer = load(fixture(), u"GERMAN");
  s::lang::chooseStartupLanguage(*localizer, *settings);
  localizer->selectLanguage(5);
  s::lang::storeCurrentLanguage(*localizer, *settings);
  // A new start reads it back.
  auto again = own(MappedData::create(temp.at16("SaveData.xml")));
  auto restarted = load(fixture(), u"GERMAN");
  s::lang::chooseStartupLanguage(*restarted, *again);
  EXPECT_EQ(currentName(*restarted), "Chinese_Traditional");
}

}  // namespace
