// "setting.dat": the remembered output folder, stored as the raw 255-byte image of its value.
#pragma once

#include <string>

#include "rescue/short_string.h"

inline constexpr char kSettingFileName[] = "setting.dat";

// Where the settings file lives: beside the executable when `exeFolder` is writable (a build
// folder, a portable copy), otherwise in `fallbackFolder` (the user's configuration folder),
// so that an installed program does not fail at every close.
std::string SettingFilePath(const std::string& exeFolder, const std::string& fallbackFolder);

// Copies the file's first bytes (at most 255) over `outPath`. A missing file leaves `outPath`
// alone; a file that cannot be read raises EFOpenError "Cannot open file "%s". %s".
void ReadSettingFile(const std::string& fileName, TShortString& outPath);

// Writes the 255-byte image of `outPath` unchanged, padding included. The bytes go to a
// temporary file in the same folder, which then replaces the settings file, so a crash or a
// full disk never leaves a half-written file. Raises EFCreateError
// "Cannot create file "%s". %s" with the settings file's name.
void WriteSettingFile(const std::string& fileName, const TShortString& outPath);

// The output folder used until one is chosen: the home folder followed by "/RodidOzur".
std::string DefaultOutPath();

// After reading: an empty `outPath` takes `fieldText` (at most 254 bytes of it); otherwise the
// field takes the value. Returns the text the field shows.
std::string SeedOutPath(TShortString& outPath, const std::string& fieldText);
