// The order of byte-string sort keys, without comparing whole keys again and again: keys that
// share a long beginning (the addresses of one site) are told apart at the first byte where
// they differ, and that beginning is passed over once for all of them.
#pragma once

#include <cstddef>
#include <vector>

#include "base/string_block.h"

// The indexes of `keys` in the order of the keys, byte by byte as unsigned values (a key before
// any longer one it begins), equal keys in the order of their indexes.
std::vector<size_t> KeyOrder(const TStringBlock& keys);
// As KeyOrder, of equal keys only the first.
std::vector<size_t> DistinctKeyOrder(const TStringBlock& keys);
