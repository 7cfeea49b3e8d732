// Deterministic content for large files and bodies. Neighbouring bytes differ and the pattern does
// not repeat within 4 GiB, so a lost, doubled or shifted piece shows up as a mismatch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline unsigned char GeneratedByte(std::uint64_t index) {
  return static_cast<unsigned char>(index ^ (index >> 8) ^ (index >> 16) ^ (index >> 24));
}

// The bytes at [offset, offset + count) of the pattern.
std::string GeneratedBytes(std::uint64_t offset, std::size_t count);

// Writes the first `size` bytes of the pattern to a file, block by block.
void WriteGeneratedFile(const std::string& path, std::uint64_t size);

// True when the file has exactly `size` bytes and they are the pattern's first ones.
bool FileHoldsGeneratedBytes(const std::string& path, std::uint64_t size);
