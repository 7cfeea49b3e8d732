// The byte stream that bodies are read into and sent from.
#pragma once

#include <cstdint>

#include "base/object.h"

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream : public TObject {
 public:
  // Read and Write move up to `count` bytes at the position and return how many moved.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Returns the new position.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual void SetSize(int64_t size) = 0;
  virtual int64_t Size();

  int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t position) { Seek(position, TSeekOrigin::soBeginning); }

  // Raise EReadError "Stream read error" / EWriteError "Stream write error" when fewer
  // bytes than asked for can be moved.
  void ReadBuffer(void* buffer, int64_t count);
  // For a writer that can put bytes in place (a receive): room for up to `count` bytes at the
  // position, to be filled and then taken with CommitWritten, saving Write's copy; `count` is
  // lowered to the room there is. nullptr (the default) where the stream has no such room; Write
  // is the way then.
  virtual char* RoomToWrite(int64_t& count);
  // Takes the first `count` bytes of the room RoomToWrite gave, as Write would take them.
  virtual void CommitWritten(int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);
  // Copies `count` bytes from the source's position; 0 copies the whole source from its start.
  int64_t CopyFrom(TStream& source, int64_t count);

 protected:
  // Where a seek leads in a stream that keeps its own position and size.
  static int64_t SeekTarget(int64_t position, int64_t size, int64_t offset, TSeekOrigin origin) {
    switch (origin) {
      case TSeekOrigin::soBeginning:
        return offset;
      case TSeekOrigin::soCurrent:
        return position + offset;
      case TSeekOrigin::soEnd:
        break;
    }
    return size + offset;
  }
};
