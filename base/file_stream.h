// A stream over a file on disk.
#pragma once

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
