// The strings of old-style script: the action records of DoAction, DoInitAction, clip events
// and buttons.
#pragma once

class TByteReader;
class TMovieStrings;

// Reads action records up to the end action (code 0) or the end of `actions`, whichever comes
// first, and gives `strings` the entries of ConstantPool, the string values of Push (pool
// references resolved) and the address of GetURL. A short run of the stack is followed so
// that strings joined by an add are known as pieces. Raises EMovieError when a record's
// length goes past the end.
void ReadActions(TByteReader& actions, TMovieStrings& strings);
