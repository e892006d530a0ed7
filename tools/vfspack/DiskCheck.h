// Reads a disk folder as the music disk will and lists what would go wrong while it plays:
// the message boxes it would show, and the quiet faults (pictures that never show, buttons
// that cannot be clicked, songs and settings that are never read). No Windows here.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

enum class TFileRead { Ok, Missing, Unreadable };
enum class TSongLoad { Loaded, Missing, Unplayable };

// What the check reads through. Names are as the disk's files give them, relative to the disk
// folder, the way the program (whose current directory that is) would open them.
class IDiskFolder {
public:
  virtual TFileRead ReadFile(const std::string& name, std::vector<uint8_t>& bytes) = 0;
  // Through the player library: load, then free at once.
  virtual TSongLoad LoadSong(const std::string& name) = 0;

protected:
  ~IDiskFolder() = default;
};

enum class TSeverity { Warning, Error };

struct TDiskProblem {
  TSeverity severity;
  std::string file;   // data.vfs, skin.ini or PlayList.ini
  std::string place;  // "[section] key", an archive entry, or empty for the whole file
  std::string text;
};

struct TDiskCheckLimits {
  // Pictures with more pixels than this are not decoded whole: only their header and first rows.
  uint64_t maxPicturePixels = uint64_t(1) << 26;
};

std::vector<TDiskProblem> CheckDisk(IDiskFolder& folder, const TDiskCheckLimits& limits = {});

// "error: skin.ini [ButtonStop] pic2: ..." on one line.
std::string FormatProblem(const TDiskProblem& problem);

// 0 when there is nothing to report, 1 for warnings only, 2 when there is an error.
int CheckExitStatus(const std::vector<TDiskProblem>& problems);
