// An INI file read the way GetPrivateProfileStringA (with a 260-character buffer) and
// GetPrivateProfileIntA read it under Wine with the Western ANSI code page (1252):
//  - a UTF-8 or UTF-16 byte-order mark selects that encoding, otherwise the bytes are ANSI;
//  - lines end at '\n' only; blanks, '\r' and ^Z around a line, a name or a value are dropped;
//  - "[name]" runs to the line's last ']'; keys above the first section belong to no section;
//  - names compare without regard to ASCII case; only the first section of a name is read,
//    and in it only the first key of a name;
//  - a line without '=' is a key without a value, which reads as missing;
//  - a value inside a matching pair of quotes loses them; values end at a NUL.
// No Windows here: the check and its fuzzer use it natively too.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class TProfileIni {
public:
  struct TKey {
    std::string name;
    bool hasValue = false;
    std::string value;  // as stored, before quotes are taken off or the value is cut
    int line = 0;
  };
  struct TSection {
    std::string name;
    int line = 0;
    std::vector<TKey> keys;
  };

  // A missing file: every read gives its default.
  TProfileIni() = default;
  explicit TProfileIni(const std::vector<uint8_t>& bytes);

  // The value (at most 259 characters), or `fallback` when the section or the key is missing
  // or the key has no '='. A key written with an empty value gives "".
  std::string String(const std::string& section, const std::string& key, const std::string& fallback) const;
  // The number the value starts with (decimal, or 0x/0o/0b), wrapping at 32 bits; 0 when missing.
  int32_t Int(const std::string& section, const std::string& key) const;

  // The section and the key that reads would use, or null.
  const TSection* FindSection(const std::string& name) const;
  static const TKey* FindKey(const TSection& section, const std::string& name);

  // Every section in file order, repeats included; the first is the nameless one.
  const std::vector<TSection>& Sections() const { return sections; }

  static bool SameName(const std::string& a, const std::string& b);

private:
  std::vector<TSection> sections;
};
