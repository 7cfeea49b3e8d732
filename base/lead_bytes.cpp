#include "base/lead_bytes.h"

#include <langinfo.h>

#include <array>
#include <atomic>
#include <mutex>

#include "base/text.h"

namespace {

struct LeadByteTable {
  std::array<std::atomic<bool>, 256> lead{};
  std::atomic<bool> any{false};
  std::atomic<bool> chosen{false};
};

LeadByteTable& Table() {
  static LeadByteTable table;
  return table;
}

void EnsureChosen() {
  if (!Table().chosen.load(std::memory_order_acquire)) SelectLeadBytesFromLocale();
}

}  // namespace

void SelectLeadBytesForCodeSet(const std::string& codeSet) {
  const std::string name = UpperCase(codeSet);
  const bool doubleByte = name == "GBK" || name == "GB2312" || name == "GB18030" || name == "CP936";
  LeadByteTable& t = Table();
  for (int c = 0; c < 256; ++c)
    t.lead[c].store(doubleByte && c >= 0x81 && c <= 0xFE);
  t.any.store(doubleByte);
  t.chosen.store(true, std::memory_order_release);
}

void SelectLeadBytesFromLocale() {
  const char* codeSet = nl_langinfo(CODESET);
  SelectLeadBytesForCodeSet(codeSet ? codeSet : "");
}

bool IsLeadByte(unsigned char c) {
  EnsureChosen();
  return Table().lead[c].load(std::memory_order_relaxed);
}

bool CodePageHasLeadBytes() {
  EnsureChosen();
  return Table().any.load(std::memory_order_relaxed);
}

int Pos(const std::string& sub, const std::string& text) {
  if (sub.empty() || sub.size() > text.size()) return 0;
  if (!CodePageHasLeadBytes()) {
    const size_t p = text.find(sub);
    return p == std::string::npos ? 0 : static_cast<int>(p) + 1;
  }
  const size_t last = text.size() - sub.size();
  size_t i = 0;
  while (i <= last) {
    if (text.compare(i, sub.size(), sub) == 0) return static_cast<int>(i) + 1;
    i += IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
  }
  return 0;
}
