// data.vfs: its directory, its pictures and pic.png, the picture that makes the window.
#include <unordered_map>

#include "tools/vfspack/DiskChecker.h"

namespace {

// A broken directory can hold thousands of bad records; a few tell the story.
constexpr int MaxReportsPerKind = 10;
// Beyond an 8K screen a window cannot be seen whole.
constexpr int LargestScreenWidth = 7680, LargestScreenHeight = 4320;
// Beyond this many transparent runs in pic.png the disk takes over half a second to start under
// Wine, whose window shaping grows faster than the runs (measured: 5,000 runs 0.21 s, 10,000
// 0.52 s, 20,000 1.5 s; at about 42,000 its X11 driver fails).
constexpr uint64_t SlowOutlineRuns = 10000;

std::string Memory(uint64_t bytes) {
  if (bytes >= 1000000000) {
    const uint64_t tenths = (bytes + 50000000) / 100000000;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " GB";
  }
  if (bytes >= 1000000) return std::to_string((bytes + 500000) / 1000000) + " MB";
  return std::to_string((bytes + 500) / 1000) + " KB";
}

}  // namespace

void TChecker::Capped(int& seen, TSeverity severity, const std::string& place, const std::string& text) {
  if (++seen <= MaxReportsPerKind) Report(severity, ArchiveFileName, place, text);
}
void TChecker::CapNote(int seen, TSeverity severity, const std::string& what) {
  if (seen > MaxReportsPerKind)
    Report(severity, ArchiveFileName, "", std::to_string(seen - MaxReportsPerKind) + " more " + what);
}

void TChecker::CheckArchive() {
  const TFileRead read = folder.ReadFile(ArchiveFileName, archive.bytes);
  if (read != TFileRead::Ok) {
    Error(ArchiveFileName, "",
          Unreadable(read) + ": the disk starts with a \"Cannot open file\" box and shows no pictures");
    return;
  }
  archive.open = true;
  const size_t size = archive.bytes.size();
  if (size < VfsHeaderBytes) {
    Error(ArchiveFileName, "", Count(size, "byte") + ", shorter than its 8-byte header: it holds no pictures");
    return;
  }
  archive.headerSize = VfsHeaderSize(archive.bytes.data());
  if (archive.headerSize < VfsHeaderBytes) {
    Error(ArchiveFileName, "",
          "header size " + std::to_string(archive.headerSize) + " is below 8: it holds no pictures");
    return;
  }
  archive.entryCount = VfsEntryCount(archive.headerSize, size);
  if (archive.headerSize > size)
    Error(ArchiveFileName, "",
          "the directory (header size " + std::to_string(archive.headerSize) + ") runs past the end of the file (" +
              Count(size, "byte") + "): only " + Count(uint64_t(archive.entryCount), "entry", "entries") +
              " can be read");

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
                 std::to_string(uint64_t(archive.headerSize) + r.offset + r.size) + " of " + std::to_string(size));
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

const TPicture& TChecker::Picture(int32_t index, bool keepAlpha) {
  const auto cached = pictures.find(index);
  if (cached != pictures.end()) return cached->second;
  const TVfsRecord r = VfsRecordAt(archive.bytes.data(), index);
  TPicture pic;
  if (!archive.Inside(r))
    pic.fault = "has its entry outside the end of data.vfs";
  else
    pic =
        DecodePicture(archive.bytes.data() + archive.headerSize + r.offset, r.size, keepAlpha, limits.maxPicturePixels);
  return pictures.emplace(index, std::move(pic)).first->second;
}

// Looks a picture up as the program would; reports a missing or broken one.
// Returns the picture the program would get, or null when the name finds nothing.
const TPicture* TChecker::LookUpPicture(const std::string& file, const std::string& place, const std::string& name,
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
void TChecker::CheckShownSize(const std::string& file, const std::string& place, const std::string& name, int32_t index,
                              const TPicture& pic, uint64_t copies) {
  if (!pic.fault.empty() || windowWidth == 0 || !sizeChecked.insert(index).second) return;
  if (pic.width <= 2 * windowWidth && pic.height <= 2 * windowHeight) return;
  Warn(file, place,
       Quote(name) + " is " + Size(pic.width, pic.height) + ", far larger than the " + Size(windowWidth, windowHeight) +
           " window that shows it: it takes about " + Memory(copies * 4 * uint64_t(pic.width) * uint64_t(pic.height)) +
           " of memory while the disk plays");
}

void TChecker::CheckBackground() {
  if (!archive.open) return;
  const int32_t index = archive.Find(BackgroundEntry);
  if (index < 0) {
    Error(ArchiveFileName, BackgroundEntry, "missing: the window has no size or shape and cannot be seen");
    return;
  }
  const TPicture& pic = Picture(index, true);
  if (!pic.fault.empty()) {
    Error(ArchiveFileName, BackgroundEntry, pic.fault + ": the window has no size and cannot be seen");
    return;
  }
  windowWidth = pic.width;
  windowHeight = pic.height;
  if (pic.width > LargestScreenWidth || pic.height > LargestScreenHeight)
    Warn(ArchiveFileName, BackgroundEntry,
         "is " + Size(pic.width, pic.height) + ", far larger than any screen (" +
             Size(LargestScreenWidth, LargestScreenHeight) + "): the window takes seconds to appear and about " +
             Memory(BackgroundCopies * 4 * uint64_t(pic.width) * uint64_t(pic.height)) + " of memory");
  if (!pic.ok) return;
  background = &pic;
  if (!pic.hasAlpha) Warn(ArchiveFileName, BackgroundEntry, "has no alpha channel: the window is a plain rectangle");
  uint64_t runs = 0;
  for (size_t i = 0; i < pic.alpha.size(); ++i)
    runs += pic.alpha[i] == 0 && (i % size_t(pic.width) == 0 || pic.alpha[i - 1] != 0);
  if (runs > SlowOutlineRuns)
    Warn(ArchiveFileName, BackgroundEntry,
         "its outline is cut from " + Count(runs, "run") + " of transparent pixels (more than " +
             std::to_string(SlowOutlineRuns) +
             "): under Wine the disk takes over half a second to start, and from about 42000 runs Wine "
             "cannot shape its window");
}

// A colour-managed decoder changes such a picture's colours, and it no longer matches the
// pixels of pic.png around it.
void TChecker::ReportColourChunks() {
  for (const auto& picture : pictures) {
    if (picture.second.colourChunks.empty()) continue;
    std::string chunks;
    for (const std::string& chunk : picture.second.colourChunks) chunks += (chunks.empty() ? "" : ", ") + chunk;
    Warn(ArchiveFileName, Quote(VfsRecordName(VfsRecordAt(archive.bytes.data(), picture.first))),
         "a PNG with colour chunks (" + chunks +
             "): GDI+ on Windows colour-corrects it, and it no longer matches the pixels around it");
  }
}
