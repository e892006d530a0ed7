#include "tools/vfspack/DiskCheck.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>

#include "stb_image.h"
#include "tools/vfspack/ProfileIni.h"
#include "vfs/VfsArchiveWriter.h"

namespace {

const char ArchiveFile[] = "data.vfs";
const char SkinFile[] = "skin.ini";
const char PlayListFile[] = "PlayList.ini";
const char Background[] = "pic.png";
const char MusicSection[] = "Music";
const char CannotFindBox[] = "a \"Cannot find file\" box";

struct TButtonSection {
  const char* name;
  size_t states;
};
const TButtonSection Buttons[] = {{"ButtonRewind", 4},  {"ButtonPlayPause", 6}, {"ButtonStop", 4},
                                  {"ButtonForward", 4}, {"ButtonEject", 4},     {"ButtonInfo", 4}};

// A broken directory can hold thousands of bad records; a few tell the story.
constexpr int MaxReportsPerKind = 10;

// Copies of its pixels that a picture takes while the disk plays, as measured: pic.png decoded,
// as the skin bitmap and while the outline is read; an info picture and the one before it,
// decoded and as GDI copies at each fade step; any other picture decoded and while drawn.
constexpr uint64_t BackgroundCopies = 3, InfoCopies = 5, OtherCopies = 2;
// Beyond an 8K screen a window cannot be seen whole.
constexpr int LargestScreenWidth = 7680, LargestScreenHeight = 4320;
// Beyond this many transparent runs in pic.png the disk takes over half a second to start under
// Wine, whose window shaping grows faster than the runs (measured: 5,000 runs 0.21 s, 10,000
// 0.52 s, 20,000 1.5 s; at about 42,000 its X11 driver fails).
constexpr uint64_t SlowOutlineRuns = 10000;

std::string Quote(const std::string& s) { return "\"" + s + "\""; }

std::string Size(int64_t w, int64_t h) { return std::to_string(w) + "x" + std::to_string(h); }

std::string Count(uint64_t n, const std::string& one, const std::string& many = "") {
  return std::to_string(n) + " " + (n == 1 ? one : many.empty() ? one + "s" : many);
}

std::string Place(const std::string& section, const std::string& key = "") {
  return "[" + section + "]" + (key.empty() ? "" : " " + key);
}

std::string Line(int line) { return " (line " + std::to_string(line) + ")"; }

std::string Memory(uint64_t bytes) {
  if (bytes >= 1000000000) {
    const uint64_t tenths = (bytes + 50000000) / 100000000;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " GB";
  }
  if (bytes >= 1000000) return std::to_string((bytes + 500000) / 1000000) + " MB";
  return std::to_string((bytes + 500) / 1000) + " KB";
}

struct TStbFree {
  void operator()(stbi_uc* p) const { stbi_image_free(p); }
};

struct TPicture {
  bool ok = false;
  std::string fault;  // why it does not decode; empty for one too large to check, whose size is known
  int width = 0;
  int height = 0;
  std::vector<std::string> colourChunks;  // PNG chunks that make GDI+ colour-correct the picture
  bool hasAlpha = false;
  std::vector<uint8_t> alpha;  // row by row; kept for the background only
};

const char* PictureFormat(const uint8_t* p, size_t n) {
  if (n >= 8 && std::memcmp(p, "\x89PNG\r\n\x1a\n", 8) == 0) return "PNG";
  if (n >= 3 && p[0] == 0xFF && p[1] == 0xD8 && p[2] == 0xFF) return "JPEG";
  if (n >= 2 && p[0] == 'B' && p[1] == 'M') return "BMP";
  if (n >= 4 && std::memcmp(p, "GIF8", 4) == 0) return "GIF";
  return nullptr;
}

// stb_image 2.27 writes past a Huffman table of a JPEG that declares more than 256 codes for
// it, and reads out of bounds through a table that a scan uses before any defined it. Such a
// file is damaged anyway, so it is turned away before the decoder sees it. The walk follows the
// decoder: segments by their lengths, anything between them skipped up to the next 0xFF, and
// after a scan header the entropy-coded data up to the next marker.
const char* JpegTableFault(const uint8_t* p, size_t n) {
  const auto at = [&](size_t i) -> size_t { return i < n ? p[i] : 0; };  // it reads 0 past the end
  bool defined[2][4] = {};                                               // DC and AC tables 0 to 3
  bool progressive = false;
  size_t i = 2;
  while (i < n) {
    if (p[i++] != 0xFF) continue;
    while (i < n && p[i] == 0xFF) ++i;
    const size_t marker = at(i++);
    if (marker == 0xD9) break;
    if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
    const size_t length = at(i) << 8 | at(i + 1);
    if (marker >= 0xC0 && marker <= 0xC2) progressive = marker == 0xC2;
    if (marker == 0xC4) {
      size_t table = i + 2;
      for (int64_t left = int64_t(length) - 2; left > 0;) {
        const size_t kind = at(table) >> 4;
        const size_t id = at(table) & 15;
        size_t codes = 0;
        for (size_t k = 1; k <= 16; ++k) codes += at(table + k);
        if (codes > 256) return "a Huffman table holds more than 256 codes";
        if (kind <= 1 && id <= 3) defined[kind][id] = true;
        table += 17 + codes;
        left -= int64_t(17 + codes);
      }
    }
    if (marker == 0xDA) {
      // A progressive scan takes the DC table in its first DC pass only, the AC table in AC passes.
      const size_t components = at(i + 2);
      const size_t firstCoefficient = at(i + 3 + 2 * components);
      const size_t refinement = at(i + 5 + 2 * components) >> 4;
      const bool dc = !progressive || (firstCoefficient == 0 && refinement == 0);
      const bool ac = !progressive || firstCoefficient > 0;
      for (size_t c = 0; c < components; ++c) {
        const size_t dcId = at(i + 4 + 2 * c) >> 4;
        const size_t acId = at(i + 4 + 2 * c) & 15;
        if ((dc && (dcId > 3 || !defined[0][dcId])) || (ac && (acId > 3 || !defined[1][acId])))
          return "a scan uses a Huffman table that was never defined";
      }
    }
    i += length;
    if (marker == 0xDA)
      while (i + 1 < n && !(p[i] == 0xFF && p[i + 1] != 0 && (p[i + 1] < 0xD0 || p[i + 1] > 0xD7))) ++i;
  }
  return nullptr;
}

// The colour chunks ahead of the first IDAT, in file order; a damaged chunk list ends the walk.
std::vector<std::string> PngColourChunks(const uint8_t* p, size_t n) {
  std::vector<std::string> found;
  for (size_t at = 8; at + 8 <= n;) {
    const uint64_t length = uint64_t(p[at]) << 24 | uint64_t(p[at + 1]) << 16 | uint64_t(p[at + 2]) << 8 | p[at + 3];
    const std::string type(reinterpret_cast<const char*>(p + at + 4), 4);
    if (type == "IDAT" || type == "IEND") break;
    if (type == "iCCP" || type == "sRGB" || type == "gAMA" || type == "cHRM") found.push_back(type);
    at += size_t(std::min<uint64_t>(length + 12, n));
  }
  return found;
}

// The formats GDI+ decodes that a skin would use.
TPicture DecodePicture(const uint8_t* data, size_t size, bool keepAlpha, uint64_t maxPixels) {
  TPicture pic;
  const char* format = PictureFormat(data, size);
  if (!format) {
    pic.fault = "is not a picture (not a PNG, JPEG, BMP or GIF)";
    return pic;
  }
  const auto damaged = [&] {
    const char* why = stbi_failure_reason();
    return std::string("is a damaged ") + format + " (the decoder says: " + (why ? why : "unreadable") + ")";
  };
  const char* tableFault = std::strcmp(format, "JPEG") == 0 ? JpegTableFault(data, size) : nullptr;
  if (tableFault) {
    pic.fault = std::string("is a damaged JPEG (") + tableFault + ")";
    return pic;
  }
  int w = 0;
  int h = 0;
  int channels = 0;
  if (size > size_t(INT_MAX) || !stbi_info_from_memory(data, int(size), &w, &h, &channels)) {
    pic.fault = damaged();
    return pic;
  }
  pic.width = w;
  pic.height = h;
  if (std::strcmp(format, "PNG") == 0) pic.colourChunks = PngColourChunks(data, size);
  if (uint64_t(w) * uint64_t(h) > maxPixels) return pic;
  std::unique_ptr<stbi_uc, TStbFree> pixels(stbi_load_from_memory(data, int(size), &w, &h, &channels, 4));
  if (!pixels) {
    pic.fault = damaged();
    return pic;
  }
  pic.ok = true;
  const size_t count = size_t(w) * size_t(h);
  const stbi_uc* px = pixels.get();
  pic.hasAlpha = std::strcmp(format, "PNG") == 0 && (channels == 2 || channels == 4);
  for (size_t i = 0; i < count && !pic.hasAlpha; ++i) pic.hasAlpha = px[4 * i + 3] != 255;
  if (keepAlpha) {
    pic.alpha.resize(count);
    for (size_t i = 0; i < count; ++i) pic.alpha[i] = px[4 * i + 3];
  }
  return pic;
}

// The archive as the program's reader holds it: the directory from the first headerSize bytes
// (no more than the file has), entries looked up by name, the first match winning.
struct TArchive {
  bool open = false;
  std::vector<uint8_t> bytes;
  uint32_t headerSize = 0;
  int32_t entryCount = 0;

