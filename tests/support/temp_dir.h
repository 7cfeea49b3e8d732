// A fresh folder under the system's temporary folder, removed with everything in it.
#pragma once

#include <string>
#include <vector>

class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();
  const std::string& Path() const { return path_; }
  // Writes a file below the folder (creating its folders) and returns its full path.
  std::string WriteFile(const std::string& relativePath, const std::string& content) const;

 private:
  std::string path_;
};

// Reads a whole file; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);

// The names of the entries directly in a folder, sorted; none when the folder does not exist.
std::vector<std::string> FileNamesIn(const std::string& folder);

// The files anywhere below a folder, as paths relative to it, sorted.
std::vector<std::string> FilesBelow(const std::string& folder);
