// The typed fields shared by request and response heads, and the raw lines they are built
// from or read into.
#pragma once

#include <cstdint>
#include <string>

#include "base/date_time.h"
#include "base/object.h"
#include "http/header_list.h"

class TNetEntityHeaderInfo : public TObject {
 public:
  // Lines longer than this are folded; header blocks rarely come near it.
  static constexpr int HeaderFoldColumn = 1024;

  TNetEntityHeaderInfo();
  TNetEntityHeaderInfo(const TNetEntityHeaderInfo&) = delete;
  TNetEntityHeaderInfo& operator=(const TNetEntityHeaderInfo&) = delete;

  std::string CacheControl;  // written only
  std::string Connection;
  std::string ContentEncoding;
  std::string ContentLanguage;
  // -1: unknown (and not sent). 64 bits: files beyond 2 GiB keep their length.
  int64_t ContentLength = -1;
  uint32_t ContentRangeEnd = 0;
  uint32_t ContentRangeStart = 0;
  std::string ContentType = "text/html";
  std::string ContentVersion;
  // Lines added to every head as they are; a later field of the same name replaces its line.
  TNetHeaderList CustomHeaders;
  // Day counts; 0 means none.
  TDateTime Date = 0;
  TDateTime Expires = 0;
  TDateTime LastModified = 0;
  std::string Pragma;

  // The raw lines, folded at HeaderFoldColumn.
  TNetHeaderList HeaderLines;
  bool LengthKnown() const { return ContentLength >= 0; }

  // Copies the fields of `source` as the source's class decides (see AssignTo).
  void Assign(const TNetEntityHeaderInfo& source) { source.AssignTo(*this); }

  // Clears HeaderLines and writes the fields into it.
  virtual void BuildHeaderLines();
  // Fills the fields from HeaderLines.
  virtual void ReadHeaderFields();
  // Restores the defaults (CacheControl, Pragma and CustomHeaders stay).
  virtual void ResetFields();

 protected:
  // Copies HeaderLines, the content fields, both range bounds and the three dates.
  virtual void AssignTo(TNetEntityHeaderInfo& destination) const;
};
