// Which Referer a request names.
#pragma once

#include <string>

// The Referer of a request for `target` made from the page at `from` (a page a movie was found
// on, a response that redirected): `from` without its fragment and user information. Nothing
// when `from` is empty, or when it is an https address and `target` a plain http one, so that
// a secure page's address never travels unencrypted.
std::string RefererFor(const std::string& from, const std::string& target);
