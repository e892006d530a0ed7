// A fresh folder in the system's temporary one, removed at the end with all that was put in it.
#pragma once
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

class TTempFolder {
public:
  // `enter`: the folder is the current directory until the end.
  explicit TTempFolder(bool enter = false) : entered(enter) {
    namespace fs = std::filesystem;
    // Short, as an error box may have to show a path in it whole.
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count() % 1000000;
    for (int serial = 0; !fs::create_directory(folder = fs::temp_directory_path() /
                                                        ("md" + std::to_string(stamp + serial)));)
      ++serial;
    path = folder.string();
    if (enter) {
      saved = fs::current_path();
      fs::current_path(folder);
    }
  }
  ~TTempFolder() {
    std::error_code ignored;
    if (entered) std::filesystem::current_path(saved, ignored);
    std::filesystem::remove_all(folder, ignored);
  }
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;

  // `name` is taken in the current directory once entered, else in this folder; returns its path.
  template <class TBytes>
  std::string Write(const std::string& name, const TBytes& bytes) {
    const std::string file = ((entered ? std::filesystem::current_path() : folder) / name).string();
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file);
    return file;
  }
  std::string Write(const std::string& name, const char* text) { return Write(name, std::string(text)); }

  // A folder inside this one whose path is `length` characters long, made the current directory.
  std::string EnterDeepFolder(size_t length) {
    if (!entered) saved = std::filesystem::current_path();
    entered = true;
    std::string deep = path;
    while (deep.size() < length) {
      size_t name = std::min<size_t>(40, length - deep.size() - 1);
      if (length - deep.size() - 1 - name == 1) --name;  // no one-character remainder
      deep += "\\" + std::string(name, char('a' + length % 26));
      std::filesystem::create_directory(deep);
    }
    std::filesystem::current_path(deep);
    return deep;
  }

  std::string path;

private:
  std::filesystem::path folder, saved;
  bool entered;
};
