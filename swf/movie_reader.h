// The addresses a movie names as files to load at run time.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "swf/movie_strings.h"

// Movies inside movies (DefineBinaryData) are read to this depth; deeper is refused.
constexpr int kMaxMovieNesting = 4;
// Sprites inside sprites are read to this depth; deeper is refused.
constexpr int kMaxSpriteNesting = 16;

// Reads a movie in any of its containers and lists, in the order first met and without
// duplicates, the files its code loads, each as written: what reaches a load whatever its
// shape, and other strings the code uses whole when their shape says file (see
// TMovieStrings). Looks at the tags of the movie and of every sprite: old-style actions
// (DoAction, DoInitAction, clip actions of PlaceObject2/3, button actions, see TActionReader),
// byte code (DoABC in both forms, see TAbcReader), ImportAssets/ImportAssets2 and movies held
// as binary data. Raises EMovieError for input that is not a movie or is truncated, corrupt,
// too large or nested too deep.
std::vector<std::string> MovieAddresses(std::string_view movie);
// The same with where each came from; `navigation`: the pages the movie opens too.
std::vector<TMovieReference> MovieReferences(std::string_view movie, bool navigation);
