#include "swf/movie_reader.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "base/exception.h"
#include "swf/movie_container.h"
#include "tests/support/abc_writer.h"
#include "tests/support/movie_writer.h"

namespace {

using Strings = std::vector<std::string>;

constexpr uint8_t acGetVariable = 0x1C;
constexpr uint8_t acSetVariable = 0x1D;
constexpr uint8_t acAdd2 = 0x47;
constexpr uint8_t acCallFunction = 0x3D;
constexpr uint8_t acCallMethod = 0x52;
constexpr uint8_t acGetURL2 = 0x9A;
constexpr uint8_t kActionPop = 0x17;
constexpr uint8_t kPop = 0x29;
constexpr uint8_t kDebugFile = 0xF1;
constexpr uint8_t kConstruct = 0x42;

struct TMovieRow {
  const char* Name;
  Strings Tags;
  Strings Expected;
  uint8_t Version = 10;
};

// Byte code whose one body pushes each string and drops it.
TAbcWriter PushedStrings(const Strings& strings) {
  TAbcWriter abc;
  for (const std::string& text : strings)
    abc.PushString(text).Op(kPop);
  abc.EndScript();
  return abc;
}

// Byte code that loads files the ways compiled games do, and names strings that are no files:
// namespaces, class names, metadata, a source file, a page opened, a join with a run-time value.
TAbcWriter LoadingAbc() {
  TAbcWriter abc;
  abc.Constant("CONFIG", "config/settings.xml");
  abc.Metadata("Embed", "source", "http://example.com/embed.swf");
  abc.QName("Loader", "http://adobe.com/AS3/2006/builtin");
  abc.GetLex("flash.display.Loader").Op(kPop);
  abc.Op(kDebugFile, U30(abc.String("D:/build/game.swf")));
  abc.FindPropStrict("URLRequest").PushString("utf8").ConstructProp("URLRequest", 1).Op(kPop);
  abc.EndScript();
  abc.GetLex("loader").FindPropStrict("URLRequest").PushString("Shift Jis.txt");
  abc.ConstructProp("URLRequest", 1).CallPropVoid("load", 1).EndScript();
  abc.FindPropStrict("URLRequest").ConstructProp("URLRequest", 0).SetLocal(1);
  abc.GetLocal(1).PushString("variables").SetProperty("url").EndScript();
  abc.GetLex("stream").PushString("video/intro").CallPropVoid("play", 1);
  abc.GetLex("sounds").PushString("click").CallPropVoid("play", 1);
  abc.GetLex("Security").PushString("http://example.com/crossdomain.xml");
  abc.CallPropVoid("loadPolicyFile", 1).EndScript();
  abc.FindPropStrict("URLRequest").PushString("levels/").PushString("1.xml").Add();
  abc.ConstructProp("URLRequest", 1).Op(kPop).EndScript();
  abc.FindPropStrict("URLRequest").GetLex("base").PushString("data/config.xml").Add();
  abc.ConstructProp("URLRequest", 1).Op(kPop).EndScript();
  abc.FindPropStrict("navigateToURL").FindPropStrict("URLRequest");
  abc.PushString("http://example.com/more.html").ConstructProp("URLRequest", 1);
  abc.PushString("_blank").CallPropVoid("navigateToURL", 2).EndScript();
  abc.PushString("sounds/a.mp3").Op(kPop).PushString("Title Screen").Op(kPop).EndScript();
  // A namespace's address is a name wherever else it is pushed.
  abc.PushString("http://www.w3.org/1999/xhtml").Op(kPop).FindPropStrict("Namespace");
  abc.PushString("http://www.w3.org/1999/xhtml").ConstructProp("Namespace", 1).Op(kPop);
  abc.EndScript();
  // A constant read by name, and the class of a request on the stack.
  abc.Constant("DATA", "settings");
  abc.FindPropStrict("URLRequest").GetLex("DATA").ConstructProp("URLRequest", 1).Op(kPop);
  abc.GetLex("URLRequest").PushString("music").Op(kConstruct, U30(1)).Op(kPop).EndScript();
  return abc;
}
std::string LoadingAbcTag() {
  return DoAbcTag(LoadingAbc());
}
Strings LoadingAbcFiles() {
  return {"config/settings.xml",
          "utf8",
          "Shift Jis.txt",
          "variables",
          "video/intro",
          "http://example.com/crossdomain.xml",
          "levels/1.xml",
          "sounds/a.mp3",
          "settings",
          "music"};
}

// Old-style script that loads files by action and by call, opens a page and attaches a symbol.
TActionWriter LoadingActions() {
  return TActionWriter()
      .PushString("variables")
      .PushString("_root")
      .Record(acGetURL2, std::string(1, '\xC0'))  // loadVariables into a clip
      .PushString("intro")
      .PushString("_level1")
      .Record(acGetURL2, std::string(1, '\0'))  // loadMovieNum
      .PushString("http://example.com/more.html")
      .PushString("_blank")
      .Record(acGetURL2, std::string(1, '\0'))  // getURL to a window
      .PushString("javascript:alert(1)")
      .PushString("")
      .Record(acGetURL2, std::string(1, '\0'))
      .PushString("Shift Jis.txt")
      .PushInteger(1)
      .PushString("vars")
      .Simple(acGetVariable)
      .PushString("load")
      .Simple(acCallMethod)
      .Simple(kActionPop)
      .PushString("_root.holder")
      .PushString("levels/")
      .PushString("2.swf")
      .Simple(acAdd2)
      .PushInteger(2)
      .PushString("loadMovie")
      .Simple(acCallFunction)
      .Simple(kActionPop)
      .PushInteger(5)
      .PushString("enemy1")
      .PushString("Enemy Ship")
      .PushInteger(3)
      .PushString("_root")
      .Simple(acGetVariable)
      .PushString("attachMovie")
      .Simple(acCallMethod)
      .Simple(kActionPop)
      .PushString("videos/intro")
      .PushInteger(1)
      .PushString("stream")
      .Simple(acGetVariable)
      .PushString("play")
      .Simple(acCallMethod)
      .Simple(kActionPop)
      .PushString("click")
      .PushInteger(1)
      .PushString("sounds")
      .Simple(acGetVariable)
      .PushString("play")
      .Simple(acCallMethod);
}

std::string InnerMovie(TMovieKind kind, const std::string& address) {
  return Movie(kind, {DoActionTag(TActionWriter().GetURL(address))});
}

std::vector<TMovieRow> Rows() {
  return {
      {"pool, pushes and GetURL",
       {DoActionTag(TActionWriter()
                        .ConstantPool({"levels/one.swf", "loadMovie", "flash.display.Loader"})
                        .PushPooled(0)
                        .PushString("_root")
                        .Simple(acGetVariable)
                        .Simple(acCallFunction)
                        .GetURL("http://example.com/data/config.xml?v=2")
                        .GetURL("javascript:alert(1)")
                        .GetURL("FSCommand:quit")
                        .GetURL("mailto:me@example.com"))},
       {"levels/one.swf", "http://example.com/data/config.xml?v=2"}},
      {"pieces of a concatenation are not files",
       {DoActionTag(TActionWriter()
                        .ConstantPool({"http://cdn.example/get.php?id=", "menu.xml"})
                        .PushPooled(0)
                        .PushString("level")
                        .Simple(acGetVariable)
                        .Simple(acAdd2)
                        .PushString("http://cdn.example/parts/a.swf")
                        .PushString("x")
                        .Simple(acGetVariable)
                        .Simple(acAdd2)
                        .PushPooled(1)
                        .PushString("sounds/click.mp3")
                        .Simple(acSetVariable)
                        .PushPooled(7))},
       {"menu.xml", "sounds/click.mp3"}},
      {"a pool entry used whole and as a piece stays",
       {DoActionTag(TActionWriter()
                        .ConstantPool({"intro.swf"})
                        .PushPooled(0)
                        .PushString("x")
                        .Simple(acGetVariable)
                        .Simple(acAdd2)
                        .PushPooled(0)
                        .Simple(acSetVariable))},
       {"intro.swf"}},
      {"sprites and init actions",
       {SpriteTag(3, {DoActionTag(TActionWriter().PushString("inner/a.xml")),
                      SpriteTag(4, {DoActionTag(TActionWriter().GetURL("deeper/c.txt"))})}),
        DoInitActionTag(3, TActionWriter().PushString("init/b.txt").Simple(acSetVariable))},
       {"inner/a.xml", "deeper/c.txt", "init/b.txt"}},
      {"byte code in both forms",
       {DoAbcTag(PushedStrings({"flash.display.Loader", "assets/music.mp3",
                                "http://example.com/api/scores.php", "complete", "Loading...",
                                "event:click", ".xml", "http://example.com/"})),
        DoAbcTag(PushedStrings({"older/level.json", "assets/music.mp3"}), true),
        // Strings of the pool that no code pushes are not candidates.
        DoAbcTag({"unpushed/level.json"})},
       {"assets/music.mp3", "http://example.com/api/scores.php", "older/level.json"}},
      {"byte code: what reaches a load, whatever its shape", {LoadingAbcTag()}, LoadingAbcFiles()},
      {"old-style script: what reaches a load action or call",
       {DoActionTag(LoadingActions())},
       {"variables", "intro", "Shift Jis.txt", "levels/2.swf", "videos/intro"}},
      {"clip actions with 32-bit events and a key press",
       {PlaceObjectTag(
           {TActionWriter().PushString("clip/load.swf"), TActionWriter().GetURL("clip/key.xml")},
           10)},
       {"clip/load.swf", "clip/key.xml"}},
      {"clip actions with 16-bit events",
       {PlaceObjectTag({TActionWriter().PushString("old/clip.swf"),
                        TActionWriter().PushString("old/second.jpg")},
                       5)},
       {"old/clip.swf", "old/second.jpg"},
       5},
      {"PlaceObject3 with class name, filters and visibility",
       {PlaceObjectTag({TActionWriter().GetURL("three/hero.png")}, 10, true)},
       {"three/hero.png"}},
      {"button actions of both button tags",
       {ButtonTag(TActionWriter().GetURL("http://example.com/more/games.php")),
        Button2Tag({TActionWriter().PushString("button/over.mp3"),
                    TActionWriter().GetURL("button/press.swf")}),
        Button2Tag({})},
       {"http://example.com/more/games.php", "button/over.mp3", "button/press.swf"}},
      {"imported assets",
       {ImportAssetsTag("library.swf"),
        ImportAssetsTag("http://example.com/shared/fonts.swf", true)},
       {"library.swf", "http://example.com/shared/fonts.swf"}},
      {"movies held as binary data, in each container",
       {BinaryDataTag(9, InnerMovie(TMovieKind::mkPlain, "inner/plain.swf")),
        BinaryDataTag(10, InnerMovie(TMovieKind::mkZlib, "inner/zlib.swf")),
        BinaryDataTag(11, InnerMovie(TMovieKind::mkLzma, "inner/lzma.swf")),
        BinaryDataTag(12, "not a movie at all")},
       {"inner/plain.swf", "inner/zlib.swf", "inner/lzma.swf"}},
      {"other tags, long headers and duplicates",
       {Tag(9, "\x01\x02\x03"), Tag(12, TActionWriter().PushString("once.swf").Bytes(), true),
        DoActionTag(TActionWriter().PushString("once.swf").PushString("plain words"))},
       {"once.swf"}},
  };
}

TEST(MovieReaderTest, ListsTheAddressesOfEveryRowInEveryContainer) {
  for (const TMovieRow& row : Rows()) {
    for (const TMovieKind kind : {TMovieKind::mkPlain, TMovieKind::mkZlib, TMovieKind::mkLzma}) {
      const std::string movie = Movie(kind, row.Tags, row.Version);
      EXPECT_EQ(MovieAddresses(movie), row.Expected)
          << row.Name << " in container " << movie.substr(0, 3);
    }
  }
}

TEST(MovieReaderTest, TagsAfterTheEndTagAreNotRead) {
  const std::string plain =
      Movie(TMovieKind::mkPlain, {DoActionTag(TActionWriter().PushString("a.swf"))});
  // The end tag is the last two bytes; anything written after it, within the length, is ignored.
  std::string extended = plain + DoActionTag(TActionWriter().PushString("b.swf"));
  extended.replace(4, 4, U32(static_cast<uint32_t>(extended.size())));
  EXPECT_EQ(MovieAddresses(extended), Strings{"a.swf"});
}

std::string ErrorOf(const std::string& movie) {
  try {
    MovieAddresses(movie);
  } catch (const EMovieError& e) {
    return e.Message();
  }
  return "(no error)";
}

// A plain movie with its length field set to its size.
std::string Plain(const std::vector<std::string>& body) {
  std::string movie = "FWS" + std::string(1, 10) + U32(0) + MovieHeaderRest();
  for (const std::string& part : body)
    movie += part;
  movie.replace(4, 4, U32(static_cast<uint32_t>(movie.size())));
  return movie;
}

TEST(MovieReaderTest, TruncatedMoviesFailAtEveryCut) {
  Strings tags;
  for (const TMovieRow& row : Rows())
    if (row.Version == 10) tags.insert(tags.end(), row.Tags.begin(), row.Tags.end());
  const std::string plain = Movie(TMovieKind::mkPlain, tags);
  ASSERT_EQ(ErrorOf(plain), "(no error)");
  for (size_t cut = 0; cut < plain.size(); ++cut) {
    const std::string expected =
        cut < 8 ? "not a Flash movie" : "movie truncated at byte " + std::to_string(cut);
    ASSERT_EQ(ErrorOf(plain.substr(0, cut)), expected) << cut;
  }
  for (const TMovieKind kind : {TMovieKind::mkZlib, TMovieKind::mkLzma}) {
    const std::string packed = PackMovie(kind, plain);
    const size_t dataStart = kind == TMovieKind::mkZlib ? 8 : 17;
    // The last bytes hold the check value or end mark, without which the movie is complete.
    for (size_t cut = dataStart; cut + 16 < packed.size(); cut += 7)
      ASSERT_EQ(ErrorOf(packed.substr(0, cut)).rfind("movie truncated at byte ", 0), 0u) << cut;
  }
}

TEST(MovieReaderTest, LengthsPastTheirEndFail) {
  const std::string doAction = DoActionTag(TActionWriter().PushString("a.swf"));
  const std::string header = Plain({});
  const auto end = [&header](const std::string& tag) {
    return "movie truncated at byte " + std::to_string(header.size() + tag.size());
  };
  struct Row {
    const char* Name;
    std::string Tag;
    std::string Expected;
  };
  const std::string longTag = U16(12 << 6 | 0x3F) + U32(1000) + "\x96";
  const std::string pastTag = Tag(12, std::string(1, '\x96') + U16(200) + "ab");
  const std::string pastPool =
      Tag(12, std::string(1, '\x88') + U16(9) + U16(3) + "a.swf" + std::string(1, 0) + "b");
  const std::string pastAbc = Tag(72, U32(0) + "\x01\x01\x01\x02\x5a" + "short");
  const std::string pastSprite = Tag(39, U16(1) + U16(1) + U16(12 << 6 | 30) + "abc");
  const std::string pastClip =
      Tag(26, std::string(1, '\x80') + U16(1) + U16(0) + U32(1) + U32(1) + U32(99) + "x");
  const std::string pastButton = Tag(34, U16(1) + std::string(1, 0) + U16(40) + "xyz");
  const std::string pastBinary =
      Tag(87, U16(1) + U32(0) + "FWS" + std::string(1, 9) + U32(500) + "xx");
  const Row rows[] = {
      {"tag longer than the movie", longTag,
       "movie truncated at byte " +
           std::to_string(header.size() + longTag.size() + doAction.size())},
      {"action record past its tag", pastTag, end(pastTag)},
      {"constant pool past its record", pastPool, end(pastPool)},
      {"string constant past the byte code", pastAbc, end(pastAbc)},
      {"tag past its sprite", pastSprite, end(pastSprite)},
      {"clip action record past its tag", pastClip, end(pastClip)},
      {"button action offset past its tag", pastButton, end(pastButton)},
      {"nested movie shorter than its header says", pastBinary, "movie truncated at byte 10"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ErrorOf(Plain({row.Tag, doAction})), row.Expected) << row.Name;
  }
  EXPECT_EQ(ErrorOf("GIF89a\x01\x00\x01\x00"), "not a Flash movie");
  EXPECT_EQ(ErrorOf("FWS"), "not a Flash movie");
  EXPECT_EQ(ErrorOf("FWS\x0a\x04\x00\x00\x00"), "not a Flash movie");
}

TEST(MovieReaderTest, CorruptOrOversizedContainersFail) {
  const std::string body = Plain({}).substr(8);
  const std::string header = std::string(1, 10) + U32(static_cast<uint32_t>(body.size() + 8));
  EXPECT_EQ(ErrorOf("CWS" + header + "\x78\x9c\xff\xff\xff\xff garbage"), "zlib data corrupt");
  const std::string lzma = LzmaBytes(body);
  EXPECT_EQ(ErrorOf("ZWS" + header + U32(20) + lzma.substr(0, 5) + "\xff\xff\xff\xff\xff\xff"),
            "LZMA data corrupt");
  EXPECT_EQ(ErrorOf("ZWS" + header + U32(20) + std::string(5, '\xff') + lzma.substr(5)),
            "LZMA data corrupt");
  // A small file that claims 4 GiB is refused before anything is unpacked.
  EXPECT_EQ(ErrorOf("ZWS" + std::string(1, 10) + U32(0xFFFFFFFF) + U32(20) + lzma),
            "movie too large: its header claims 4294967295 bytes, at most 268435456 are read");
  EXPECT_EQ(ErrorOf("CWS" + std::string(1, 10) + U32(kMaxMovieSize + 1) + ZlibBytes(body)),
            "movie too large: its header claims 268435457 bytes, at most 268435456 are read");
}

TEST(MovieReaderTest, ABombStopsAtTheHeadersLength) {
  // 64 MiB of zeros packed into about 64 KiB, behind a header that claims 1 MiB: the reader
  // unpacks 1 MiB, whose zero bytes read as an end tag.
  const std::string bomb = ZlibBytes(std::string(64u << 20, '\0'));
  const std::string header = "CWS" + std::string(1, 10) + U32(1u << 20);
  EXPECT_EQ(MovieAddresses(header + bomb), Strings{});
  const TMovieContainer container(header + bomb);
  EXPECT_EQ(container.Movie().size(), 1u << 20);
}

TEST(MovieReaderTest, NestingDeeperThanTheBoundFails) {
  std::string movie = InnerMovie(TMovieKind::mkZlib, "deep.swf");
  for (int level = 1; level <= kMaxMovieNesting; ++level)
    movie = Movie(TMovieKind::mkZlib, {BinaryDataTag(1, movie)});
  EXPECT_EQ(MovieAddresses(movie), Strings{"deep.swf"});
  EXPECT_EQ(ErrorOf(Movie(TMovieKind::mkPlain, {BinaryDataTag(1, movie)})),
            "movies nested deeper than 4 levels");

  std::string sprite = DoActionTag(TActionWriter().PushString("sprite.swf"));
  for (int level = 1; level <= kMaxSpriteNesting; ++level)
    sprite = SpriteTag(1, {sprite});
  EXPECT_EQ(MovieAddresses(Movie(TMovieKind::mkPlain, {sprite})), Strings{"sprite.swf"});
  EXPECT_EQ(ErrorOf(Movie(TMovieKind::mkPlain, {SpriteTag(1, {sprite})})),
            "sprites nested deeper than 16 levels");
}

}  // namespace

