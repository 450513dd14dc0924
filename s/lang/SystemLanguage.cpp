#include "s/lang/SystemLanguage.h"

#include <cstdlib>

namespace s::lang {

namespace {

constexpr std::uint16_t makeLangId(std::uint16_t primary, std::uint16_t sublanguage) {
  return static_cast<std::uint16_t>(sublanguage << 10 | primary);
}

constexpr std::uint16_t kEnglishUnitedStates = 0x0409;

struct SpecialName {
  std::uint16_t langId;
  std::u16string_view name;
};

// Identifiers whose name is not the one of their primary language.
constexpr SpecialName kSpecialNames[] = {
    {0x0004, u"CHINESE_SIMPLIFIED"},
    {0x0804, u"CHINESE_SIMPLIFIED"},
    {0x1004, u"CHINESE_SIMPLIFIED"},
    {0x0404, u"CHINESE_TRADITIONAL"},
    {0x0C04, u"CHINESE_TRADITIONAL"},
    {0x1404, u"CHINESE_TRADITIONAL"},
    {0x7C04, u"CHINESE_TRADITIONAL"},
    {0x001A, u"CROATIAN"},
    {0x041A, u"CROATIAN"},
    {0x101A, u"CROATIAN"},
    {0x0416, u"PORTUGUESE_BRAZILIAN"},
    {0x0816, u"PORTUGUESE_PORTUGAL"},
    {0x081A, u"SERBIAN_LATIN"},
    {0x181A, u"SERBIAN_LATIN"},
    {0x0C1A, u"SERBIAN_CYRILLIC"},
    {0x1C1A, u"SERBIAN_CYRILLIC"},
    {0x201A, u"BOSNIAN"},
    {0x7C1A, u"SERBIAN"},
    {0x042E, u"UPPER_SORBIAN"},
    {0x082E, u"LOWER_SORBIAN"},
};

struct PrimaryName {
  std::uint8_t primary;
  std::u16string_view name;
};

// Names of the primary languages (the low 8 bits of an identifier).
constexpr PrimaryName kPrimaryNames[] = {
    {0x01, u"ARABIC"},      {0x02, u"BULGARIAN"},  {0x03, u"CATALAN"},
    {0x04, u"CHINESE"},     {0x05, u"CZECH"},      {0x06, u"DANISH"},
    {0x07, u"GERMAN"},      {0x08, u"GREEK"},      {0x09, u"ENGLISH"},
    {0x0A, u"SPANISH"},     {0x0B, u"FINNISH"},    {0x0C, u"FRENCH"},
    {0x0D, u"HEBREW"},      {0x0E, u"HUNGARIAN"},  {0x0F, u"ICELANDIC"},
    {0x10, u"ITALIAN"},     {0x11, u"JAPANESE"},   {0x12, u"KOREAN"},
    {0x13, u"DUTCH"},       {0x14, u"NORWEGIAN"},  {0x15, u"POLISH"},
    {0x16, u"PORTUGUESE"},  {0x17, u"ROMANSH"},    {0x18, u"ROMANIAN"},
    {0x19, u"RUSSIAN"},     {0x1A, u"SERBIAN"},    {0x1B, u"SLOVAK"},
    {0x1C, u"ALBANIAN"},    {0x1D, u"SWEDISH"},    {0x1E, u"THAI"},
    {0x1F, u"TURKISH"},     {0x20, u"URDU"},       {0x21, u"INDONESIAN"},
    {0x22, u"UKRAINIAN"},   {0x23, u"BELARUSIAN"}, {0x24, u"SLOVENIAN"},
    {0x25, u"ESTONIAN"},    {0x26, u"LATVIAN"},    {0x27, u"LITHUANIAN"},
    {0x28, u"TAJIK"},       {0x29, u"PERSIAN"},    {0x2A, u"VIETNAMESE"},
    {0x2B, u"ARMENIAN"},    {0x2C, u"AZERI"},      {0x2D, u"BASQUE"},
    {0x2F, u"MACEDONIAN"},  {0x32, u"TSWANA"},     {0x34, u"XHOSA"},
    {0x35, u"ZULU"},        {0x36, u"AFRIKAANS"},  {0x37, u"GEORGIAN"},
    {0x38, u"FAEROESE"},    {0x39, u"HINDI"},      {0x3A, u"MALTESE"},
    {0x3B, u"SAMI"},        {0x3C, u"IRISH"},      {0x3E, u"MALAY"},
    {0x3F, u"KAZAK"},       {0x40, u"KYRGYZ"},     {0x41, u"SWAHILI"},
    {0x42, u"TURKMEN"},     {0x43, u"UZBEK"},      {0x44, u"TATAR"},
    {0x45, u"BENGALI"},     {0x46, u"PUNJABI"},    {0x47, u"GUJARATI"},
    {0x48, u"ORIYA"},       {0x49, u"TAMIL"},      {0x4A, u"TELUGU"},
    {0x4B, u"KANNADA"},     {0x4C, u"MALAYALAM"},  {0x4D, u"ASSAMESE"},
    {0x4E, u"MARATHI"},     {0x4F, u"SANSKRIT"},   {0x50, u"MONGOLIAN"},
    {0x51, u"TIBETAN"},     {0x52, u"WELSH"},      {0x53, u"KHMER"},
    {0x54, u"LAO"},         {0x56, u"GALICIAN"},   {0x57, u"KONKANI"},
    {0x59, u"SINDHI"},      {0x5A, u"SYRIAC"},     {0x5B, u"SINHALESE"},
    {0x5D, u"INUKTITUT"},   {0x5E, u"AMHARIC"},    {0x5F, u"TAMAZIGHT"},
    {0x60, u"KASHMIRI"},    {0x61, u"NEPALI"},     {0x62, u"FRISIAN"},
    {0x63, u"PASHTO"},      {0x64, u"FILIPINO"},   {0x65, u"DIVEHI"},
    {0x68, u"HAUSA"},       {0x6A, u"YORUBA"},     {0x6B, u"QUECHUA"},
    {0x6C, u"SOTHO"},       {0x6D, u"BASHKIR"},    {0x6E, u"LUXEMBOURGISH"},
    {0x6F, u"GREENLANDIC"}, {0x70, u"IGBO"},       {0x73, u"TIGRIGNA"},
    {0x78, u"YI"},          {0x7A, u"MAPUDUNGUN"}, {0x7C, u"MOHAWK"},
    {0x7E, u"BRETON"},      {0x80, u"UIGHUR"},     {0x81, u"MAORI"},
    {0x82, u"OCCITAN"},     {0x83, u"CORSICAN"},   {0x84, u"ALSATIAN"},
    {0x85, u"YAKUT"},       {0x86, u"KICHE"},      {0x87, u"KINYARWANDA"},
    {0x88, u"WOLOF"},       {0x8C, u"DARI"},
};

struct LocaleLanguage {
  std::string_view code;
  std::uint8_t primary;
};

// ISO 639 codes of the languages that have a primary language of their own
// (codes with special sublanguage rules are handled in langIdFromLocale).
constexpr LocaleLanguage kLocaleLanguages[] = {
    {"af", 0x36},  {"am", 0x5E},  {"ar", 0x01},  {"arn", 0x7A}, {"as", 0x4D},  {"az", 0x2C},
    {"ba", 0x6D},  {"be", 0x23},  {"ber", 0x5F}, {"bg", 0x02},  {"bn", 0x45},  {"bo", 0x51},
    {"br", 0x7E},  {"bs", 0x1A},  {"ca", 0x03},  {"co", 0x83},  {"cs", 0x05},  {"cy", 0x52},
    {"da", 0x06},  {"de", 0x07},  {"dsb", 0x2E}, {"dv", 0x65},  {"el", 0x08},  {"en", 0x09},
    {"es", 0x0A},  {"et", 0x25},  {"eu", 0x2D},  {"fa", 0x29},  {"fi", 0x0B},  {"fil", 0x64},
    {"fo", 0x38},  {"fr", 0x0C},  {"fy", 0x62},  {"ga", 0x3C},  {"gl", 0x56},  {"gsw", 0x84},
    {"gu", 0x47},  {"ha", 0x68},  {"he", 0x0D},  {"hi", 0x39},  {"hr", 0x1A},  {"hsb", 0x2E},
    {"hu", 0x0E},  {"hy", 0x2B},  {"id", 0x21},  {"ig", 0x70},  {"ii", 0x78},  {"in", 0x21},
    {"is", 0x0F},  {"it", 0x10},  {"iu", 0x5D},  {"iw", 0x0D},  {"ja", 0x11},  {"ka", 0x37},
    {"kk", 0x3F},  {"kl", 0x6F},  {"km", 0x53},  {"kn", 0x4B},  {"ko", 0x12},  {"kok", 0x57},
    {"ks", 0x60},  {"ky", 0x40},  {"lb", 0x6E},  {"lo", 0x54},  {"lt", 0x27},  {"lv", 0x26},
    {"mi", 0x81},  {"mk", 0x2F},  {"ml", 0x4C},  {"mn", 0x50},  {"moh", 0x7C}, {"mr", 0x4E},
    {"ms", 0x3E},  {"mt", 0x3A},  {"nb", 0x14},  {"ne", 0x61},  {"nl", 0x13},  {"nn", 0x14},
    {"no", 0x14},  {"nso", 0x6C}, {"oc", 0x82},  {"or", 0x48},  {"pa", 0x46},  {"pl", 0x15},
    {"prs", 0x8C}, {"ps", 0x63},  {"pt", 0x16},  {"qu", 0x6B},  {"quc", 0x86}, {"quz", 0x6B},
    {"rm", 0x17},  {"ro", 0x18},  {"ru", 0x19},  {"rw", 0x87},  {"sa", 0x4F},  {"sah", 0x85},
    {"sd", 0x59},  {"se", 0x3B},  {"si", 0x5B},  {"sk", 0x1B},  {"sl", 0x24},  {"sma", 0x3B},
    {"smj", 0x3B}, {"smn", 0x3B}, {"sms", 0x3B}, {"sq", 0x1C},  {"sr", 0x1A},  {"sv", 0x1D},
    {"sw", 0x41},  {"syr", 0x5A}, {"ta", 0x49},  {"te", 0x4A},  {"tg", 0x28},  {"th", 0x1E},
    {"ti", 0x73},  {"tk", 0x42},  {"tl", 0x64},  {"tn", 0x32},  {"tr", 0x1F},  {"tt", 0x44},
    {"tzm", 0x5F},
};

constexpr std::uint8_t primaryOf(std::string_view code) {
  for (const LocaleLanguage& language : kLocaleLanguages) {
    if (language.code == code) return language.primary;
  }
  return 0;
}

std::string lowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

std::string upperAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

}  // namespace

std::string userInterfaceLocale() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] != '\0') return value;
  }
  return {};
}

