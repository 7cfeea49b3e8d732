// The strings of new-style script: the constant pool of a byte-code file (DoABC).
#pragma once

class TByteReader;
class TMovieStrings;

// Reads the constant pool of the byte-code file in `abc` (versions, then the integer,
// unsigned and double constants, then the strings) and gives `strings` every string constant.
// The rest of the file is not needed and not read. Raises EMovieError when a count or a length
// goes past the end.
void ReadAbcStrings(TByteReader& abc, TMovieStrings& strings);
