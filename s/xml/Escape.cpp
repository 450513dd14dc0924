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

namespace {

// Appends text to out, each character replaced by its table entry when it
// has one.
template <class Replacement>
void escapeWith(std::u16string_view text, std::u16string& out, Replacement replacement) {
  out.reserve(out.size() + text.size());
  for (char16_t c : text) {
    if (const char16_t* replaced = replacement(c)) {
      out += replaced;
    } else {
      out += c;
    }
  }
}

}  // namespace

void escapeAttribute(std::u16string_view text, std::u16string& out) {
  escapeWith(text, out, [](char16_t c) -> const char16_t* {
    switch (c) {
      case u'&':
        return u"&amp;";
      case u'<':
        return u"&lt;";
      case u'"':
        return u"&quot;";
      case u'\r':
        return u"&#13;";
      case u'\n':
        return u"&#10;";
      default:
        return nullptr;
    }
  });
}

void escapeText(std::u16string_view text, std::u16string& out) {
  escapeWith(text, out, [](char16_t c) -> const char16_t* {
    switch (c) {
      case u'&':
        return u"&amp;";
      case u'<':
        return u"&lt;";
      case u'>':
        return u"&gt;";
      case u' ':
        return u"&#160;";
      case u'\r':
        return u"&#13;";
      case u'\n':
        return u"&#10;";
      default:
        return nullptr;
    }
  });
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
