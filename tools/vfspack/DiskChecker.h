// The disk check's one pass over a disk folder, shared by the files that check each part of it:
// DiskCheck.cpp (the run, reports and INI reading rules), ArchiveCheck.cpp (data.vfs, its
// pictures, pic.png), SkinCheck.cpp (skin.ini) and PlayListCheck.cpp (PlayList.ini, songs).
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "format/DiskFormat.h"
#include "tools/vfspack/DiskCheck.h"
#include "tools/vfspack/PictureDecode.h"
#include "tools/vfspack/ProfileIni.h"
#include "vfs/VfsArchiveWriter.h"

constexpr const char* CannotFindBox = "a \"Cannot find file\" box";

// Copies of its pixels that a picture takes while the disk plays, as measured: pic.png decoded,
// as the skin bitmap and while the outline is read; an info picture and the one before it,
// decoded and as GDI copies at each fade step; any other picture decoded and while drawn.
constexpr uint64_t BackgroundCopies = 3, InfoCopies = 5, OtherCopies = 2;

inline std::string Quote(const std::string& s) { return "\"" + s + "\""; }
inline std::string Size(int64_t w, int64_t h) { return std::to_string(w) + "x" + std::to_string(h); }
inline std::string Count(uint64_t n, const std::string& one, const std::string& many = "") {
  return std::to_string(n) + " " + (n == 1 ? one : many.empty() ? one + "s" : many);
}
inline std::string Place(const std::string& section, const std::string& key = "") {
  return "[" + section + "]" + (key.empty() ? "" : " " + key);
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

class TChecker {
 public:
  TChecker(IDiskFolder& folder, const TDiskCheckLimits& limits) : folder(folder), limits(limits) {}
  TChecker(const TChecker&) = delete;
  TChecker& operator=(const TChecker&) = delete;

  std::vector<TDiskProblem> Run();

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

  // DiskCheck.cpp
  void Report(TSeverity severity, const std::string& file, const std::string& place, const std::string& text);
  void Error(const std::string& file, const std::string& place, const std::string& text);
  void Warn(const std::string& file, const std::string& place, const std::string& text);
  void Capped(int& seen, TSeverity severity, const std::string& place, const std::string& text);
  void CapNote(int seen, TSeverity severity, const std::string& what);
  static std::string Unreadable(TFileRead read);
  void CheckEncoding(const std::vector<uint8_t>& bytes, const TProfileIni& ini, const char* file);
  static std::string Absence(const TProfileIni& ini, const std::string& section, const std::string& key);
  static bool HasValue(const TProfileIni& ini, const std::string& section, const std::string& key);
  void ReportRepeats(const TProfileIni& ini, const char* file);
  std::vector<std::pair<std::string, std::string>> ReadNumbered(const TProfileIni& ini, const char* file,
                                                                const std::string& section, const std::string& prefix);
  void WarnNeverRead(const std::string& file, const std::string& place, const std::string& name, const char* prefix,
                     uint64_t reached, const std::string& stop, const std::string& absence);
  static std::string OtherSize(const TShown& shown, const TShown& first);

  // ArchiveCheck.cpp
  void CheckArchive();
  const TPicture& Picture(int32_t index, bool keepAlpha = false);
  const TPicture* LookUpPicture(const std::string& file, const std::string& place, const std::string& name,
                                const std::string& whenMissing, uint64_t copies);
  void CheckShownSize(const std::string& file, const std::string& place, const std::string& name, int32_t index,
                      const TPicture& pic, uint64_t copies);
  void CheckBackground();
  void ReportColourChunks();

  // SkinCheck.cpp
  void CheckSkin();
  void CheckButton(const TProfileIni& ini, const TButtonSection& button);
  void CheckPlacement(const std::string& section, int32_t x, int32_t y, int width, int height);
  void CheckLitArea(const TProfileIni& ini, const char* section, const std::string& what, std::vector<const char*> keys,
                    const std::string& wrongPart, const std::function<bool(const std::string& shownNot)>& shown = nullptr);
  void CheckMeter(const TProfileIni& ini);
  void CheckClock(const TProfileIni& ini);
  const TPicture* FacePicture(const TProfileIni& ini, const char* section, const std::vector<const char*>& keys,
                              const std::string& shownNot);
  void CheckFaceArea(const char* section, const std::string& what, int64_t x, int64_t y, int64_t w, int64_t h,
                     const std::string& shownNot);

  // PlayListCheck.cpp
  void CheckSong(const TSongRef& song, bool first);
  void CheckPlayList();
  void CheckLevels(const TProfileIni& ini, const std::string& section);
  void CheckOnePlace(const std::vector<TShown>& shown, const std::string& where, const std::string& consequence);

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
