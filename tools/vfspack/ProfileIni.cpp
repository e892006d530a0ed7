#include "tools/vfspack/ProfileIni.h"

#include <cstddef>

namespace {

// Code page 1252 from 0x80 to 0x9F; the rest of the page is Latin-1.
const char16_t Cp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t FromAnsi(uint8_t c) { return (c >= 0x80 && c < 0xA0) ? Cp1252High[c - 0x80] : char16_t(c); }

char ToAnsi(char16_t u) {
  if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return char(u);
  for (int i = 0; i < 32; ++i)
    if (Cp1252High[i] == u) return char(0x80 + i);
  return '?';
}

bool IsBlank(char16_t u) { return (u >= 0x09 && u <= 0x0D) || u == 0x1A || u == 0x20; }

void PutCodePoint(std::u16string& out, uint32_t cp) {
  if (cp < 0x10000) {
    out.push_back(char16_t(cp));
  } else {
    cp -= 0x10000;
    out.push_back(char16_t(0xD800 + (cp >> 10)));
    out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
  }
}

// Malformed sequences become U+FFFD, one per byte that cannot start or continue a character.
std::u16string FromUtf8(const uint8_t* p, size_t n) {
  std::u16string out;
  size_t i = 0;
  while (i < n) {
    const uint8_t c = p[i];
    const int more = c < 0x80             ? 0
                     : (c & 0xE0) == 0xC0 ? 1
                     : (c & 0xF0) == 0xE0 ? 2
                     : (c & 0xF8) == 0xF0 ? 3
                                          : -1;
    bool ok = more >= 0;
    uint32_t cp = c & (0x7Fu >> (more > 0 ? more + 1 : 0));
    for (int k = 1; ok && k <= more; ++k) {
      ok = i + size_t(k) < n && (p[i + size_t(k)] & 0xC0) == 0x80;
      if (ok) cp = cp << 6 | (p[i + size_t(k)] & 0x3F);
    }
    static const uint32_t least[4] = {0, 0x80, 0x800, 0x10000};
    if (!ok || cp < least[more] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    PutCodePoint(out, cp);
    i += size_t(more) + 1;
  }
  return out;
}

std::u16string Decode(const std::vector<uint8_t>& bytes) {
  const size_t n = bytes.size();
  const uint8_t* p = bytes.data();
  if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) return FromUtf8(p + 3, n - 3);
  if (n >= 2 && ((p[0] == 0xFF && p[1] == 0xFE) || (p[0] == 0xFE && p[1] == 0xFF))) {
    const bool little = p[0] == 0xFF;
    std::u16string out;
    for (size_t i = 2; i + 1 < n; i += 2)
      out.push_back(little ? char16_t(p[i] | p[i + 1] << 8) : char16_t(p[i] << 8 | p[i + 1]));
    return out;
  }
  std::u16string out;
  out.reserve(n);
  for (uint8_t c : bytes) out.push_back(FromAnsi(c));
  return out;
}

// Back to the ANSI code page, one character per unit; the string ends at a NUL as a C string would.
std::string Narrow(const std::u16string& units, size_t from, size_t to) {
  std::string out;
  for (size_t i = from; i < to && units[i] != 0; ++i) out.push_back(ToAnsi(units[i]));
  return out;
}

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

// What the profile functions copy into a buffer of `size` characters.
std::string CopyEntry(const std::string& stored, size_t size) {
  std::string value = stored;
  char quote = 0;
  if (value.size() > 1 && (value[0] == '\'' || value[0] == '"') && value.back() == value[0]) {
    quote = value[0];
    value.erase(0, 1);
  }
  std::string out = value.substr(0, size - 1);
  if (quote && size >= value.size() && !out.empty()) out.pop_back();
  return out;
}

constexpr size_t StringBuffer = 260;
constexpr size_t IntBuffer = 30;

}  // namespace

