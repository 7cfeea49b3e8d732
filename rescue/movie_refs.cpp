#include "rescue/movie_refs.h"

#include "base/exception.h"
#include "base/file_stream.h"
#include "base/string_stream.h"
#include "base/text.h"
#include "http/http.h"
#include "page/reference_resolution.h"
#include "rescue/download.h"
#include "swf/movie_container.h"
#include "swf/movie_reader.h"

namespace {

// A packed movie is about as long as it unpacks to at worst (stored blocks add a little), so
// nothing beyond this can be a movie the reader accepts.
constexpr int64_t kMaxFileSize = kMaxMovieSize + (1 << 20);

[[noreturn]] void TooLarge() {
  throw EMovieError(Format("file larger than %lld bytes", static_cast<long long>(kMaxFileSize)));
}

// Keeps what is written in memory, refusing to hold more than kMaxFileSize.
class TBoundedStringStream : public TStringStream {
 public:
  int64_t Write(const void* buffer, int64_t count) override {
    if (count > kMaxFileSize - Position()) TooLarge();
    return TStringStream::Write(buffer, count);
  }
  void SetSize(int64_t size) override {
    if (size > kMaxFileSize) TooLarge();
    TStringStream::SetSize(size);
  }
};

}  // namespace

std::string ReadBoundedFile(const std::string& path) {
  TFileStream file(path, TFileMode::fmOpenRead);
  const int64_t size = file.Size();
  if (size > kMaxFileSize) TooLarge();
  std::string bytes(static_cast<size_t>(size), '\0');
  file.ReadBuffer(bytes.data(), size);
  return bytes;
}

std::string FetchBounded(TNetHTTP& http, const std::string& address) {
  TBoundedStringStream body;
  http.HttpGet(address, body);
  CheckDelivered(http);
  return body.TakeDataString();
}

std::vector<std::string> MovieRefs(const std::string& bytes, const std::string& base) {
  std::vector<std::string> addresses = MovieAddresses(bytes);
  if (!base.empty())
    for (std::string& address : addresses)
      address = ResolveReference(base, address);
  return addresses;
}

std::vector<TMovieReference> MovieRefList(const std::string& bytes, const std::string& base,
                                          bool navigation) {
  std::vector<TMovieReference> references = MovieReferences(bytes, navigation);
  if (!base.empty())
    for (TMovieReference& reference : references)
      reference.Address = ResolveReference(base, reference.Address);
  return references;
}