  int32_t Find(const std::string& name) const {
    return open ? VfsFindEntry(bytes.data(), entryCount, name.c_str()) : -1;
  }
  bool Inside(const TVfsRecord& r) const { return uint64_t(headerSize) + r.offset + r.size <= bytes.size(); }
};

// A numbered key or section name ("pic3", "song12"): the number, and whether the program's
// "%d" would ever spell it that way.
struct TNumbered {
  bool is = false;
  bool spelt = false;
  uint64_t number = 0;
};

TNumbered ParseNumbered(const std::string& name, const std::string& prefix) {
  TNumbered n;
  if (name.size() <= prefix.size() || !TProfileIni::SameName(name.substr(0, prefix.size()), prefix)) return n;
  const std::string digits = name.substr(prefix.size());
  if (digits.find_first_not_of("0123456789") != std::string::npos) return n;
  n.is = true;
  n.spelt = digits.size() <= 9 && (digits == "0" || digits[0] != '0');
  for (char c : digits) n.number = std::min<uint64_t>(n.number * 10 + uint64_t(c - '0'), INT32_MAX + 1ull);
  return n;
}

class TChecker {
public:
  TChecker(IDiskFolder& folder, const TDiskCheckLimits& limits) : folder(folder), limits(limits) {}

  std::vector<TDiskProblem> Run() {
    CheckArchive();
    CheckBackground();
    CheckSkin();
    CheckPlayList();
    ReportColourChunks();
    return std::move(problems);
  }

private:
  struct TSongRef {
    std::string file;
    std::string place;
    std::string name;
  };
  struct TPictureRef {
    std::string place;
    std::string name;
    bool fromNoInfo;
    bool title;
  };
  struct TShown {
    std::string place;
    std::string name;
    const TPicture* picture;
  };

