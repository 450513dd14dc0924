#pragma once

#include <string>
#include <string_view>

namespace s::xml {

// Values are stored escaped, as they stand in the file. The attribute and the
// text rules differ on purpose:
//
//   character        attribute value   text content
//   "&"              &amp;             &amp;
//   "<"              &lt;              &lt;
//   ">"              kept              &gt;
//   double quote     &quot;            kept
//   space            kept              &#160;
//   carriage return  &#13;             &#13;
//   line feed        &#10;             &#10;
//
// Spaces in text content are written as &#160; so that the reader, which
// trims literal white space around text runs, keeps them; reading turns
// &#160; back into a plain space.

// Appends `text` to `out` escaped by the attribute rules.
void escapeAttribute(std::u16string_view text, std::u16string& out);
// Appends `text` to `out` escaped by the text-content rules.
void escapeText(std::u16string_view text, std::u16string& out);

// Appends the stored attribute value `raw` to `out`, decoding &amp;, &lt;,
// &quot;, &#13; and &#10;. Any other "&" stays as it is, so "&gt;" and
// "&#160;" stay literal in attribute values.
void unescapeAttribute(std::u16string_view raw, std::u16string& out);
// Appends the stored text run `raw` to `out`: leading tabs, line feeds,
// carriage returns and spaces are skipped; &amp;, &lt;, &gt;, &#13; and &#10;
// are decoded and &#160; becomes a plain space; trailing spaces, tabs, line
// feeds, carriage returns and ideographic spaces (U+3000) that stand
// literally in `raw` are dropped, while those produced by an entity stay. Any
// other "&" stays as it is.
void unescapeText(std::u16string_view raw, std::u16string& out);

}  // namespace s::xml