std::uint16_t langIdFromLocale(std::string_view locale) {
  // language[_territory][.codeset][@modifier]
  std::string_view modifier;
  if (const std::size_t at = locale.find('@'); at != std::string_view::npos) {
    modifier = locale.substr(at + 1);
    locale = locale.substr(0, at);
  }
  if (const std::size_t dot = locale.find('.'); dot != std::string_view::npos) {
    locale = locale.substr(0, dot);
  }
  std::string_view territoryText;
  if (const std::size_t underscore = locale.find('_'); underscore != std::string_view::npos) {
    territoryText = locale.substr(underscore + 1);
    locale = locale.substr(0, underscore);
  }
  const std::string language = lowerAscii(locale);
  const std::string territory = upperAscii(territoryText);
  const std::string script = lowerAscii(modifier);
  if (language.empty() || language == "c" || language == "posix") return kEnglishUnitedStates;

  if (language == "zh") {
    if (territory == "CN") return 0x0804;
    if (territory == "SG") return 0x1004;
    if (territory == "TW") return 0x0404;
    if (territory == "HK") return 0x0C04;
    if (territory == "MO") return 0x1404;
    return 0x0004;
  }
  if (language == "pt") {
    if (territory == "BR") return 0x0416;
    return territory.empty() ? 0x0016 : 0x0816;
  }
  if (language == "hr") return territory == "BA" ? 0x101A : 0x041A;
  if (language == "sr") {
    // The script comes from the modifier; without one, Montenegro writes
    // Latin and every other territory Cyrillic.
    bool latin;
    if (script == "latin") {
      latin = true;
    } else if (script == "cyrillic") {
      latin = false;
    } else if (territory.empty()) {
      return 0x7C1A;
    } else {
      latin = territory == "ME";
    }
    if (territory == "BA") return latin ? 0x181A : 0x1C1A;
    return latin ? 0x081A : 0x0C1A;
  }
  if (language == "bs") return script == "cyrillic" ? 0x201A : 0x141A;
  if (language == "hsb") return 0x042E;
  if (language == "dsb") return 0x082E;
  if (language == "nn") return 0x0814;

  const std::uint8_t primary = primaryOf(language);
  return primary == 0 ? 0 : makeLangId(primary, 1);
}

std::u16string_view languageNameFromLangId(std::uint16_t langId) {
  for (const SpecialName& special : kSpecialNames) {
    if (special.langId == langId) return special.name;
  }
  const std::uint8_t primary = static_cast<std::uint8_t>(langId & 0xFF);
  for (const PrimaryName& name : kPrimaryNames) {
    if (name.primary == primary) return name.name;
  }
  return u"Unknown";
}

std::u16string_view systemLanguageName() {
  static const std::u16string_view name =
      languageNameFromLangId(langIdFromLocale(userInterfaceLocale()));
  return name;
}

}  // namespace s::lang