  void Report(TSeverity severity, const std::string& file, const std::string& place,
              const std::string& text) {
    problems.push_back({severity, file, place, text});
  }
  void Error(const std::string& file, const std::string& place, const std::string& text) {
    Report(TSeverity::Error, file, place, text);
  }
  void Warn(const std::string& file, const std::string& place, const std::string& text) {
    Report(TSeverity::Warning, file, place, text);
  }
  void Capped(int& seen, TSeverity severity, const std::string& place, const std::string& text) {
    if (++seen <= MaxReportsPerKind) Report(severity, ArchiveFile, place, text);
  }
  void CapNote(int seen, TSeverity severity, const std::string& what) {
    if (seen > MaxReportsPerKind)
      Report(severity, ArchiveFile, "", std::to_string(seen - MaxReportsPerKind) + " more " + what);
  }

  static std::string Unreadable(TFileRead read) {
    return read == TFileRead::Missing ? "missing" : "cannot be read";
  }

  void CheckArchive() {
    const TFileRead read = folder.ReadFile(ArchiveFile, archive.bytes);
    if (read != TFileRead::Ok) {
      Error(ArchiveFile, "",
            Unreadable(read) + ": the disk starts with a \"Cannot open file\" box and shows no pictures");
      return;
    }
    archive.open = true;
    const size_t size = archive.bytes.size();
    if (size < VfsHeaderBytes) {
      Error(ArchiveFile, "", Count(size, "byte") + ", shorter than its 8-byte header: it holds no pictures");
      return;
    }
    archive.headerSize = VfsHeaderSize(archive.bytes.data());
    if (archive.headerSize < VfsHeaderBytes) {
      Error(ArchiveFile, "",
            "header size " + std::to_string(archive.headerSize) + " is below 8: it holds no pictures");
      return;
    }
    archive.entryCount = VfsEntryCount(archive.headerSize, size);
    if (archive.headerSize > size)
      Error(ArchiveFile, "",
            "the directory (header size " + std::to_string(archive.headerSize) +
                ") runs past the end of the file (" + Count(size, "byte") + "): only " +
                Count(uint64_t(archive.entryCount), "entry", "entries") + " can be read");

    std::unordered_map<std::string, int32_t> firstOfName;
    int outside = 0;
    int unterminated = 0;
    int shadowed = 0;
    for (int32_t i = 0; i < archive.entryCount; ++i) {
      const TVfsRecord r = VfsRecordAt(archive.bytes.data(), i);
      const std::string name = VfsRecordName(r);
      const std::string place = "entry " + std::to_string(i) + " " + Quote(name);
      if (name.size() == VfsNameBytes)
        Capped(unterminated, TSeverity::Warning, place, "the name fills all 32 bytes and has no terminator");
      if (!archive.Inside(r))
        Capped(outside, TSeverity::Error, place,
               "lies outside the file: it ends at byte " +
                   std::to_string(uint64_t(archive.headerSize) + r.offset + r.size) + " of " +
                   std::to_string(size));
      const auto first = firstOfName.emplace(FoldAscii(name), i);
      if (!first.second) {
        const int32_t j = first.first->second;
        const std::string other = VfsRecordName(VfsRecordAt(archive.bytes.data(), j));
        Capped(shadowed, TSeverity::Warning, place,
               "never found: entry " + std::to_string(j) + " " + Quote(other) + " has the same name" +
                   (other == name ? "" : " but for case") + ", and the first one wins");
      }
    }
    CapNote(unterminated, TSeverity::Warning, "entries have names without a terminator");
    CapNote(outside, TSeverity::Error, "entries lie outside the file");
    CapNote(shadowed, TSeverity::Warning, "entries are never found behind an earlier one of the same name");
  }

