#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include <dirent.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include "s/str/Utf.h"

namespace tintery_test {

// A fresh folder under /tmp for one test, removed with everything in it when
// the test ends.
class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/tintery-file-XXXXXX";
    if (::mkdtemp(pattern) != nullptr) path_ = pattern;
  }
  ~TempFolder() {
    if (!path_.empty()) ::nftw(path_.c_str(), &removeEntry, 16, FTW_DEPTH | FTW_PHYS);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  // The UTF-8 path of `name` inside the folder.
  std::string at(std::string_view name) const { return path_ + "/" + std::string(name); }
  std::u16string at16(std::string_view name) const { return s::str::utf8ToUtf16(at(name)); }

 private:
  static int removeEntry(const char* path, const struct stat*, int, struct FTW*) {
    ::remove(path);
    return 0;
  }

  std::string path_;
};

// Reads and writes files with the standard library, independently of the
// streams under test.
inline std::string readRaw(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool writeRaw(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// The names in a folder, sorted, without "." and "..".
inline std::vector<std::string> listFolder(const std::string& path) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(path.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

inline long long sizeOnDisk(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

}  // namespace tintery_test
