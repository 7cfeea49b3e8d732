// Base64 text as a peer would send it, and the round trip of any bytes through the encoder
// and the decoder.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "base/exception.h"
#include "base/string_stream.h"
#include "fuzz/fuzz_input.h"
#include "http/decoder.h"
#include "http/encoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const TFuzzInput input(data, size);
  TNetDecoderMIME decoder;
  try {
    TStringStream decoded;
    decoder.DecodeText(input.Text(), decoded);
  } catch (const Exception&) {
    // Text that is no Base64 is refused with its position.
  }
  const std::string encoded = TNetEncoder::EncodeText<TNetEncoderMIME>(input.Text());
  TStringStream back;
  decoder.DecodeText(encoded, back);
  if (back.DataString() != input.Text()) std::abort();
  return 0;
}
