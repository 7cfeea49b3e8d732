// Addresses as a browser puts them on the wire, and as people read them. A page names
// "games/游戏/连连看.swf" or "games/my game.swf"; the request carries
// "/games/%E6%B8%B8%E6%88%8F/%E8%BF%9E%E8%BF%9E%E7%9C%8B.swf" and "/games/my%20game.swf", and a
// listing shows the first form again.
#pragma once

#include <string>
#include <string_view>

// Whether EncodedAddress may change `address` (false: it gives it back as it is): it holds a
// byte above ASCII, a control, a blank or one of " < > ` { } ', or its scheme or host has
// upper-case letters.
bool NeedsEncoding(std::string_view address);

// `address` (absolute, its bytes in the encoding `charset`, a canonical name) as a request
// carries it, by the rules browsers follow: scheme and host in lower case ("HTTP://Example.COM"
// and "http://example.com" are one site), the path converted to UTF-8 and every byte above
// ASCII, control, blank, " < > ` { } is percent-encoded; the query keeps the page's own
// encoding and has those bytes and ' percent-encoded; the fragment likewise. What is
// percent-encoded already stays as it is, so encoding twice changes nothing.
std::string EncodedAddress(std::string_view address, std::string_view charset);

// An encoded address for reading: the percent-escapes of characters above ASCII (in UTF-8, with
// upper-case hexadecimal digits) and of the blank ("%20") decoded, and nothing else, so that
// EncodedAddress of the result, in UTF-8, is the address again. Reserved characters ("%2F",
// "%3F", "%23", "%25", "%26", "%3D"...), escapes of bytes that are no UTF-8 character (a query
// in GBK) and of controls stay escaped.
std::string DisplayedAddress(std::string_view address);

// `text` with every percent-escape decoded (a "%" without two hexadecimal digits stays).
std::string PercentDecoded(std::string_view text);
