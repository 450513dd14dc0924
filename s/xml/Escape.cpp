#include "s/xml/Escape.h"

#include <array>

namespace s::xml {

namespace {

struct Entity {
  std::u16string_view text;
  char16_t character;
};

constexpr std::array<Entity, 5> kAttributeEntities{{
    {u"&amp;", u'&'},
    {u"&lt;", u'<'},
    {u"&quot;", u'"'},
    {u"&#13;", u'\r'},
    {u"&#10;", u'\n'},
}};

constexpr std::array<Entity, 6> kTextEntities{{
    {u"&amp;", u'&'},
    {u"&lt;", u'<'},
    {u"&gt;", u'>'},
    {u"&#13;", u'\r'},
    {u"&#10;", u'\n'},
    {u"&#160;", u' '},
}};

bool isLeadingSpace(char16_t c) {
  return c == u'\t' || c == u'\n' || c == u'\r' || c == u' ';
}

bool isTrailingSpace(char16_t c) {
  return isLeadingSpace(c) || c == u'\u3000';
}

// The entity of `table` that `raw` starts with (raw[0] is "&"), or null.
template <std::size_t N>
const Entity* matchEntity(const std::array<Entity, N>& table, std::u16string_view raw) {
  for (const Entity& entity : table) {
    if (raw.starts_with(entity.text)) return &entity;
  }
  return nullptr;
}

}  // namespace

void escapeAttribute(std::u16string_view text, std::u16string& out) {
  out.reserve(out.size() + text.size());
  for (char16_t c : text) {
    switch (c) {
      case u'&':
        out += u"&amp;";
        break;
      case u'<':
        out += u"&lt;";
        break;
      case u'"':
        out += u"&quot;";
        break;
      case u'\r':
        out += u"&#13;";
        break;
      case u'\n':
        out += u"&#10;";
        break;
      default:
        out += c;
    }
  }
}

void escapeText(std::u16string_view text, std::u16string& out) {
  out.reserve(out.size() + text.size());
  for (char16_t c : text) {
    switch (c) {
      case u'&':
        out += u"&amp;";
        break;
      case u'<':
        out += u"&lt;";
        break;
      case u'>':
        out += u"&gt;";
        break;
      case u' ':
        out += u"&#160;";
        break;
      case u'\r':
        out += u"&#13;";
        break;
      case u'\n':
        out += u"&#10;";
        break;
      default:
        out += c;
    }
  }
}

void unescapeAttribute(std::u16string_view raw, std::u16string& out) {
  out.reserve(out.size() + raw.size());
  std::size_t i = 0;
  while (i < raw.size()) {
    const Entity* entity =
        raw[i] == u'&' ? matchEntity(kAttributeEntities, raw.substr(i)) : nullptr;
    if (entity != nullptr) {
      out += entity->character;
      i += entity->text.size();
    } else {
      out += raw[i++];
    }
  }
}

void unescapeText(std::u16string_view raw, std::u16string& out) {
  std::size_t i = 0;
  while (i < raw.size() && isLeadingSpace(raw[i]))
    ++i;
  out.reserve(out.size() + raw.size() - i);
  // Everything up to `keep` stays: it ends after the last character that is
  // not literal trailing white space.
  std::size_t keep = out.size();
  while (i < raw.size()) {
    const Entity* entity = raw[i] == u'&' ? matchEntity(kTextEntities, raw.substr(i)) : nullptr;
    if (entity != nullptr) {
      out += entity->character;
      i += entity->text.size();
      keep = out.size();
    } else {
      const char16_t c = raw[i++];
      out += c;
      if (!isTrailingSpace(c)) keep = out.size();
    }
  }
  out.resize(keep);
}

}  // namespace s::xml
