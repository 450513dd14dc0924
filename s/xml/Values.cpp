#include "s/xml/Values.h"

#include <charconv>
#include <string>

namespace s::xml {

namespace {

bool isBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

void appendAscii(const char* first, const char* last, std::u16string& out) {
  for (; first != last; ++first)
    out += static_cast<char16_t>(static_cast<unsigned char>(*first));
}

// The text without surrounding blanks and without a leading "+", as ASCII
// bytes; false when it is empty, holds a character outside ASCII or has a
// sign after the "+".
bool toAscii(std::u16string_view text, std::string& ascii) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && isBlank(text[begin]))
    ++begin;
  while (end > begin && isBlank(text[end - 1]))
    --end;
  if (begin < end && text[begin] == u'+') {
    ++begin;
    if (begin < end && text[begin] == u'-') return false;
  }
  if (begin == end) return false;
  ascii.clear();
  for (std::size_t i = begin; i < end; ++i) {
    if (text[i] >= 0x80) return false;
    ascii += static_cast<char>(text[i]);
  }
  return true;
}

template <class T>
bool parseWith(std::u16string_view text, T& value) {
  std::string ascii;
  if (!toAscii(text, ascii)) return false;
  T parsed{};
  const char* last = ascii.data() + ascii.size();
  const auto [end, error] = std::from_chars(ascii.data(), last, parsed);
  if (error != std::errc() || end != last) return false;
  value = parsed;
  return true;
}

}  // namespace

void appendSigned(std::int64_t value, std::u16string& out) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  appendAscii(buffer, result.ptr, out);
}

void appendUnsigned(std::uint64_t value, std::u16string& out) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  appendAscii(buffer, result.ptr, out);
}

void appendFloat(float value, std::u16string& out) {
  // The largest float needs 39 digits before the point.
  char buffer[128];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  appendAscii(buffer, result.ptr, out);
}

void appendDouble(double value, std::u16string& out) {
  // The largest double needs 309 digits before the point; the smallest
  // subnormal 1074 after it.
  char buffer[1200];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  appendAscii(buffer, result.ptr, out);
}

bool parseSigned(std::u16string_view text, std::int64_t& value) {
  return parseWith(text, value);
}

bool parseUnsigned(std::u16string_view text, std::uint64_t& value) {
  // Negative numbers are refused: from_chars takes no sign for unsigned types.
  return parseWith(text, value);
}

bool parseFloat(std::u16string_view text, float& value) {
  return parseWith(text, value);
}

bool parseDouble(std::u16string_view text, double& value) {
  return parseWith(text, value);
}

bool parseBool(std::u16string_view text) {
  return text.starts_with(u"1") || text.starts_with(u"true");
}

}  // namespace s::xml
