// vfspack: builds, lists and unpacks data.vfs picture archives, and checks a disk folder.
//   vfspack create OUT.vfs FILE_OR_DIR...   entries named by base name, in the order given
//                                          (a folder's files sorted by name)
//   vfspack list ARCHIVE                    name, offset, size
//   vfspack extract ARCHIVE DIR
//   vfspack check [DISK_FOLDER]             what would go wrong while the disk plays, one line
//                                          each; exit status 0 clean, 1 warnings, 2 errors
//   vfspack songs [DISK_FOLDER]             the song files the disk plays, relative to it, as
//                                          Windows finds them; exit status 2 if one is missing
// Other errors go to stderr with exit status 1.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/StdioFile.h"
#include "vfs/VfsArchiveWriter.h"
// The build-time packer of the demo disk needs only create: it leaves the check (and with it the
// player library) out.
#ifndef VFSPACK_ARCHIVE_ONLY
#include "OrvelPlayer.h"
#include "format/DiskFormat.h"
#include "tools/vfspack/DiskCheck.h"
#include "tools/vfspack/ProfileIni.h"
#endif

namespace fs = std::filesystem;

namespace {

struct TFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Opened by its own name whatever the code page: wide on Windows.
std::vector<uint8_t> ReadInput(const fs::path& path) {
#ifdef _WIN32
  TStdioFile file(_wfopen(path.c_str(), L"rb"));
#else
  TStdioFile file(std::fopen(path.c_str(), "rb"));
#endif
  std::vector<uint8_t> data;
  if (!file || !ReadWholeFile(file.get(), data)) throw TFailure("cannot read " + path.string());
  return data;
}

std::vector<fs::path> CollectInputs(const std::vector<std::string>& args) {
  std::vector<fs::path> files;
  for (const std::string& arg : args) {
    std::error_code ec;
    if (fs::is_directory(arg, ec)) {
      std::vector<fs::path> inFolder;
      for (const auto& item : fs::directory_iterator(arg))
        if (item.is_regular_file()) inFolder.push_back(item.path());
      std::sort(inFolder.begin(), inFolder.end(),
                [](const fs::path& a, const fs::path& b) { return a.filename().string() < b.filename().string(); });
      files.insert(files.end(), inFolder.begin(), inFolder.end());
    } else if (fs::is_regular_file(arg, ec)) {
      files.push_back(arg);
    } else {
      throw TFailure("no such file or folder: " + arg);
    }
  }
  return files;
}

int Create(const std::string& out, const std::vector<std::string>& args) {
  std::vector<TVfsInput> entries;
  std::vector<std::string> folded;
  uint64_t total = 0;
  for (const fs::path& file : CollectInputs(args)) {
    const std::string name = file.filename().string();
    if (name.size() > VfsMaxNameLength)
      throw TFailure("entry name \"" + name + "\" is " + std::to_string(name.size()) +
                     " characters long; at most " + std::to_string(VfsMaxNameLength) + " fit");
    const std::string key = FoldAscii(name);
    auto same = std::find(folded.begin(), folded.end(), key);
    if (same != folded.end())
      throw TFailure("entry name \"" + name + "\" equals \"" + entries[same - folded.begin()].name +
                     "\" except for case; the archive could never find the second one");
    folded.push_back(key);
    entries.push_back({name, ReadInput(file)});
    total += VfsRecordBytes + entries.back().data.size();
  }
  // Entry positions are set as signed 32-bit offsets.
  if (total + VfsHeaderBytes >= (uint64_t(1) << 31)) throw TFailure("archive would exceed 2 GiB");

  const std::vector<uint8_t> image = VfsBuildArchive(entries);
  const fs::path target(out);
  fs::path temp = target;
  temp += ".tmp";
  {
    std::ofstream file(temp, std::ios::binary | std::ios::trunc);
    if (!file) throw TFailure("cannot write " + temp.string());
    file.write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
    file.close();
    if (!file) {
      std::error_code ignored;
      fs::remove(temp, ignored);
      throw TFailure("cannot write " + temp.string());
    }
  }
  std::error_code ec;
  fs::rename(temp, target, ec);
  if (ec) {
    fs::remove(temp, ec);
    throw TFailure("cannot replace " + target.string());
  }
  return 0;
}

struct TArchive {
  std::vector<uint8_t> bytes;
  uint32_t headerSize = 0;
  int32_t entryCount = 0;
  std::vector<std::string> problems;