  const TPicture& Picture(int32_t index, bool keepAlpha = false) {
    const auto cached = pictures.find(index);
    if (cached != pictures.end()) return cached->second;
    const TVfsRecord r = VfsRecordAt(archive.bytes.data(), index);
    TPicture pic;
    if (!archive.Inside(r))
      pic.fault = "has its entry outside the end of data.vfs";
    else
      pic = DecodePicture(archive.bytes.data() + archive.headerSize + r.offset, r.size, keepAlpha,
                          limits.maxPicturePixels);
    return pictures.emplace(index, std::move(pic)).first->second;
  }

  // Looks a picture up as the program would; reports a missing or broken one.
  // Returns the picture the program would get, or null when the name finds nothing.
  const TPicture* LookUpPicture(const std::string& file, const std::string& place, const std::string& name,
                                const std::string& whenMissing, uint64_t copies) {
    if (!archive.open) return nullptr;
    const int32_t index = archive.Find(name);
    if (index < 0) {
      std::string text = Quote(name) + " is not in data.vfs";
      if (name.size() > VfsMaxNameLength) text += " (its entry names have at most 31 characters)";
      Error(file, place, text + ": " + whenMissing);
      return nullptr;
    }
    const TPicture& pic = Picture(index);
    if (!pic.fault.empty()) Error(file, place, Quote(name) + " " + pic.fault + ": nothing is drawn for it");
    CheckShownSize(file, place, name, index, pic, copies);
    return &pic;
  }

  // Only the part inside the window shows, but the whole picture takes memory.
  void CheckShownSize(const std::string& file, const std::string& place, const std::string& name, int32_t index,
                      const TPicture& pic, uint64_t copies) {
    if (!pic.fault.empty() || windowWidth == 0 || !sizeChecked.insert(index).second) return;
    if (pic.width <= 2 * windowWidth && pic.height <= 2 * windowHeight) return;
    Warn(file, place,
         Quote(name) + " is " + Size(pic.width, pic.height) + ", far larger than the " +
             Size(windowWidth, windowHeight) + " window that shows it: it takes about " +
             Memory(copies * 4 * uint64_t(pic.width) * uint64_t(pic.height)) + " of memory while the disk plays");
  }

