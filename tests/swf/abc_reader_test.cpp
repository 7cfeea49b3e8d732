// The byte-code reader on files made by hand: every opcode's operands, and hostile files.
#include "swf/abc_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/exception.h"
#include "swf/abc_opcodes.h"
#include "swf/movie_reader.h"
#include "tests/support/abc_writer.h"
#include "tests/support/movie_writer.h"

namespace {

using Strings = std::vector<std::string>;

constexpr uint8_t kPushString = 0x2C;
constexpr uint8_t kPop = 0x29;

std::string S24(int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  return std::string{static_cast<char>(bits & 0xFF), static_cast<char>((bits >> 8) & 0xFF),
                     static_cast<char>((bits >> 16) & 0xFF)};
}

// A file of one script whose body is `code`, with `strings` in its pool (index 1 on); the
// body's code length as given, or the code's own.
std::string RawAbc(const Strings& strings, const std::string& code, uint32_t codeLength = 0) {
  std::string abc = U16(16) + U16(46) + U30(0) + U30(0) + U30(0);
  abc += U30(static_cast<uint32_t>(strings.size() + 1));
  for (const std::string& text : strings)
    abc += U30(static_cast<uint32_t>(text.size())) + text;
  abc += U30(0) + U30(0) + U30(0);                  // namespaces, sets, multinames
  abc += U30(1) + U30(0) + U30(0) + U30(0) + '\0';  // one method
  abc += U30(0) + U30(0);                           // metadata, classes
  abc += U30(1) + U30(0) + U30(0);                  // one script
  abc += U30(1) + U30(0) + U30(1) + U30(1) + U30(0) + U30(1);
  abc += U30(codeLength != 0 ? codeLength : static_cast<uint32_t>(code.size())) + code;
  return abc + U30(0) + U30(0);
}

std::string MovieOf(const std::string& abc) {
  return Movie(TMovieKind::mkPlain, {Tag(72, abc)});
}

std::string ErrorOf(const std::string& movie) {
  try {
    MovieAddresses(movie);
  } catch (const EMovieError& e) {
    return e.Message();
  }
  return "(no error)";
}

// Pushes pool string `index` and drops it: a marker the walk lists only if it kept its place.
std::string Marker(uint32_t index) {
  return std::string(1, static_cast<char>(kPushString)) + U30(index) +
         std::string(1, static_cast<char>(kPop));
}

// Every opcode a compiler writes, with operands of the width its form takes (multi-byte
// integers where there is room for a wrong width to show), followed by a marker: a form read
// wrongly loses the walk's place and the markers after it.
TEST(AbcReader, EveryOpcodeKeepsTheWalkInPlace) {
  using F = TAbcOperands;
  const std::string u30 = "\xFF\x7F";  // 16383, two bytes, no index of the pool
  const std::string s24 = S24(-3);
  struct Row {
    int First, Last;  // a run of opcodes of one form
    F Form;
    std::string Operands;
  };
  const std::vector<Row> rows = {
      {0x01, 0x03, F::aoNone, ""},
      {0x04, 0x06, F::aoU30, u30},
      {0x07, 0x07, F::aoNone, ""},
      {0x08, 0x08, F::aoU30, u30},
      {0x09, 0x09, F::aoNone, ""},
      {0x0C, 0x1A, F::aoS24, s24},
      {0x1B, 0x1B, F::aoLookupSwitch, S24(0) + U30(2) + S24(1) + S24(2) + S24(3)},
      {0x1C, 0x21, F::aoNone, ""},
      {0x23, 0x23, F::aoNone, ""},
      {0x24, 0x24, F::aoU8, "\x81"},
      {0x25, 0x25, F::aoU30, u30},
      {0x26, 0x2B, F::aoNone, ""},
      {0x2C, 0x2F, F::aoU30, u30},
      {0x30, 0x30, F::aoNone, ""},
      {0x31, 0x31, F::aoU30, u30},
      {0x32, 0x32, F::aoU30U30, u30 + u30},
      {0x35, 0x3E, F::aoNone, ""},
      {0x40, 0x42, F::aoU30, u30},
      {0x43, 0x46, F::aoU30U30, u30 + u30},
      {0x47, 0x48, F::aoNone, ""},
      {0x49, 0x49, F::aoU30, u30},
      {0x4A, 0x4A, F::aoU30U30, u30 + u30},
      {0x4C, 0x4C, F::aoU30U30, u30 + u30},
      {0x4E, 0x4F, F::aoU30U30, u30 + u30},
      {0x50, 0x52, F::aoNone, ""},
      {0x53, 0x53, F::aoU30, u30},
      {0x55, 0x56, F::aoU30, u30},
      {0x57, 0x57, F::aoNone, ""},
      {0x58, 0x5A, F::aoU30, u30},
      {0x5D, 0x63, F::aoU30, u30},
      {0x64, 0x64, F::aoNone, ""},
      {0x65, 0x65, F::aoU8, "\x81"},
      {0x66, 0x68, F::aoU30, u30},
      {0x6A, 0x6A, F::aoU30, u30},
      {0x6C, 0x6F, F::aoU30, u30},
      {0x70, 0x78, F::aoNone, ""},
      {0x80, 0x80, F::aoU30, u30},
      {0x81, 0x85, F::aoNone, ""},
      {0x86, 0x86, F::aoU30, u30},
      {0x87, 0x89, F::aoNone, ""},
      {0x90, 0x91, F::aoNone, ""},
      {0x92, 0x92, F::aoU30, u30},
      {0x93, 0x93, F::aoNone, ""},
      {0x94, 0x94, F::aoU30, u30},
      {0x95, 0x97, F::aoNone, ""},
      {0xA0, 0xB1, F::aoNone, ""},
      {0xB2, 0xB2, F::aoU30, u30},
      {0xB3, 0xB4, F::aoNone, ""},
      {0xC0, 0xC1, F::aoNone, ""},
      {0xC2, 0xC3, F::aoU30, u30},
      {0xC4, 0xC7, F::aoNone, ""},
      {0xD0, 0xD7, F::aoNone, ""},
      {0xEF, 0xEF, F::aoDebug, "\x01" + u30 + "\x02" + u30},
      {0xF0, 0xF2, F::aoU30, u30},
      {0xF3, 0xF3, F::aoNone, ""},
  };
  std::string code;
  Strings markers;
  std::vector<bool> known(256, false);
  for (const Row& row : rows) {
    for (int op = row.First; op <= row.Last; ++op) {
      EXPECT_EQ(AbcOperandsOf(static_cast<uint8_t>(op)), row.Form) << std::hex << op;
      known[op] = true;
      markers.push_back("marker" + std::to_string(op) + ".xml");
      code += std::string(1, static_cast<char>(op)) + row.Operands +
              Marker(static_cast<uint32_t>(markers.size()));
    }
  }
  for (int op = 0; op < 256; ++op) {
    if (!known[op]) {
      EXPECT_EQ(AbcOperandsOf(static_cast<uint8_t>(op)), F::aoUnknown) << std::hex << op;
    }
  }
  EXPECT_EQ(MovieAddresses(MovieOf(RawAbc(markers, code))), markers);
}

TEST(AbcReader, HostileFilesEndCleanlyAndBounded) {
  const Strings pool = {"a.xml", "b.xml"};
  struct Row {
    const char* Name;
    std::string Abc;
    std::string Error;  // a prefix; "" when the movie reads
    Strings Expected;
  };
  std::string countPastEnd = U16(16) + U16(46) + U30(0) + U30(0) + U30(0) + U30(100000) + "ab";
  std::string unknownName = U16(16) + U16(46) + U30(0) + U30(0) + U30(0) + U30(0) + U30(0) +
                            U30(0) + U30(2) + "\x42" + U30(0);
  const std::vector<Row> rows = {
      {"a pool that counts more strings than there are bytes",
       countPastEnd,
       "movie truncated at byte ",
       {}},
      {"a multiname of no known kind", unknownName, "movie corrupt at byte ", {}},
      {"a body that claims a billion bytes of code",
       RawAbc(pool, Marker(1), 1000000000),
       "movie truncated at byte ",
       {}},
      {"an unknown opcode ends its body",
       RawAbc(pool, Marker(1) + "\xFF" + Marker(2)),
       "",
       {"a.xml"}},
      {"a jump back into its own operand, or forever: the walk goes on in order",
       RawAbc(pool, "\x10" + S24(-2) + "\x10" + S24(-4) + Marker(1)),
       "",
       {"a.xml"}},
      {"a switch that claims a billion cases ends its body",
       RawAbc(pool, Marker(1) + "\x1B" + S24(0) + U30(1000000000) + S24(0) + Marker(2)),
       "",
       {"a.xml"}},
      {"operands cut by the end of the code", RawAbc(pool, Marker(2) + "\x2C\x81"), "", {"b.xml"}},
      {"strings past the pool push nothing", RawAbc(pool, Marker(7) + Marker(1)), "", {"a.xml"}},
  };
  for (const Row& row : rows) {
    const std::string movie = MovieOf(row.Abc);
    const std::string error = ErrorOf(movie);
    if (row.Error.empty()) {
      EXPECT_EQ(error, "(no error)") << row.Name;
      if (error == "(no error)") {
        EXPECT_EQ(MovieAddresses(movie), row.Expected) << row.Name;
      }
    } else {
      EXPECT_EQ(error.rfind(row.Error, 0), 0u) << row.Name << ": " << error;
    }
  }
}

// A body that pushes far more than the stack keeps, then loads: the stack stays bounded and
// what is on it still counts.
TEST(AbcReader, AStackOfMillionsStaysBounded) {
  TAbcWriter abc;
  for (int i = 0; i < 200000; ++i)
    abc.PushString("filler.xml");
  abc.FindPropStrict("URLRequest").PushString("late").ConstructProp("URLRequest", 1);
  abc.EndScript();
  EXPECT_EQ(MovieAddresses(Movie(TMovieKind::mkZlib, {DoAbcTag(abc)})),
            (Strings{"filler.xml", "late"}));
}

}  // namespace
