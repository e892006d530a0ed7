// The run of the check, its reports and the INI reading rules that every part shares.
#include "tools/vfspack/DiskCheck.h"

#include <algorithm>

#include "tools/vfspack/DiskChecker.h"

namespace {

std::string Line(int line) { return " (line " + std::to_string(line) + ")"; }

}  // namespace

std::vector<TDiskProblem> TChecker::Run() {
  CheckArchive();
  CheckBackground();
  CheckSkin();
  CheckPlayList();
  ReportColourChunks();
  return std::move(problems);
}

void TChecker::Report(TSeverity severity, const std::string& file, const std::string& place, const std::string& text) {
  problems.push_back({severity, file, place, text});
}
void TChecker::Error(const std::string& file, const std::string& place, const std::string& text) {
  Report(TSeverity::Error, file, place, text);
}
void TChecker::Warn(const std::string& file, const std::string& place, const std::string& text) {
  Report(TSeverity::Warning, file, place, text);
}

std::string TChecker::Unreadable(TFileRead read) { return read == TFileRead::Missing ? "missing" : "cannot be read"; }

// On Windows a UTF-8 byte-order mark is part of the first line; bytes beyond ASCII mean what the
// reader's code page says.
void TChecker::CheckEncoding(const std::vector<uint8_t>& bytes, const TProfileIni& ini, const char* file) {
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

std::string TChecker::Absence(const TProfileIni& ini, const std::string& section, const std::string& key) {
  const TProfileIni::TSection* s = ini.FindSection(section);
  if (!s) return "missing (there is no section " + Place(section) + ")";
  const TProfileIni::TKey* k = TProfileIni::FindKey(*s, key);
  return k && k->hasValue ? "empty" : "missing";
}

bool TChecker::HasValue(const TProfileIni& ini, const std::string& section, const std::string& key) {
  const TProfileIni::TSection* s = ini.FindSection(section);
  const TProfileIni::TKey* k = s ? TProfileIni::FindKey(*s, key) : nullptr;
  return k && k->hasValue;
}

// A second section or key of a name is never read: the profile functions stop at the first.
void TChecker::ReportRepeats(const TProfileIni& ini, const char* file) {
  for (const TProfileIni::TSection& s : ini.Sections()) {
    if (s.name.empty()) continue;
    const TProfileIni::TSection* first = ini.FindSection(s.name);
    if (first != &s) {
      Warn(file, Place(s.name) + Line(s.line),
           "a second section of this name: only the first one, at line " + std::to_string(first->line) + ", is read");
      continue;
    }
    for (const TProfileIni::TKey& k : s.keys) {
      if (k.name.empty() || k.name[0] == ';' || !k.hasValue) continue;
      const TProfileIni::TKey* firstKey = TProfileIni::FindKey(s, k.name);
      if (firstKey != &k)
        Warn(file, Place(s.name, k.name) + Line(k.line),
             "a second key of this name: only the first one, at line " + std::to_string(firstKey->line) + ", is read");
    }
  }
}

// Reads a numbered list as the program does, and warns about the numbered keys that reading never
// reaches. Returns the values read.
std::vector<std::pair<std::string, std::string>> TChecker::ReadNumbered(const TProfileIni& ini, const char* file,
                                                                        const std::string& section,
                                                                        const std::string& prefix) {
  std::vector<std::pair<std::string, std::string>> read;
  ReadNumberedList(prefix.c_str(), [&](const char* key) {
    std::string value = ini.String(section, key, "");
    if (value.empty()) return false;
    read.emplace_back(key, std::move(value));
    return true;
  });
  const TProfileIni::TSection* s = ini.FindSection(section);
  if (!s) return read;
  const std::string stop = prefix + std::to_string(read.size());
  for (const TProfileIni::TKey& k : s->keys)
    if (TProfileIni::FindKey(*s, k.name) == &k && !ini.String(section, k.name, "").empty())
      WarnNeverRead(file, Place(section, k.name), k.name, prefix.c_str(), read.size(), stop,
                    Absence(ini, section, stop));
  return read;
}

// A numbered name from `reached` on, or spelt with leading zeros, is one that reading never gets to.
void TChecker::WarnNeverRead(const std::string& file, const std::string& place, const std::string& name,
                             const char* prefix, uint64_t reached, const std::string& stop,
                             const std::string& absence) {
  const TNumberedName n = ParseNumberedName(name.c_str(), prefix);
  if (!n.is || (n.spelt && n.number < reached)) return;
  Warn(file, place,
       n.spelt ? "never read: the list stops at " + stop + ", which is " + absence
               : "never read: numbers are looked up without leading zeros");
}

// The start of the report on two pictures of one place that differ in size; empty when they do not.
std::string TChecker::OtherSize(const TShown& shown, const TShown& first) {
  const TPicture& a = *shown.picture;
  const TPicture& b = *first.picture;
  if (a.width == b.width && a.height == b.height) return "";
  return Quote(shown.name) + " is " + Size(a.width, a.height) + " but " + first.place + " " + Quote(first.name) +
         " is " + Size(b.width, b.height);
}

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
