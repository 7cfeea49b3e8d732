// Text primitives of the address, cookie and authentication code.
#pragma once

#include <string>

// Finds the first occurrence of the delimiter (stepping over double-byte characters).
// Found: returns the text before it and leaves in `text` only what follows the delimiter.
// Not found: returns the whole text and leaves `text` empty.
std::string TakeToken(std::string& text, const std::string& delimiter);
// The same token, leaving the text unchanged.
std::string PeekToken(const std::string& text, const std::string& delimiter);

// Looks for `sub` at positions start, start-1, ... down to 1 (1-based) and returns the first
// position where the text equals `sub` ignoring ASCII case, or 0. A negative start means the
// length of the text; a start beyond length(text) - length(sub) + 1 is lowered to it. Like the
// forward search it steps over double-byte characters: a match never begins on a trail byte.
int FindLast(const std::string& sub, const std::string& text, int start = -1);