  void CheckBackground() {
    if (!archive.open) return;
    const int32_t index = archive.Find(Background);
    if (index < 0) {
      Error(ArchiveFile, Background, "missing: the window has no size or shape and cannot be seen");
      return;
    }
    const TPicture& pic = Picture(index, true);
    if (!pic.fault.empty()) {
      Error(ArchiveFile, Background, pic.fault + ": the window has no size and cannot be seen");
      return;
    }
    windowWidth = pic.width;
    windowHeight = pic.height;
    if (pic.width > LargestScreenWidth || pic.height > LargestScreenHeight)
      Warn(ArchiveFile, Background,
           "is " + Size(pic.width, pic.height) + ", far larger than any screen (" +
               Size(LargestScreenWidth, LargestScreenHeight) + "): the window takes seconds to appear and about " +
               Memory(BackgroundCopies * 4 * uint64_t(pic.width) * uint64_t(pic.height)) + " of memory");
    if (!pic.ok) return;
    background = &pic;
    if (!pic.hasAlpha) Warn(ArchiveFile, Background, "has no alpha channel: the window is a plain rectangle");
    uint64_t runs = 0;
    for (size_t i = 0; i < pic.alpha.size(); ++i)
      runs += pic.alpha[i] == 0 && (i % size_t(pic.width) == 0 || pic.alpha[i - 1] != 0);
    if (runs > SlowOutlineRuns)
      Warn(ArchiveFile, Background,
           "its outline is cut from " + Count(runs, "run") + " of transparent pixels (more than " +
               std::to_string(SlowOutlineRuns) +
               "): under Wine the disk takes over half a second to start, and from about 42000 runs Wine "
               "cannot shape its window");
  }

  // A colour-managed decoder changes such a picture's colours, and it no longer matches the
  // pixels of pic.png around it.
  void ReportColourChunks() {
    for (const auto& picture : pictures) {
      if (picture.second.colourChunks.empty()) continue;
      std::string chunks;
      for (const std::string& chunk : picture.second.colourChunks) chunks += (chunks.empty() ? "" : ", ") + chunk;
      Warn(ArchiveFile, Quote(VfsRecordName(VfsRecordAt(archive.bytes.data(), picture.first))),
           "a PNG with colour chunks (" + chunks +
               "): GDI+ on Windows colour-corrects it, and it no longer matches the pixels around it");
    }
  }

  // On Windows a UTF-8 byte-order mark is part of the first line; bytes beyond ASCII mean what the
  // reader's code page says.
  void CheckEncoding(const std::vector<uint8_t>& bytes, const TProfileIni& ini, const char* file) {
    if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
      const std::vector<TProfileIni::TSection>& sections = ini.Sections();
      Error(file, "",
            "starts with a UTF-8 byte-order mark: Windows reads it as part of the first line and does not see "
            "the first section" +
                (sections.size() > 1 ? " " + Place(sections[1].name) : "") + " (Wine does)");
    }
    for (const TProfileIni::TSection& s : ini.Sections()) {
      if (s.name.empty()) continue;
      for (const TProfileIni::TKey& k : s.keys) {
        if (k.name.empty() || k.name[0] == ';' || !k.hasValue) continue;
        if (std::any_of(k.value.begin(), k.value.end(), [](char c) { return (unsigned char)c >= 0x80; }))
          Warn(file, Place(s.name, k.name) + Line(k.line),
               "the value holds bytes beyond ASCII: what they mean depends on the code page of the "
               "Windows that reads it");
      }
    }
  }

  static std::string Absence(const TProfileIni& ini, const std::string& section, const std::string& key) {
    const TProfileIni::TSection* s = ini.FindSection(section);
    if (!s) return "missing (there is no section " + Place(section) + ")";
    const TProfileIni::TKey* k = TProfileIni::FindKey(*s, key);
    return k && k->hasValue ? "empty" : "missing";
  }

  static bool HasValue(const TProfileIni& ini, const std::string& section, const std::string& key) {
    const TProfileIni::TSection* s = ini.FindSection(section);
    const TProfileIni::TKey* k = s ? TProfileIni::FindKey(*s, key) : nullptr;
    return k && k->hasValue;
  }

  // A second section or key of a name is never read: the profile functions stop at the first.
  void ReportRepeats(const TProfileIni& ini, const char* file) {
    for (const TProfileIni::TSection& s : ini.Sections()) {
      if (s.name.empty()) continue;
      const TProfileIni::TSection* first = ini.FindSection(s.name);
      if (first != &s) {
        Warn(file, Place(s.name) + Line(s.line),
             "a second section of this name: only the first one, at line " + std::to_string(first->line) +
                 ", is read");
        continue;
      }
      for (const TProfileIni::TKey& k : s.keys) {
        if (k.name.empty() || k.name[0] == ';' || !k.hasValue) continue;
        const TProfileIni::TKey* firstKey = TProfileIni::FindKey(s, k.name);
        if (firstKey != &k)
          Warn(file, Place(s.name, k.name) + Line(k.line),
               "a second key of this name: only the first one, at line " + std::to_string(firstKey->line) +
                   ", is read");
      }
    }
  }

