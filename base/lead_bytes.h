// The lead-byte set of the system code page, and the position search that steps over
// double-byte characters so that a trail byte never matches.
#pragma once

#include <string>

// Chooses the lead bytes from a code-set name: GBK, GB2312, GB18030 and CP936 have the lead
// bytes 0x81 to 0xFE; every other code set (UTF-8 included) has none.
void SelectLeadBytesForCodeSet(const std::string& codeSet);
// Chooses the lead bytes from the current locale's code set (nl_langinfo(CODESET)).
// Runs by itself on first use when nothing was selected before.
void SelectLeadBytesFromLocale();

bool IsLeadByte(unsigned char c);
bool CodePageHasLeadBytes();

// 1-based position of the first occurrence of `sub` in `text`, stepping over double-byte
// characters; 0 when not found or when `sub` is empty.
int Pos(const std::string& sub, const std::string& text);
