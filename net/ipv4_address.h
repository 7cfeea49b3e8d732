// An IPv4 address as the stack keeps it, and the parts of its dotted text.
#pragma once

#include <array>
#include <cstdint>
#include <string>

// A 4-byte address in network order.
using TNetIPv4Address = std::array<uint8_t, 4>;

// The largest value of one part of a dotted address.
constexpr int32_t kMaxAddressPart = 255;

// The four parts of a dotted address: three cut at the first three dots, then the rest.
void SplitDottedAddress(const std::string& text, std::string parts[4]);
