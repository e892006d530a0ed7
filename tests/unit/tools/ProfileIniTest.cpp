// The check reads INI files as the program's profile functions do. Natively the expectations
// stand alone; in the Windows build the same files go through GetPrivateProfileStringA and
// GetPrivateProfileIntA as well, so that any drift from the real functions shows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/TempFolder.h"
#include "tools/vfspack/ProfileIni.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

struct TRead {
  const char* section;
  const char* key;
  const char* fallback;
  std::string expected;
};

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

class TIniFile {
public:
  TIniFile(const std::string& name, const std::vector<uint8_t>& bytes)
      : ini(bytes), path(folder.Write(name + ".ini", bytes)) {}
  TIniFile(const TIniFile&) = delete;
  TIniFile& operator=(const TIniFile&) = delete;

  void ExpectString(const TRead& r) const {
    SCOPED_TRACE(std::string("[") + r.section + "] " + r.key);
    EXPECT_EQ(ini.String(r.section, r.key, r.fallback), r.expected);
#ifdef _WIN32
    char buffer[MAX_PATH];
    GetPrivateProfileStringA(r.section, r.key, r.fallback, buffer, MAX_PATH, path.c_str());
    EXPECT_EQ(std::string(buffer), r.expected) << "GetPrivateProfileStringA";
#endif
  }
  void ExpectInt(const char* section, const char* key, int32_t expected) const {
    SCOPED_TRACE(std::string("[") + section + "] " + key);
    EXPECT_EQ(ini.Int(section, key), expected);
#ifdef _WIN32
    EXPECT_EQ(int32_t(GetPrivateProfileIntA(section, key, 0, path.c_str())), expected)
        << "GetPrivateProfileIntA";
#endif
  }

  const TProfileIni ini;

private:
  TTempFolder folder;
  const std::string path;
};

TEST(ProfileIni, ReadsAsTheProfileFunctions) {
  const char tail[] =
      "Cut=before\0after\r\n"
      "[Button] ; the section runs to the last bracket\r\n"
      "X=  -12abc\r\n"
      "Y=0x1F\r\n"
      "Z=+7\r\n"
      "W=99999999999\r\n"
      "V='42'\r\n"
      "[Music]\r\n"
      "song3=in a second section\r\n"
      "[Unclosed\r\n"
      "key=value\r\n";
  std::string text =
      "; a comment line\r\n"
      "orphan=above every section\r\n"
      "[Music]\r\n"
      "  song0 =  first.xm \t \r\n"
      "SONG0=second.xm\r\n"
      "song1=\r\n"
      "song2\r\n"
      "Quoted=\"a b\"\r\n"
      "Single='x'\r\n"
      "Half=\"abc\r\n"
      "Empty=\"\"\r\n";
  text += "Long=" + std::string(300, 'v') + "\r\n";
  text += "LongQuoted=\"" + std::string(259, 'q') + "\"\r\n";
  text.append(tail, sizeof tail - 1);
  const TIniFile file("quirks", Bytes(text));

  const TRead reads[] = {
      {"Music", "song0", "d", "first.xm"},
      {"music", "SONG0", "d", "first.xm"},  // names without regard to case; the first key wins
      {"Music", "song1", "d", ""},          // present and empty: not the default
      {"Music", "song2", "d", "d"},         // no '=': reads as missing
      {"Music", "song3", "d", "d"},         // only the first section of a name is read
      {"Music", "nothing", "d", "d"},
      {"Nowhere", "song0", "d", "d"},
      {"Music", "Quoted", "", "a b"},
      {"Music", "Single", "", "x"},
      {"Music", "Half", "", "\"abc"},
      {"Music", "Empty", "d", ""},
      {"Music", "Long", "", std::string(259, 'v')},
      {"Music", "LongQuoted", "", std::string(258, 'q')},
      {"Music", "Cut", "", "before"},
      {"Button", "X", "", "-12abc"},
      {"Unclosed", "key", "d", "d"},  // no closing bracket: a key of the section above
      {"Music", "nothing", "trailing  ", "trailing"},
      {"Music", "nothing", "'quoted default'", "quoted default"},
  };
  for (const TRead& r : reads) file.ExpectString(r);

  const std::pair<const char*, int32_t> buttonInts[] = {
      {"X", -12}, {"Y", 31}, {"Z", 7}, {"W", int32_t(99999999999ll & 0xFFFFFFFF)}, {"V", 42}, {"missing", 0}};
  for (const auto& [key, value] : buttonInts) file.ExpectInt("Button", key, value);
  file.ExpectInt("Music", "song1", 0);

  // What the check needs beyond the reads: every section in order, repeats included.
  const auto& sections = file.ini.Sections();
  ASSERT_EQ(sections.size(), 4u);
  EXPECT_EQ(sections[0].keys.size(), 2u);  // the comment and the orphan, in no section
  EXPECT_EQ(sections[3].name, "Music");
  EXPECT_EQ(sections[3].line, 21);
  EXPECT_EQ(file.ini.FindSection("MUSIC"), &sections[1]);
}

TEST(ProfileIni, ByteOrderMarksAndLineEnds) {
  const TIniFile utf8("utf8",
                      Bytes("\xEF\xBB\xBF[Music]\nsong0=caf\xC3\xA9.xm\nsong1=\xE2\x82\xAC\xE2\x98\x83\n"));
  utf8.ExpectString({"Music", "song0", "", "caf\xE9.xm"});  // back in the ANSI code page
  utf8.ExpectString({"Music", "song1", "", "\x80?"});       // a character it lacks becomes '?'

  std::vector<uint8_t> utf16 = {0xFF, 0xFE};
  for (char c : std::string("[Music]\r\nsong0=wide.xm\r\n")) {
    utf16.push_back(uint8_t(c));
    utf16.push_back(0);
  }
  const TIniFile wide("utf16", utf16);
  wide.ExpectString({"Music", "song0", "", "wide.xm"});

  // Lines end at '\r' as well as at '\n'; only tabs, line ends, ^Z and spaces are blanks.
  const TIniFile mac("cr", Bytes("[Music]\rsong0=a.xm\r\x1a\rsong1= b.xm\xA0\r"));
  mac.ExpectString({"Music", "song0", "", "a.xm"});
  mac.ExpectString({"Music", "song1", "", "b.xm\xA0"});
  EXPECT_EQ(TProfileIni::FindKey(*mac.ini.FindSection("Music"), "song1")->line, 4);
}

}  // namespace
