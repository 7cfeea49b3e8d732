// Saving a file so that it is either replaced whole or left as it was.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

class TFileStream;
class TStream;

// How a TSafeFileWriter treats the file it replaces.
struct TSafeFileOptions {
  // Flush the bytes to the disk before the rename, so that a crash right after it leaves the
  // new content rather than an empty file under the destination's name.
  bool Sync = false;
  // Give the new file the permission bits of the regular file it replaces (those of any new
  // file otherwise). A mode that cannot be set then fails the writer; without this option the
  // mode is a courtesy, and a file system that has none of its own (FAT) still takes the bytes.
  bool KeepMode = false;
};

// A file that takes its name only once complete: the bytes go to a temporary file beside the
// destination (".NAME.part-XXXXXX", hidden), which Commit renames onto it, so a failed write
// never cuts or half-writes a file the user has. Destroying an uncommitted writer removes the
// temporary file; so does every failure of Commit.
//
// A process that is interrupted leaves none behind either once RemoveUnfinishedFilesOnSignals
// has run.
class TSafeFileWriter {
 public:
  // Raises EFCreateError "Cannot create file "%s". %s" (the destination's name, the system's
  // reason) when the folder takes no new file.
  explicit TSafeFileWriter(const std::string& destination, TSafeFileOptions options = {});
  TSafeFileWriter(const TSafeFileWriter&) = delete;
  TSafeFileWriter& operator=(const TSafeFileWriter&) = delete;
  ~TSafeFileWriter();

  // The temporary file, for writers that report their failures as a stream's (EWriteError).
  TStream& Stream();
  // Appends all bytes; raises EFCreateError "Cannot create file "%s". %s" when they do not fit.
  void Write(const void* data, size_t size);
  // Closes the file (EWriteError "Stream write error" when the system reports a lost write)
  // and gives it the destination's name, replacing a file there; a failed sync or rename raises
  // EFCreateError "Cannot create file "%s". %s".
  void Commit();

 private:
  [[noreturn]] void Refuse(int error) const;

  std::string destination_;
  TSafeFileOptions options_;
  std::string temporary_;
  std::unique_ptr<TFileStream> stream_;
  bool committed_ = false;
};

// Removes the temporary file of every writer not yet committed or destroyed. Only calls that are
// safe in a signal handler.
void RemoveUnfinishedFiles() noexcept;
// From now on SIGINT and SIGTERM remove those files, then end the process with status 128 plus
// the signal's number (130, 143), as a shell reports a process the signal ended.
void RemoveUnfinishedFilesOnSignals();
