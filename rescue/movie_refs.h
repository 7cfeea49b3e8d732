// Reading a movie from a file or an address and listing what it loads, as the command line's
// refs and the saving of dependent files do.
#pragma once

#include <string>
#include <vector>

#include "swf/movie_strings.h"

class TNetHTTP;

// The bytes of the file `path`, at most what a movie may take: raises EFOpenError when it
// cannot be opened and EMovieError "file larger than N bytes" beyond the bound.
std::string ReadBoundedFile(const std::string& path);

// The body of `address` fetched with `http` (its Referer as set), at most what a movie may
// take: a larger body raises EMovieError "file larger than N bytes" while it arrives. Raises
// what the fetch raises, and ENetHTTPProtocolException for a status that is not 2xx.
std::string FetchBounded(TNetHTTP& http, const std::string& address);

// The addresses the movie `bytes` loads (MovieAddresses), each resolved against `base`
// unless `base` is empty.
std::vector<std::string> MovieRefs(const std::string& bytes, const std::string& base);
// The same with where each came from (MovieReferences); `navigation`: the pages it opens too.
std::vector<TMovieReference> MovieRefList(const std::string& bytes, const std::string& base,
                                          bool navigation);