TProfileIni::TProfileIni(const std::vector<uint8_t>& bytes) {
  const std::u16string text = Decode(bytes);
  sections.push_back(TSection{});
  size_t next = 0;
  int line = 1;
  const auto lineEnd = [&](size_t i) { return text[i] == u'\n' || text[i] == u'\r'; };
  while (next < text.size()) {
    size_t start = next;
    while (next < text.size() && !lineEnd(next)) ++next;
    size_t end = next;
    // Lines end at '\n' or '\r'; the line numbers count "\r\n" once, as editors do.
    const int thisLine = line;
    for (; next < text.size() && lineEnd(next); ++next, ++line)
      if (text[next] == u'\r' && next + 1 < text.size() && text[next + 1] == u'\n') ++next;
    while (start < end && IsBlank(text[start])) ++start;
    while (end > start && IsBlank(text[end - 1])) --end;
    if (start >= end) continue;

    if (text[start] == u'[') {
      size_t close = end;
      while (close > start && text[close - 1] != u']') --close;
      if (close > start) {
        sections.push_back(TSection{Narrow(text, start + 1, close - 1), thisLine, {}});
        continue;
      }
    }
    TKey key;
    key.line = thisLine;
    size_t nameEnd = end;
    for (size_t eq = start; eq < end; ++eq) {
      if (text[eq] != u'=') continue;
      nameEnd = eq;
      while (nameEnd > start && IsBlank(text[nameEnd - 1])) --nameEnd;
      size_t valueStart = eq + 1;
      while (valueStart < end && IsBlank(text[valueStart])) ++valueStart;
      key.hasValue = true;
      key.value = Narrow(text, valueStart, end);
      break;
    }
    key.name = Narrow(text, start, nameEnd);
    sections.back().keys.push_back(key);
  }
}

bool TProfileIni::SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Fold(a[i]) != Fold(b[i])) return false;
  return true;
}

const TProfileIni::TSection* TProfileIni::FindSection(const std::string& name) const {
  for (const TSection& s : sections)
    if (!s.name.empty() && SameName(s.name, name)) return &s;
  return nullptr;
}

const TProfileIni::TKey* TProfileIni::FindKey(const TSection& section, const std::string& name) {
  for (const TKey& k : section.keys)
    if (SameName(k.name, name)) return &k;
  return nullptr;
}

std::string TProfileIni::String(const std::string& section, const std::string& key,
                                const std::string& fallback) const {
  const TSection* s = FindSection(section);
  const TKey* k = s ? FindKey(*s, key) : nullptr;
  if (k && k->hasValue) return CopyEntry(k->value, StringBuffer);
  // The default loses its trailing blanks and, like a value, its quotes.
  std::string trimmed = fallback;
  while (trimmed.size() > 1 && trimmed.back() == ' ') trimmed.pop_back();
  return CopyEntry(trimmed, StringBuffer);
}

int32_t TProfileIni::Int(const std::string& section, const std::string& key) const {
  const TSection* s = FindSection(section);
  const TKey* k = s ? FindKey(*s, key) : nullptr;
  if (!k || !k->hasValue) return 0;
  const std::string text = CopyEntry(k->value, IntBuffer);
  size_t i = 0;
  while (i < text.size() && uint8_t(text[i]) <= ' ') ++i;
  bool minus = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) minus = text[i++] == '-';
  uint32_t base = 10;
  if (i + 1 < text.size() && text[i] == '0') {
    const char b = text[i + 1];
    base = b == 'b' ? 2 : b == 'o' ? 8 : b == 'x' ? 16 : 10;
    if (base != 10) i += 2;
  }
  uint32_t total = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    const uint32_t digit = (c >= '0' && c <= '9')   ? uint32_t(c - '0')
                           : (c >= 'a' && c <= 'z') ? uint32_t(c - 'a' + 10)
                           : (c >= 'A' && c <= 'Z') ? uint32_t(c - 'A' + 10)
                                                    : 99;
    if (digit >= base) break;
    total = total * base + digit;
  }
  return int32_t(minus ? 0u - total : total);
}
