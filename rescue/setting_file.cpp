#include "rescue/setting_file.h"

#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "base/exception.h"
#include "base/file_stream.h"
#include "base/safe_file_writer.h"
#include "base/text.h"

namespace {

[[noreturn]] void RaiseCreateError(const std::string& fileName, int error) {
  throw EFCreateError(
      Format("Cannot create file \"%s\". %s", fileName.c_str(), std::strerror(error)));
}

}  // namespace

std::string SettingFilePath(const std::string& exeFolder, const std::string& fallbackFolder) {
  if (!exeFolder.empty() && ::access(exeFolder.c_str(), W_OK) == 0) {
    const bool closed = exeFolder.back() == '/';
    return exeFolder + (closed ? "" : "/") + kSettingFileName;
  }
  std::string folder = fallbackFolder;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder + kSettingFileName;
}

void ReadSettingFile(const std::string& fileName, TShortString& outPath) {
  std::error_code ec;
  if (!std::filesystem::exists(fileName, ec)) return;
  TFileStream file(fileName, TFileMode::fmOpenRead);
  std::string bytes(TShortString::kImageSize, '\0');
  const int64_t got = file.Read(bytes.data(), TShortString::kImageSize);
  bytes.resize(static_cast<size_t>(got));
  outPath.Overlay(bytes);
}

void WriteSettingFile(const std::string& fileName, const TShortString& outPath) {
  // A settings file the user made read-only is not replaced behind their back.
  if (::access(fileName.c_str(), F_OK) == 0 && ::access(fileName.c_str(), W_OK) != 0)
    RaiseCreateError(fileName, errno);

  const std::filesystem::path target(fileName);
  std::error_code ec;
  if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);

  TSafeFileWriter file(fileName, {.Sync = true, .KeepMode = true});
  const TShortString::TImage& image = outPath.Image();
  file.Write(image.data(), image.size());
  file.Commit();
}

std::string DefaultOutPath() {
  std::string home;
  if (const char* env = ::getenv("HOME"); env && *env) {
    home = env;
  } else if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir) {
    home = user->pw_dir;
  }
  while (home.size() > 1 && home.back() == '/')
    home.pop_back();
  if (home == "/") home.clear();
  return home + "/RodidOzur";
}

std::string SeedOutPath(TShortString& outPath, const std::string& fieldText) {
  if (outPath.Empty()) {
    outPath.Assign(fieldText);
    return fieldText;
  }
  return outPath.Text();
}
