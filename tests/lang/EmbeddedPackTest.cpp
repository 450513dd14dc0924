#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>

#include "s/lang/Localizer.h"
#include "s/res/Resources.h"
#include "s/str/Utf.h"
#include "s/xml/Node.h"

namespace {

using s::lang::LangPack;
using s::lang::Localizer;
using s::str::utf16ToUtf8;
using s::thread::obtainOwned;
using s::thread::own;

std::string_view packBytes() {
  const auto bytes =
      s::res::findResource(Localizer::PACK_RESOURCE_TYPE, Localizer::PACK_RESOURCE_ID);
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

TEST(EmbeddedPack, IsFoundByTypeAndIdOnly) {
  EXPECT_FALSE(packBytes().empty());
  EXPECT_TRUE(s::res::findResource("IDR_XML", 131).empty());
  EXPECT_TRUE(s::res::findResource("IDR_JPG", 130).empty());
  EXPECT_TRUE(s::res::findResource("", 0).empty());
}

TEST(EmbeddedPack, ParsesCompletelyWithOurXmlModel) {
  auto root = obtainOwned<s::xml::Node>();
  bool complete = false;
  ASSERT_TRUE(root->parseUtf8(packBytes(), &complete));
  EXPECT_TRUE(complete);
  EXPECT_TRUE(root->nameEquals(u"lang", true));
  EXPECT_NE(root->findChild(u"languages"), nullptr);
  EXPECT_NE(root->findChild(u"entries"), nullptr);
}

TEST(EmbeddedPack, HoldsTheThirtyFourLanguagesInMenuOrder) {
  auto localizer = own(Localizer::createLocalizer(packBytes(), u"ENGLISH", 6));
  const char* expected[][2] = {
      {"eng", "English"},
      {"bel", "Belarusian"},
      {"zhs", "Chinese_Simplified"},
      {"deu", "German"},
      {"ell", "Greek"},
      {"fra", "French"},
      {"ita", "Italian"},
      {"jpn", "Japanese"},
      {"kor", "Korean"},
      {"hun", "Hungarian"},
      {"rus", "Russian"},
      {"tur", "Turkish"},
      {"ara", "Arabic"},
      {"ind", "Indonesian"},
      {"bul", "Bulgarian"},
      {"zht", "Chinese_Traditional"},
      {"cze", "Czech"},
      {"cpn", "Serbian_Cyrillic"},
      {"dan", "Danish"},
      {"est", "Estonian"},
      {"spa", "Spanish"},
      {"hrv", "Croatian"},
      {"nld", "Dutch"},
      {"per", "Persian"},
      {"pol", "Polish"},
      {"bra", "Portuguese_Brazilian"},
      {"rom", "Romanian"},
      {"srp", "Serbian_Latin"},
      {"slk", "Slovak"},
      {"fin", "Finnish"},
      {"swe", "Swedish"},
      {"ukr", "Ukrainian"},
      {"vec", "Venetian"},
      {"vie", "Vietnamese"},
  };
  ASSERT_EQ(localizer->getLanguageCount(), 34);
  for (int i = 0; i < 34; ++i) {
    const LangPack* language = localizer->getLanguage(i);
    EXPECT_EQ(utf16ToUtf8(language->getTagName()), expected[i][0]);
    EXPECT_EQ(utf16ToUtf8(language->getEngName()), expected[i][1]);
    // Partly translated languages say so in their shown name; the first
    // twelve are complete.
    EXPECT_EQ(language->getTrueName().ends_with(u" (Partial)"), i >= 12) << expected[i][1];
  }
}

// Every language holds a text for every entry of the pack (its own or the
// entry's first translation), non-empty wherever English has one.
TEST(EmbeddedPack, EveryLanguageHasATextForEveryEntry) {
  auto localizer = own(Localizer::createLocalizer(packBytes(), u"ENGLISH", 6));
  ASSERT_GT(localizer->getLanguageCount(), 0);
  const LangPack* english = localizer->getLanguage(0);
  std::set<std::int32_t> ids;
  for (std::int32_t i = 0; i < english->getNumericCount(); ++i)
    ids.insert(english->getNumericId(i));
  EXPECT_EQ(static_cast<std::int32_t>(ids.size()), english->getNumericCount()) << "duplicate ids";
  EXPECT_EQ(english->getStringCount(), 0);
  for (std::int32_t l = 0; l < localizer->getLanguageCount(); ++l) {
    const LangPack* language = localizer->getLanguage(l);
    EXPECT_EQ(language->getNumericCount(), english->getNumericCount());
    for (std::int32_t id : ids) {
      const auto* text = language->findText(id);
      ASSERT_NE(text, nullptr) << id << " in " << utf16ToUtf8(language->getEngName());
      if (!english->findText(id)->isEmpty()) {
        EXPECT_FALSE(text->isEmpty()) << id << " in " << utf16ToUtf8(language->getEngName());
      }
    }
  }
}

TEST(EmbeddedPack, EnglishTextsAfterDecoding) {
  auto localizer = own(Localizer::createLocalizer(packBytes(), u"ENGLISH", 6));
  struct Case {
    std::int32_t id;
    std::u16string_view text;
  } cases[] = {
      {105000, u"Support Kelto via Donation"},
      {107000, u"More Software from Kelto (online)"},
      {300000, u"Kelto Tintery"},
      {400010, u"Version:"},
      {400020, u"Last Updated:"},
      {400030, u"OS:"},
      {400080, u"URL:"},
      {400100, u"Version Information"},
      {400110, u"Is this freeware useful?"},
      {400120, u"Close"},
      {500000, u"Kelto Tintery"},
      {500010, u"1.25"},
      {500020, u"2013/08/14"},
      {500030, u"Windows XP/2003/Vista"},
      {500089, u"Is this freeware useful?"},
      {500090, u"Please support us via donation."},
      {609000, u"View"},
      {609100, u"Keep on Top"},
      {609200, u"Right-Click Transform"},
      {609300, u"Easy Drag"},
      {609350, u"Close By Mouse-Wheel Click"},
      {609400, u"Show/Hide"},
      {609420, u"\"Keep on Top\" Check Box"},
      {609430, u"Advanced/Minimized Button"},
      {609440, u"Status Bar"},
      {609450, u"Ready"},
      {609460, u"Done!"},
      {700000, u"Language"},
      {700001, u"Translate? (online)"},
      {701000, u"About"},
      {701100, u"Version Information"},
      {701200, u"Software Page (online)"},
      {701300, u"Tell Developers (online)"},
      {1000000, u"Keep on Top"},
      {1001000, u"Drop Box"},
      {1002000, u"Please drop image file(s) here!"},
      {1003000, u"(.jpg, .gif, .png, .bmp, .ico)"},
      {1004000, u"Convert to: "},
      {1005000, u"Advanced Options >>"},
      {1006000, u"<< Minimize"},
      {1101000, u"Hue"},
      {1102000, u"Saturation"},
      {1103000, u"Brightness"},
      {1104000, u"All (HSV)"},
      {1105000, u"How many images to create?"},
      {1106000, u"Up to "},
      {1107000, u" Variants"},
      {1108000, u"Range"},
      {1109000, u"Maximum Range"},
      {1110000, u"Limited Range"},
      {2010000000, u"About"},
      {2010001000, u"Close"},
  };
  ASSERT_EQ(utf16ToUtf8(localizer->getCurrentLanguage()->getEngName()), "English");
  for (const Case& c : cases)
    EXPECT_EQ(localizer->getText(c.id), c.text) << c.id;
  // The output-folder message has no text of its own in the pack.
  EXPECT_EQ(localizer->getText(608299), u"");
  EXPECT_FALSE(localizer->hasText(608299));
  // The link entries all exist.
  for (std::int32_t id : {100000, 101000, 106000, 108000, 108500, 500002, 500003, 500004, 500006,
                          500100, 500101, 500102}) {
    EXPECT_NE(localizer->getCurrentLanguage()->findText(id), nullptr) << id;
  }
}

TEST(EmbeddedPack, LoadsThroughTheResourceLookup) {
  auto localizer =
      own(Localizer::createLocalizer(Localizer::PACK_RESOURCE_TYPE, Localizer::PACK_RESOURCE_ID));
  ASSERT_NE(localizer, nullptr);
  EXPECT_EQ(localizer->getLanguageCount(), 34);
  EXPECT_NE(localizer->getCurrentLanguage(), nullptr);
}

}  // namespace
