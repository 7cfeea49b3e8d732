// A stream over a file on disk.
#pragma once

#include <cstddef>
#include <string>

#include "base/stream.h"

// Open modes. fmCreate creates a new file or cuts an existing one to zero length, opened
// for reading and writing.
enum class TFileMode { fmCreate, fmOpenRead, fmOpenWrite, fmOpenReadWrite };

class TFileStream : public TStream {
 public:
  // Raise EFCreateError "Cannot create file "%s". %s" or EFOpenError
  // "Cannot open file "%s". %s" with the system's reason.
  TFileStream(const std::string& fileName, TFileMode mode);
  // Takes over `handle`, a descriptor open on `fileName` for reading and writing.
  TFileStream(const std::string& fileName, int handle) : file_name_(fileName), handle_(handle) {}
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;
  ~TFileStream() override;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;

  const std::string& FileName() const { return file_name_; }
  int Handle() const { return handle_; }
  // Closes the file now; a failure to write back raises EWriteError.
  void Close();

 private:
  std::string file_name_;
  int handle_ = -1;
};

// Writes all `size` bytes to the descriptor `fd`, again after an interruption. Returns how many
// it took: fewer when it refused the rest, errno then saying why (EIO when it took nothing).
size_t WriteAll(int fd, const void* data, size_t size);
