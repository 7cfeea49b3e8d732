// Where a command writes a body: standard output, or a file that appears under its name only
// once the body is complete.
#pragma once

#include <memory>
#include <string>

#include "base/stream.h"

class TFileStream;

namespace cli {

// A stream that appends to a file descriptor it does not own (standard output). It cannot go
// back: seeking to and sizing at the current end are accepted, anything else is an error.
class TDescriptorStream : public TStream {
 public:
  explicit TDescriptorStream(int fd) : fd_(fd) {}
  int64_t Read(void* buffer, int64_t count) override { return 0; }
  // Raises EWriteError "Stream write error" when the descriptor refuses bytes.
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  int64_t Size() override { return written_; }

 private:
  int fd_;
  int64_t written_ = 0;
};

// A file written under a temporary name in the destination's folder and renamed onto the
// destination by Commit. Until then an existing destination is left untouched; destroying an
// uncommitted file removes the temporary one.
class TSafeOutputFile {
 public:
  // Raises EFCreateError "Cannot create file "%s". %s" when the folder takes no new file.
  explicit TSafeOutputFile(const std::string& destination);
  ~TSafeOutputFile();
  TSafeOutputFile(const TSafeOutputFile&) = delete;
  TSafeOutputFile& operator=(const TSafeOutputFile&) = delete;

  TStream& Stream();
  const std::string& TemporaryName() const { return temporary_; }
  // Closes the file and gives it the destination's name. Raises EWriteError or
  // EFCreateError when that fails (the temporary file is then removed).
  void Commit();

 private:
  std::string destination_;
  std::string temporary_;
  std::unique_ptr<TFileStream> stream_;
  bool committed_ = false;
};

}  // namespace cli
