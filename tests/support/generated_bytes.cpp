#include "tests/support/generated_bytes.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

namespace {
constexpr std::size_t kBlock = 1 << 20;
}

std::string GeneratedBytes(std::uint64_t offset, std::size_t count) {
  std::string bytes(count, '\0');
  for (std::size_t i = 0; i < count; ++i)
    bytes[i] = static_cast<char>(GeneratedByte(offset + i));
  return bytes;
}

void WriteGeneratedFile(const std::string& path, std::uint64_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (std::uint64_t done = 0; done < size && out;) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, size - done));
    const std::string block = GeneratedBytes(done, n);
    out.write(block.data(), static_cast<std::streamsize>(n));
    done += n;
  }
  if (!out) throw std::runtime_error("cannot write " + path);
}

bool FileHoldsGeneratedBytes(const std::string& path, std::uint64_t size) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string block(kBlock, '\0');
  std::uint64_t done = 0;
  while (in) {
    in.read(block.data(), static_cast<std::streamsize>(block.size()));
    const auto n = static_cast<std::size_t>(in.gcount());
    if (done + n > size) return false;
    for (std::size_t i = 0; i < n; ++i) {
      if (static_cast<unsigned char>(block[i]) != GeneratedByte(done + i)) return false;
    }
    done += n;
  }
  return done == size;
}
