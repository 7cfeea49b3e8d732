// Which strings of a movie (or of a file it loads) name a file to load.
#pragma once

#include <string_view>

// True for an address with the scheme http, https or file that names more than a host, and
// for a relative path whose last segment has the extension of a file that movies load (swf,
// xml, txt, json, mp3, jpg, php, ...). Class and package names, event names, plain words,
// texts with spaces and the schemes javascript:, mailto:, fscommand:, event: and the like
// are not kept. The address is judged as written, query and fragment included.
bool IsLoadableAddress(std::string_view text);

// Whether `text`, handed to a load by a movie's code, can be an address at all, whatever its
// shape: not empty nor longer than an address, no control byte, and a scheme, if any, that is
// fetched (http, https, file), not "javascript:", "mailto:", "fscommand:" or "event:".
bool IsLoadSiteAddress(std::string_view text);

// Whether `text` has the look of a path (a "." or a "/"): what tells an address handed to a
// method named play or load from a game's own word ("click").
inline bool LooksLikePath(std::string_view text) {
  return text.find_first_of("./") != std::string_view::npos;
}
