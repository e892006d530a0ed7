// One input is a disk folder: skin.ini, PlayList.ini and data.vfs, split at lines "@@" (a part
// that is not there is a missing file). Songs stay out: the library has a fuzzer of its own,
// and here the length of a name decides whether its song loads.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/vfspack/DiskCheck.h"

namespace {

class TMemoryFolder final : public IDiskFolder {
public:
  std::map<std::string, std::vector<uint8_t>> files;

  TFileRead ReadFile(const std::string& name, std::vector<uint8_t>& bytes) override {
    const auto file = files.find(name);
    if (file == files.end()) return TFileRead::Missing;
    bytes = file->second;
    return TFileRead::Ok;
  }
  TSongLoad LoadSong(const std::string& name) override {
    static const TSongLoad outcomes[] = {TSongLoad::Loaded, TSongLoad::Missing, TSongLoad::Unplayable};
    return outcomes[name.size() % 3];
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* const names[] = {"skin.ini", "PlayList.ini", "data.vfs"};
  static const std::string separator = "\n@@\n";
  const std::string input(reinterpret_cast<const char*>(data), size);
  TMemoryFolder folder;
  size_t start = 0;
  for (const char* name : names) {
    if (start > input.size()) break;
    size_t end = input.find(separator, start);
    if (end == std::string::npos || name == names[2]) end = input.size();
    folder.files[name] = std::vector<uint8_t>(data + start, data + end);
    start = end + separator.size();
  }
  TDiskCheckLimits limits;
  limits.maxPicturePixels = 1 << 20;
  const std::vector<TDiskProblem> problems = CheckDisk(folder, limits);
  int errors = 0;
  for (const TDiskProblem& p : problems) {
    for (unsigned char c : FormatProblem(p))
      if (c < 0x20) __builtin_trap();  // one line each, whatever the names hold
    errors += p.severity == TSeverity::Error;
  }
  if (CheckExitStatus(problems) != (errors ? 2 : problems.empty() ? 0 : 1)) __builtin_trap();
  return 0;
}