namespace {

TEST(MovieReaderTest, AMovieOfTooManyAddressesKeepsTheFirstOnes) {
  TActionWriter actions;
  for (int i = 0; i < 25000; ++i)
    actions.PushString("f" + std::to_string(i) + ".swf");
  const std::vector<std::string> found =
      MovieAddresses(Movie(TMovieKind::mkZlib, {Tag(12, actions.Bytes(), true)}));
  ASSERT_EQ(found.size(), 20000u);
  EXPECT_EQ(found.front(), "f0.swf");
  EXPECT_EQ(found.back(), "f19999.swf");
}

}  // namespace

namespace {

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

// Runs `work` in a child, which starts with what this process holds, so that the peaks of
// earlier tests do not count: whether it succeeded, and how much more memory than this process
// holds now it took at its peak.
struct TChildRun {
  bool Succeeded = false;
  long PeakGrowthKiB = 0;
};

TChildRun RunInChild(const std::function<bool()>& work) {
  const long before = ResidentKiB();
  const pid_t child = fork();
  if (child == 0) _exit(work() ? 0 : 1);
  int status = 0;
  rusage usage{};
  const bool waited = wait4(child, &status, 0, &usage) == child;
  return {waited && WIFEXITED(status) && WEXITSTATUS(status) == 0, usage.ru_maxrss - before};
}

TEST(MovieReaderTest, ActionsThatRepeatAValueKeepTheStackBounded) {
  constexpr uint8_t acPushDuplicate = 0x4C;
  struct Row {
    const char* Name;
    size_t Repeats;
  };
  // Four million duplicates of one string would take over 128 MiB if each were kept.
  const Row rows[] = {{"a few", 10}, {"past the tracked depth", 5000}, {"millions", 4u << 20}};
  for (const Row& row : rows) {
    std::string actions = TActionWriter().PushString("dup/a.swf").Bytes();
    actions.pop_back();  // the end action
    actions += std::string(row.Repeats, static_cast<char>(acPushDuplicate));
    actions += TActionWriter().Simple(acSetVariable).Bytes();
    const std::string movie = Movie(TMovieKind::mkPlain, {Tag(12, actions, true)});
    const TChildRun run =
        RunInChild([&movie] { return MovieAddresses(movie) == Strings{"dup/a.swf"}; });
    EXPECT_TRUE(run.Succeeded) << row.Name;
    EXPECT_LT(run.PeakGrowthKiB, 32 << 10) << row.Name;
  }
}

// Each address says where it came from; the pages the movie opens come only when asked for.
TEST(MovieReaderTest, ReferencesNameWhereTheyCameFrom) {
  const std::string movie =
      Movie(TMovieKind::mkPlain,
            {LoadingAbcTag(), DoActionTag(LoadingActions()), ImportAssetsTag("library.swf"),
             BinaryDataTag(9, InnerMovie(TMovieKind::mkPlain, "inner.swf"))});
  std::vector<std::string> shown;
  for (const TMovieReference& reference : MovieReferences(movie, true))
    shown.push_back(reference.Address + " | " + ReferenceSourceName(reference.Source) +
                    (reference.Navigation ? " | page" : "") +
                    (reference.InBinaryMovie ? " | binary movie" : ""));
  const Strings expected = {
      "config/settings.xml | slot value (shape)",
      "utf8 | AVM2 URLRequest",
      "Shift Jis.txt | AVM2 URLRequest",
      "variables | AVM2 URLRequest.url",
      "video/intro | AVM2 NetStream.play",
      "http://example.com/crossdomain.xml | AVM2 Security.loadPolicyFile",
      "levels/1.xml | AVM2 URLRequest",
      "http://example.com/more.html | AVM2 navigateToURL | page",
      "sounds/a.mp3 | pushstring (shape)",
      "settings | AVM2 URLRequest",
      "music | AVM2 URLRequest",
      "intro | AVM1 loadMovieNum",
      "levels/2.swf | AVM1 loadMovie",
      "videos/intro | AVM1 play",
      "library.swf | ImportAssets",
      "inner.swf | AVM1 loadMovieNum | binary movie",
  };
  EXPECT_EQ(shown, expected);
  // Without pages, the same files.
  EXPECT_EQ(MovieReferences(movie, false).size(), expected.size() - 1);
}

}  // namespace