  TVfsRecord Record(int32_t i) const { return VfsRecordAt(bytes.data(), i); }
  bool Inside(const TVfsRecord& r) const {
    return uint64_t(headerSize) + r.offset + r.size <= bytes.size();
  }
};

TArchive OpenArchive(const std::string& path) {
  TArchive a;
  a.bytes = ReadInput(path);
  if (a.bytes.size() < VfsHeaderBytes) throw TFailure(path + ": not an archive (shorter than 8 bytes)");
  a.headerSize = VfsHeaderSize(a.bytes.data());
  if (a.headerSize < VfsHeaderBytes)
    throw TFailure(path + ": header size " + std::to_string(a.headerSize) + " is below 8");
  if (a.headerSize > a.bytes.size())
    a.problems.push_back("directory (" + std::to_string(a.headerSize) + " bytes) runs past the end of the file (" +
                         std::to_string(a.bytes.size()) + " bytes)");
  a.entryCount = VfsEntryCount(a.headerSize, a.bytes.size());
  for (int32_t i = 0; i < a.entryCount; ++i) {
    const TVfsRecord r = a.Record(i);
    const std::string name = VfsRecordName(r);
    if (name.size() == VfsNameBytes) a.problems.push_back("entry " + std::to_string(i) + " has a name with no terminator");
    if (!a.Inside(r)) a.problems.push_back("entry \"" + name + "\" reaches past the end of the file");
  }
  return a;
}

int ReportProblems(const std::string& path, const TArchive& a) {
  for (const std::string& p : a.problems) fprintf(stderr, "vfspack: %s: %s\n", path.c_str(), p.c_str());
  return a.problems.empty() ? 0 : 1;
}

int List(const std::string& path) {
  const TArchive a = OpenArchive(path);
  for (int32_t i = 0; i < a.entryCount; ++i) {
    const TVfsRecord r = a.Record(i);
    printf("%s\t%u\t%u\n", VfsRecordName(r).c_str(), unsigned(r.offset), unsigned(r.size));
  }
  return ReportProblems(path, a);
}

// An entry name becomes a file name only when it cannot point outside the target folder.
bool IsPlainFileName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find_first_of("/\\:") == std::string::npos;
}

int Extract(const std::string& path, const std::string& dir) {
  const TArchive a = OpenArchive(path);
  if (!a.problems.empty()) return ReportProblems(path, a);
  fs::create_directories(dir);
  std::vector<std::string> seen;
  for (int32_t i = 0; i < a.entryCount; ++i) {
    const TVfsRecord r = a.Record(i);
    const std::string name = VfsRecordName(r);
    if (!IsPlainFileName(name)) throw TFailure("entry name \"" + name + "\" is not a plain file name");
    if (std::find(seen.begin(), seen.end(), FoldAscii(name)) != seen.end()) {
      fprintf(stderr, "vfspack: skipping \"%s\": an earlier entry has the same name\n", name.c_str());
      continue;
    }
    seen.push_back(FoldAscii(name));
    std::ofstream out(fs::path(dir) / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(a.bytes.data() + a.headerSize + r.offset), std::streamsize(r.size));
    if (!out) throw TFailure("cannot write " + (fs::path(dir) / name).string());
  }
  return 0;
}

// The file a Windows program in the current directory opens by this name. Windows names ignore
// case and take a backslash as a separator; natively each part is matched without regard to case.
std::string WindowsName(const std::string& name) {
#ifdef _WIN32
  return name;
#else
  std::string path = name;
  std::replace(path.begin(), path.end(), '\\', '/');
  std::error_code ec;
  if (path.empty() || fs::exists(path, ec)) return path;
  fs::path found = path[0] == '/' ? fs::path("/") : fs::path(".");
  for (const fs::path& part : fs::path(path).relative_path()) {
    if (part.empty() || part == "." || part == ".." || fs::exists(found / part, ec)) {
      found /= part;
      continue;
    }
    bool matched = false;
    for (fs::directory_iterator it(found, ec), end; !ec && it != end; it.increment(ec)) {
      if (FoldAscii(it->path().filename().string()) == FoldAscii(part.string())) {
        found /= it->path().filename();
        matched = true;
        break;
      }
    }
    if (!matched) return path;
  }
  return found.string();
#endif
}

#ifndef VFSPACK_ARCHIVE_ONLY
class TDiskFolder final : public IDiskFolder {
public:
  explicit TDiskFolder(IOrvelPlayer* player) : player(player) {}

  TFileRead ReadFile(const std::string& name, std::vector<uint8_t>& bytes) override {
    TStdioFile file(std::fopen(WindowsName(name).c_str(), "rb"));
    if (!file) return errno == ENOENT ? TFileRead::Missing : TFileRead::Unreadable;
    bytes.clear();
    return ReadWholeFile(file.get(), bytes) ? TFileRead::Ok : TFileRead::Unreadable;
  }