  // Reads prefix0, prefix1, ... until the first empty value, as the program does, and warns
  // about the numbered keys that reading never reaches. Returns the values read.
  std::vector<std::pair<std::string, std::string>> ReadNumbered(const TProfileIni& ini, const char* file,
                                                                const std::string& section,
                                                                const std::string& prefix) {
    std::vector<std::pair<std::string, std::string>> read;
    for (;;) {
      const std::string key = prefix + std::to_string(read.size());
      std::string value = ini.String(section, key, "");
      if (value.empty()) break;
      read.emplace_back(key, std::move(value));
    }
    const TProfileIni::TSection* s = ini.FindSection(section);
    if (!s) return read;
    const std::string stop = prefix + std::to_string(read.size());
    for (const TProfileIni::TKey& k : s->keys) {
      const TNumbered n = ParseNumbered(k.name, prefix);
      if (!n.is || TProfileIni::FindKey(*s, k.name) != &k || ini.String(section, k.name, "").empty())
        continue;
      if (n.spelt && n.number < read.size()) continue;
      Warn(file, Place(section, k.name),
           n.spelt ? "never read: the list stops at " + stop + ", which is " + Absence(ini, section, stop)
                   : "never read: numbers are looked up without leading zeros");
    }
    return read;
  }

  void CheckSkin() {
    std::vector<uint8_t> bytes;
    const TFileRead read = folder.ReadFile(SkinFile, bytes);
    if (read != TFileRead::Ok) {
      Error(SkinFile, "",
            Unreadable(read) + ": the six buttons have no pictures and cannot be seen or clicked");
      return;
    }
    const TProfileIni ini(bytes);
    CheckEncoding(bytes, ini, SkinFile);
    ReportRepeats(ini, SkinFile);
    for (const auto& song : ReadNumbered(ini, SkinFile, MusicSection, "song"))
      skinSongs.push_back({SkinFile, Place(MusicSection, song.first), song.second});
    for (const TButtonSection& button : Buttons) CheckButton(ini, button);
  }

  void CheckButton(const TProfileIni& ini, const TButtonSection& button) {
    const std::string section = button.name;
    if (!ini.FindSection(section)) {
      Error(SkinFile, Place(section), "missing: the button has no pictures and cannot be seen or clicked");
      return;
    }
    struct TState {
      std::string key;
      std::string name;
      const TPicture* picture;
    };
    std::vector<TState> states;  // in the order the button gets them: a missing one takes no place
    const auto keys = ReadNumbered(ini, SkinFile, section, "pic");
    for (const auto& key : keys) {
      const TPicture* pic = LookUpPicture(
          SkinFile, Place(section, key.first), key.second,
          std::string(CannotFindBox) + " at start, and the pictures after it move down one state", OtherCopies);
      if (pic) states.push_back({key.first, key.second, pic});
    }
    if (keys.empty()) {
      Error(SkinFile, Place(section, "pic0"),
            Absence(ini, section, "pic0") + ": the button has no pictures and cannot be seen or clicked");
      return;
    }
    if (!archive.open) return;
    if (states.size() < button.states)
      Warn(SkinFile, Place(section),
           "the button gets " + Count(states.size(), "state picture") + " but has " +
               std::to_string(button.states) + " states (pic0 to pic" + std::to_string(button.states - 1) +
               "): the others have no picture");

    const TState* first = nullptr;
    int width = 0;
    int height = 0;
    for (const TState& s : states) {
      if (!s.picture->ok) continue;
      width = std::max(width, s.picture->width);
      height = std::max(height, s.picture->height);
      if (!first) {
        first = &s;
      } else if (s.picture->width != first->picture->width || s.picture->height != first->picture->height) {
        Warn(SkinFile, Place(section, s.key),
             Quote(s.name) + " is " + Size(s.picture->width, s.picture->height) + " but " + first->key + " " +
                 Quote(first->name) + " is " + Size(first->picture->width, first->picture->height) +
                 ": the button's outline changes with its state");
      }
    }
    if (first && background)
      CheckPlacement(section, ini.Int(section, "X"), ini.Int(section, "Y"), width, height);
  }

