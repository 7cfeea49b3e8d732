// The byte-code files of newer movies (DoABC), read whole: every pool, method signature,
// metadata entry, class, script and method body, in the order the file lays them out, with
// each count and length checked against what remains before anything is kept for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "swf/movie_strings.h"

class TByteReader;

// What the code walk needs of a multiname: whether its name is one a load goes through (the
// low bits), and how many of its parts (a namespace, a name) the instruction pops at run time.
enum TAbcNameRole : uint8_t {
  nrOther = 0,
  nrUrlRequest,      // URLRequest: new URLRequest(address)
  nrUrl,             // url: request.url = address
  nrPlay,            // play: NetStream.play(address)
  nrLoadPolicyFile,  // Security.loadPolicyFile(address)
  nrLoad,            // load(address), where a library takes a string
  nrNavigateToUrl,   // navigateToURL(request)
  nrSendToUrl,       // sendToURL(request)
  nrName,            // Namespace, QName: new Namespace(uri) names, it loads nothing
  nrRoleBits = 0x3F,
  nrRuntimeName = 0x40,     // one part is popped
  nrRuntimeNameTwo = 0x80,  // and another
};

inline uint8_t RoleOfName(uint8_t role) {
  return role & nrRoleBits;
}
inline size_t RuntimePartsOf(uint8_t role) {
  return ((role & nrRuntimeName) ? 1 : 0) + ((role & nrRuntimeNameTwo) ? 1 : 0);
}

class TAbcReader {
 public:
  explicit TAbcReader(TMovieStrings& strings) : strings_(strings) {}

  // Reads one byte-code file and gives `strings` what its code does with its string
  // constants: the operands of pushstring (see TAbcCodeWalk) and the string values of slots and
  // constants. Names of namespaces, classes, traits and metadata are never candidates. Raises
  // EMovieError "movie truncated at byte N" when a count or a length goes past the end.
  void Read(TByteReader& abc);

 private:
  // Every entry needs a byte at least: a count above what remains is a lie, caught before
  // anything is made for it.
  static uint32_t Count(TByteReader& abc);
  void ReadConstantPool(TByteReader& abc);
  void ReadMethods(TByteReader& abc);
  void ReadMetadata(TByteReader& abc);
  void ReadTraits(TByteReader& abc);
  void ReadBodies(TByteReader& abc);

  TMovieStrings& strings_;
  // The string pool (entry 0, the empty name, included), the role of each multiname and the
  // string its name is (0: none).
  std::vector<std::string_view> pool_;
  std::vector<uint8_t> roles_;
  std::vector<uint32_t> names_;
  // For each string of the pool that names a slot or constant with a string value: that value
  // (0: none). The first such trait of a name counts.
  std::vector<uint32_t> values_;
  // Traits of method bodies (activations) are read after the walk and recorded no longer.
  bool record_values_ = true;
};