  TSongLoad LoadSong(const std::string& name) override {
    const std::string path = WindowsName(name);
    if (!TStdioFile(std::fopen(path.c_str(), "rb"))) return TSongLoad::Missing;
    const TSongHandle song = player->LoadSong(path.c_str());
    if (!song) return TSongLoad::Unplayable;
    player->FreeSong(song);
    return TSongLoad::Loaded;
  }

private:
  IOrvelPlayer* player;
};

TProfileIni ReadIni(const std::string& name) {
  std::error_code ec;
  const std::string path = WindowsName(name);
  return fs::is_regular_file(path, ec) ? TProfileIni(ReadInput(path)) : TProfileIni();
}

struct TListedSong {
  std::string place;  // "skin.ini [Music] song0"
  std::string name;
};

// The songs in the program's order, with its stop rules: the first empty value ends a list.
std::vector<TListedSong> ListedSongs() {
  std::vector<TListedSong> songs;
  const TProfileIni skin = ReadIni(SkinFileName);
  ReadNumberedList(SongKeyPrefix, [&](const char* key) {
    const std::string name = skin.String(MusicSection, key, "");
    if (!name.empty()) songs.push_back({std::string(SkinFileName) + " [" + MusicSection + "] " + key, name});
    return !name.empty();
  });
  const TProfileIni playList = ReadIni(PlayListFileName);
  const std::string noInfo = playList.String(MusicSection, NoInfoKey, "");
  ReadSongList(noInfo.c_str(), [&](const char* section, const TSongKey& key, const char* fallback) {
    const std::string value = playList.String(section, key.name, fallback);
    if (!value.empty() && key.row < 0)
      songs.push_back({std::string(PlayListFileName) + " [" + section + "] " + key.name, value});
    return !value.empty();
  });
  return songs;
}

int Songs(const std::string& folder) {
  std::error_code ec;
  fs::current_path(folder, ec);
  if (ec) throw TFailure("cannot enter the disk folder " + folder);
  std::vector<std::string> printed;
  int status = 0;
  for (const TListedSong& song : ListedSongs()) {
    const std::string path = fs::path(WindowsName(song.name)).lexically_normal().generic_string();
    if (!fs::is_regular_file(path, ec)) {
      fprintf(stderr, "vfspack: %s: song \"%s\" is not in %s\n", song.place.c_str(), song.name.c_str(),
              folder.c_str());
      status = 2;
    } else if (std::find(printed.begin(), printed.end(), path) == printed.end()) {
      printed.push_back(path);
      printf("%s\n", path.c_str());
    }
  }
  return status;
}

// Reads the folder from inside it, as the program does.
int Check(const std::string& folder) {
  std::error_code ec;
  fs::current_path(folder, ec);
  IOrvelPlayer* player = ec ? nullptr : IOrvelPlayer::GetOrvelPlayer();
  const TPlayerSettings settings = {OrvelFilterCubic, 0, 44100, 0};
  if (!player || player->Init(&settings) != 0) {
    const std::string why =
        ec ? "cannot enter the disk folder " + folder : "the player library does not start";
    fprintf(stderr, "vfspack: %s\n", why.c_str());
    return 2;
  }
  TDiskFolder disk(player);
  const std::vector<TDiskProblem> problems = CheckDisk(disk);
  player->Shutdown();
  int errors = 0;
  for (const TDiskProblem& p : problems) {
    printf("%s\n", FormatProblem(p).c_str());
    if (p.severity == TSeverity::Error) ++errors;
  }
  printf("%s: %d error%s, %d warning%s\n", folder.c_str(), errors, errors == 1 ? "" : "s",
         int(problems.size()) - errors, problems.size() - size_t(errors) == 1 ? "" : "s");
  return CheckExitStatus(problems);
}
#endif

int Usage() {
  fprintf(stderr,
          "usage: vfspack create OUT.vfs FILE_OR_DIR...\n"
          "       vfspack list ARCHIVE\n"
          "       vfspack extract ARCHIVE DIR\n"
          "       vfspack check [DISK_FOLDER]\n"
          "       vfspack songs [DISK_FOLDER]\n");
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  try {
    if (args.size() >= 3 && args[0] == "create")
      return Create(args[1], std::vector<std::string>(args.begin() + 2, args.end()));
    if (args.size() == 2 && args[0] == "list") return List(args[1]);
    if (args.size() == 3 && args[0] == "extract") return Extract(args[1], args[2]);
#ifndef VFSPACK_ARCHIVE_ONLY
    if ((args.size() == 1 || args.size() == 2) && args[0] == "check")
      return Check(args.size() == 2 ? args[1] : ".");
    if ((args.size() == 1 || args.size() == 2) && args[0] == "songs")
      return Songs(args.size() == 2 ? args[1] : ".");
#endif
    return Usage();
  } catch (const std::exception& e) {
    fprintf(stderr, "vfspack: %s\n", e.what());
    return 1;
  }
}