  // The window is pic.png cut to its pixels that are not fully transparent: a button drawn
  // anywhere else can be neither seen nor clicked there.
  void CheckPlacement(const std::string& section, int32_t x, int32_t y, int width, int height) {
    const TPicture& bg = *background;
    const int64_t left = x;
    const int64_t top = y;
    const int64_t right = left + width;
    const int64_t bottom = top + height;
    const std::string button =
        "the button at (" + std::to_string(x) + ", " + std::to_string(y) + "), " + Size(width, height) + ",";
    if (left < 0 || top < 0 || right > bg.width || bottom > bg.height)
      Warn(SkinFile, Place(section, "X/Y"),
           button + " reaches outside pic.png (" + Size(bg.width, bg.height) +
               "): that part can be neither seen nor clicked");
    uint64_t holes = 0;
    int64_t firstX = 0;
    int64_t firstY = 0;
    for (int64_t py = std::max<int64_t>(top, 0); py < std::min<int64_t>(bottom, bg.height); ++py)
      for (int64_t px = std::max<int64_t>(left, 0); px < std::min<int64_t>(right, bg.width); ++px)
        if (bg.alpha[size_t(py) * size_t(bg.width) + size_t(px)] == 0 && holes++ == 0) {
          firstX = px;
          firstY = py;
        }
    if (holes)
      Warn(SkinFile, Place(section, "X/Y"),
           button + " lies over " + Count(holes, "fully transparent pixel") + " of pic.png, the first at (" +
               std::to_string(firstX) + ", " + std::to_string(firstY) + "): the window is cut away there");
  }

  void CheckSong(const TSongRef& song, bool first) {
    auto cached = songs.find(song.name);
    if (cached == songs.end()) cached = songs.emplace(song.name, folder.LoadSong(song.name)).first;
    if (cached->second == TSongLoad::Loaded) return;
    std::string text = Quote(song.name) + (cached->second == TSongLoad::Missing
                                               ? " does not exist"
                                               : " does not load: the player library cannot play it");
    if (first) text += " (the disk starts with a \"Song not loaded\" box)";
    Error(song.file, song.place, text);
  }

  void CheckPlayList() {
    std::vector<uint8_t> bytes;
    const TFileRead read = folder.ReadFile(PlayListFile, bytes);
    if (read != TFileRead::Ok) {
      if (skinSongs.empty())
        Error(PlayListFile, "", Unreadable(read) + ": the disk has no songs");
      else
        Warn(PlayListFile, "", Unreadable(read) + ": the songs have no pictures");
      for (size_t i = 0; i < skinSongs.size(); ++i) CheckSong(skinSongs[i], i == 0);
      return;
    }
    const TProfileIni ini(bytes);
    CheckEncoding(bytes, ini, PlayListFile);
    ReportRepeats(ini, PlayListFile);
    const std::string noInfo = ini.String(MusicSection, "NoInfo", "");

    // The program's reading order and stop rules: a song is added once its file is read, and
    // the first empty value ends the whole list.
    struct TListed {
      TSongRef song;
      std::vector<TPictureRef> pictures;
    };
    std::vector<TListed> listed;
    const char* const pictureKeys[] = {"pic1", "pic0", "TitlePic"};
    int32_t index = 0;
    const char* stop = nullptr;
    for (;; ++index) {
      const std::string section = "song" + std::to_string(index);
      const std::string file = ini.String(section, "file", "");
      if (file.empty()) {
        stop = "file";
        break;
      }
      listed.push_back({{PlayListFile, Place(section, "file"), file}, {}});
      stop = nullptr;
      for (const char* key : pictureKeys) {
        const bool info = std::strcmp(key, "TitlePic") != 0;
        const std::string value = ini.String(section, key, info ? noInfo : "");
        if (value.empty()) {
          stop = key;
          break;
        }
        listed.back().pictures.push_back({Place(section, key), value, info && !HasValue(ini, section, key), !info});
      }
      if (stop) break;
    }
    const std::string stopSection = "song" + std::to_string(index);
    const std::string stopPlace = Place(stopSection, stop);
    if (std::strcmp(stop, "file") != 0) {
      const bool info = std::strcmp(stop, "TitlePic") != 0;
      const std::string without = std::strcmp(stop, "pic1") == 0   ? "without pictures"
                                  : std::strcmp(stop, "pic0") == 0 ? "with only its pic1 picture"
                                                                   : "without a title picture";
      const bool noFallback = info && !HasValue(ini, stopSection, stop);
      Warn(PlayListFile, stopPlace,
           Absence(ini, stopSection, stop) + (noFallback ? " and [Music] NoInfo is empty" : "") +
               ": the song is added " + without + " and the list stops here");
    } else if (listed.empty() && skinSongs.empty()) {
      Error(PlayListFile, stopPlace, Absence(ini, stopSection, stop) + ": the disk has no songs");
    }

    for (const TProfileIni::TSection& s : ini.Sections()) {
      const TNumbered n = ParseNumbered(s.name, "song");
      if (!n.is || ini.FindSection(s.name) != &s) continue;
      if (n.spelt && n.number <= uint64_t(index)) continue;
      Warn(PlayListFile, Place(s.name),
           n.spelt ? "never read: the list stops at " + stopPlace + ", which is " +
                         Absence(ini, stopSection, stop)
                   : "never read: numbers are looked up without leading zeros");
    }

    size_t withPictures = 0;
    for (const TListed& l : listed) withPictures += l.pictures.empty() ? 0 : 1;
    if (!skinSongs.empty() && withPictures)
      Warn(SkinFile, Place(MusicSection),
           "the songs listed here come before those of PlayList.ini, but its song pictures stay in their "
           "order: each song shows the pictures meant for the song " +
               Count(skinSongs.size(), "place") + " later");

    for (size_t i = 0; i < skinSongs.size(); ++i) CheckSong(skinSongs[i], i == 0);
    std::vector<const TPictureRef*> noInfoUsers;  // one report for the one value to mend
    std::vector<TShown> infos, titles;
    for (const TListed& l : listed) {
      CheckSong(l.song, skinSongs.empty() && &l == &listed.front());
      for (const TPictureRef& p : l.pictures) {
        if (p.fromNoInfo)
          noInfoUsers.push_back(&p);
        else
          (p.title ? titles : infos)
              .push_back({p.place, p.name,
                          LookUpPicture(PlayListFile, p.place, p.name,
                                        std::string(CannotFindBox) + " while the song plays",
                                        p.title ? OtherCopies : InfoCopies)});
      }
    }
    if (!noInfoUsers.empty()) {
      std::string users = noInfoUsers.front()->place;
      if (noInfoUsers.size() > 1) users += " and " + std::to_string(noInfoUsers.size() - 1) + " more";
      const std::string place = Place(MusicSection, "NoInfo");
      infos.push_back({place, noInfoUsers.front()->name,
                       LookUpPicture(PlayListFile, place, noInfoUsers.front()->name,
                                     std::string(CannotFindBox) + " while a song plays that has no picture of its own (" +
                                         users + ")",
                                     InfoCopies)});
    }
    CheckOnePlace(infos, "InfoX/InfoY", "where the larger one stood, the background shows around the smaller one");
    CheckOnePlace(titles, "TitleX/TitleY", "the larger one's edges stay on screen around the smaller one");
  }

  // Pictures drawn at one place, each over the one before.
  void CheckOnePlace(const std::vector<TShown>& shown, const std::string& where, const std::string& consequence) {
    const TShown* first = nullptr;
    std::set<std::string> seen;
    for (const TShown& s : shown) {
      if (!s.picture || !s.picture->fault.empty() || !seen.insert(FoldAscii(s.name)).second) continue;
      if (!first) {
        first = &s;
      } else if (s.picture->width != first->picture->width || s.picture->height != first->picture->height) {
        Warn(PlayListFile, s.place,
             Quote(s.name) + " is " + Size(s.picture->width, s.picture->height) + " but " + first->place + " " +
                 Quote(first->name) + " is " + Size(first->picture->width, first->picture->height) +
                 ", both shown at " + where + ": " + consequence);
      }
    }
  }

  IDiskFolder& folder;
  const TDiskCheckLimits limits;
  std::vector<TDiskProblem> problems;
  TArchive archive;
  std::map<int32_t, TPicture> pictures;
  const TPicture* background = nullptr;
  int windowWidth = 0, windowHeight = 0;  // pic.png's size, when it is known
  std::set<int32_t> sizeChecked;
  std::map<std::string, TSongLoad> songs;
  std::vector<TSongRef> skinSongs;
};

}  // namespace

std::vector<TDiskProblem> CheckDisk(IDiskFolder& folder, const TDiskCheckLimits& limits) {
  return TChecker(folder, limits).Run();
}

std::string FormatProblem(const TDiskProblem& problem) {
  std::string text = problem.file;
  if (!problem.place.empty()) text += " " + problem.place;
  text += ": " + problem.text;
  // Names come from the disk's files; no control character of theirs may reach the terminal
  // or break the one line a report takes.
  std::string line = problem.severity == TSeverity::Error ? "error: " : "warning: ";
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F) {
      const char hex[] = "0123456789abcdef";
      line += "\\x";
      line += hex[c >> 4];
      line += hex[c & 15];
    } else {
      line += char(c);
    }
  }
  return line;
}

int CheckExitStatus(const std::vector<TDiskProblem>& problems) {
  int status = 0;
  for (const TDiskProblem& p : problems) status = std::max(status, p.severity == TSeverity::Error ? 2 : 1);
  return status;
}
