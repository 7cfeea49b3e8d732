#include "page/page_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "page/listing_observer.h"

namespace {

constexpr char kPage[] = "http://games.example/portal/play.html";
constexpr char kSecurePage[] = "https://games.example/portal/play.html";
constexpr char kCapture[] =
    "http://archive.example/web/20090315000000/http://games.example/p/play.html";

struct TReaderCase {
  const char* Name;
  std::string Fragment;
  const char* Page;
  std::vector<std::string> Entries;
};

const std::vector<TReaderCase>& Cases() {
  static const std::vector<TReaderCase> cases = {
      {"embed src",
       "<embed src=\"game.swf\" width=\"400\">",
       kPage,
       {"http://games.example/portal/game.swf"}},
      {"unquoted and upper case",
       "<EMBED SRC=Intro.SWF>",
       kPage,
       {"http://games.example/portal/Intro.SWF"}},
      {"object data",
       "<object data='/flash/intro.swf' width=1></object>",
       kPage,
       {"http://games.example/flash/intro.swf"}},
      {"param movie",
       "<object><param name=\"Movie\" value=\"../swf/game.swf\"></object>",
       kPage,
       {"http://games.example/swf/game.swf"}},
      {"param src",
       "<param name=\"SRC\" value=\"//cdn.example/g.swf\">",
       kPage,
       {"http://cdn.example/g.swf"}},
      {"protocol-relative on https",
       "<embed src=\"//cdn.example/g.swf\">",
       kSecurePage,
       {"https://cdn.example/g.swf"}},
      {"flash type without .swf",
       "<embed type=\"application/x-shockwave-flash\" src=\"player.php?id=3\">",
       kPage,
       {"http://games.example/portal/player.php?id=3"}},
      {"futuresplash and adobe types",
       "<object type=\"application/futuresplash\" data=\"a.spl\"></object>"
       "<object type=\"application/vnd.adobe.flash.movie; v=1\" data=\"b.php\"></object>",
       kPage,
       {"http://games.example/portal/a.spl", "http://games.example/portal/b.php"}},
      {"classid object and its param",
       "<object classid=\"clsid:D27CDB6E-AE6D-11cf-96B8-444553540000\">"
       "<param name=\"movie\" value=\"loader.php?g=7\"></object>"
       "<param name=\"movie\" value=\"after.php\">",
       kPage,
       {"http://games.example/portal/loader.php?g=7"}},
      {"custom element",
       "<flash-player type=\"application/x-shockwave-flash\" src=\"m.cgi\">",
       kPage,
       {"http://games.example/portal/m.cgi"}},
      {"conditional comments",
       "<!--[if IE]><object><param name=\"movie\" value=\"ie.swf\"></object><![endif]-->"
       "<!--[if !IE]>--><object data=\"other.swf\"></object><!--<![endif]-->",
       kPage,
       {"http://games.example/portal/ie.swf", "http://games.example/portal/other.swf"}},
      {"plain comment",
       "<!-- <embed src=\"old.swf\"> --><!--><embed src=\"new.swf\">",
       kPage,
       {"http://games.example/portal/new.swf"}},
      {"swfobject.embedSWF",
       "<script>swfobject.embedSWF(\"main.php?x=1\", \"box\", 550, 400, \"9\");</script>",
       kPage,
       {"http://games.example/portal/main.php?x=1"}},
      {"new SWFObject and FlashObject",
       "<script>var so = new SWFObject('a/one.swf', 'x'); var fo = new FlashObject(\n"
       "  \"two.php\", \"y\");</script>",
       kPage,
       {"http://games.example/portal/a/one.swf", "http://games.example/portal/two.php"}},
      {"AC_FL_RunContent",
       "<script>AC_FL_RunContent('codebase','http://download.example/cabs/flash/swflash.cab',"
       "'width','550','src','intro','movie','intro?lang=en');</script>",
       kPage,
       {"http://games.example/portal/intro.swf?lang=en"}},
      {"AC_RunFlContent",
       "<script>AC_RunFlContent(\"src\", \"/swf/menu\")</script>",
       kPage,
       {"http://games.example/swf/menu.swf"}},
      {"quoted in script and text",
       "<script>var m = \"levels/l1.swf?level=2\";</script><p>see 'http://o.example/x.SWF'</p>",
       kPage,
       {"http://games.example/portal/levels/l1.swf?level=2", "http://o.example/x.SWF"}},
      {"JSON-escaped slashes",
       "<script>var c = {\"swf\":\"http:\\/\\/c.example\\/v\\/p.swf\"};</script>"
       "<div data-c='{\"m\":\"http:\\/\\/d.example\\/q.swf\"}'></div>",
       kPage,
       {"http://c.example/v/p.swf", "http://d.example/q.swf"}},
      {"meta content and iframe src",
       "<meta property=\"og:video\" content=\"http://m.example/v.swf\"><iframe "
       "src=\"frame.swf\"></iframe>",
       kPage,
       {"http://m.example/v.swf", "http://games.example/portal/frame.swf"}},
      {"base href",
       "<base href=\"http://static.example/flash/\"><embed src=\"g.swf\">",
       kPage,
       {"http://static.example/flash/g.swf"}},
      {"base href after the reference",
       "<embed src=\"g.swf\"><base href=\"/other/\">",
       kPage,
       {"http://games.example/other/g.swf"}},
      {"entities, fragment, two queries",
       "<embed src=\"g.swf?a=1&amp;b=2#top\"><embed src=\"g.swf?a=2\"><embed src=\"g.swf#x\">",
       kPage,
       {"http://games.example/portal/g.swf?a=1&b=2", "http://games.example/portal/g.swf?a=2",
        "http://games.example/portal/g.swf"}},
      {"merged quotes",
       "<script>var p = ['http://a.example/x.swf','http://b.example/y.swf'];</script>",
       kPage,
       {"http://a.example/x.swf", "http://b.example/y.swf"}},
      {"query ending in .swf",
       "<param value=\"http://h.example/play.php?file=red.swf\">",
       kPage,
       {"http://h.example/play.php?file=red.swf"}},
      {"document.write of an embed",
       "<script>document.write('<embed src=\"written.swf\">');</script>",
       kPage,
       {"http://games.example/portal/written.swf"}},
      {"decoys",
       "<embed src=\"http://www.youtube.com/v/abc&hl=en\" type=\"application/x-shockwave-flash\">"
       "<object type=\"application/x-shockwave-flash\" data=\"https://vimeo.com/moogaloop\">"
       "</object><embed src=\"doc.pdf\" type=\"application/pdf\"><img src=\"a.gif\">"
       "<video src=\"clip.mp4\"></video><embed src=\"movie.flv\"><a href=\"javascript:x('a.gif')\">"
       "</a><param name=\"flashvars\" value=\"skin=skin.swf&amp;f=1\">"
       "<p title=\"Play the game.swf\">\"see my game.swf\" \"http://s.example/a.swfx\"</p>"
       "<script>alert('Cannot load game.swf');</script>",
       kPage,
       {}},
      {"blanks inside addresses",
       "<embed src=\"games/my game.swf\"><object><param name=\"movie\" value=\"games/my "
       "game.swf\"></object><script>swfobject.embedSWF(\"games/other game.swf\", \"b\");"
       "var m = \"levels/level one.swf\";</script><p>\"http://s.example/my movie.swf\"</p>"
       "<embed src=\"games/my%20game.swf\"><embed src=\"a\tb\n.swf\">",
       kPage,
       {"http://games.example/portal/games/my%20game.swf",
        "http://games.example/portal/games/other%20game.swf",
        "http://games.example/portal/levels/level%20one.swf", "http://s.example/my%20movie.swf",
        "http://games.example/portal/ab.swf"}},
      // Two files on the server, unless only the site's name differs.
      {"names that differ in case",
       "<embed src=\"games/tetris.swf\"><embed src=\"games/Tetris.swf\">"
       "<embed src=\"HTTP://Games.Example/portal/games/tetris.swf\">",
       kPage,
       {"http://games.example/portal/games/tetris.swf",
        "http://games.example/portal/games/Tetris.swf"}},
      // 游戏/连连看 in each encoding: the path goes as UTF-8, the query in the page's own.
      {"GBK declared by meta",
       "<meta charset=\"gb2312\"><embed src=\"games/\xD3\xCE\xCF\xB7/\xC1\xAC\xC1\xAC\xBF\xB4.swf"
       "?n=\xC1\xAC\">",
       kPage,
       {"http://games.example/portal/games/%E6%B8%B8%E6%88%8F/%E8%BF%9E%E8%BF%9E%E7%9C%8B.swf"
        "?n=%C1%AC"}},
      {"Big5 declared by http-equiv",
       "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=big5\">"
       "<embed src=\"\xB9\x43\xC0\xB8/\xB3\x73\xB3\x73\xAC\xDD.swf\">",
       kPage,
       {"http://games.example/portal/%E9%81%8A%E6%88%B2/%E9%80%A3%E9%80%A3%E7%9C%8B.swf"}},
      {"Shift_JIS with a trail byte that is a backslash",
       "<meta charset=\"shift_jis\"><embed src=\"\x83\x5C\x83\x74\x83\x67.swf\">",
       kPage,
       {"http://games.example/portal/%E3%82%BD%E3%83%95%E3%83%88.swf"}},
      {"UTF-8 without a declaration",
       "<embed src=\"\xE6\xB8\xB8\xE6\x88\x8F.swf?n=\xE8\xBF\x9E\">",
       kPage,
       {"http://games.example/portal/%E6%B8%B8%E6%88%8F.swf?n=%E8%BF%9E"}},
      {"no declaration and not UTF-8: the fallback (GBK in the C locale)",
       "<embed src=\"\xC1\xAC\xC1\xAC\xBF\xB4.swf\">",
       kPage,
       {"http://games.example/portal/%E8%BF%9E%E8%BF%9E%E7%9C%8B.swf"}},
      {"a declaration after the address",
       "<embed src=\"\xE9.swf\"><meta charset=\"windows-1252\"><meta charset=\"gbk\">",
       kPage,
       {"http://games.example/portal/%C3%A9.swf"}},
      {"commented-out script",
       "<script>\n// so.embedSWF(\"line.swf\");\n/* var x = 'block.swf';\n */ var y = 1 / 2;\n"
       "</script>",
       kPage,
       {}},
      {"old browsers' comment around a script",
       "<script><!--\nswfobject.embedSWF('hidden.swf', 'a');\n//--></script>",
       kPage,
       {"http://games.example/portal/hidden.swf"}},
      {"web archive capture",
       "<embed src=\"game.swf\"><embed src=\"/flash/intro.swf\">"
       "<embed src=\"http://cdn.example/c.swf\">"
       "<embed src=\"/web/20080101000000/http://old.example/o.swf\">",
       kCapture,
       {"http://archive.example/web/20090315000000/http://games.example/p/game.swf",
        "http://archive.example/web/20090315000000/http://games.example/flash/intro.swf",
        "http://archive.example/web/20090315000000/http://cdn.example/c.swf",
        "http://archive.example/web/20080101000000/http://old.example/o.swf"}},
  };
  return cases;
}

std::vector<std::string> ReadWhole(const std::string& text, const char* page) {
  TPageReader reader(page);
  reader.Feed(text);
  return reader.Finish();
}

TEST(PageReader, FindsEveryFormAndNoDecoy) {
  for (const TReaderCase& c : Cases())
    EXPECT_EQ(ReadWhole(c.Fragment, c.Page), c.Entries) << c.Name;
}

TEST(PageReader, APageCutAtAnyOffsetGivesTheSameEntries) {
  // Behind a long prefix too, so that what was read is let go while the rest arrives.
  const std::string prefix = "<p>" + std::string(3 * TPageReader::kMaxAddress, 'x') + "</p>\n";
  // And followed by more text, so that the fragment is not read as the end of what is at hand.
  const std::string suffix = "\n<p>" + std::string(500, 'y') + "</p>";
  for (const TReaderCase& c : Cases()) {
    for (const std::string& text :
         {c.Fragment, prefix + c.Fragment, prefix + c.Fragment + suffix}) {
      const size_t from = text.compare(0, prefix.size(), prefix) == 0 ? prefix.size() : 0;
      for (size_t cut = from; cut <= from + c.Fragment.size(); ++cut) {
        TPageReader reader(c.Page);
        reader.Feed(std::string_view(text).substr(0, cut));
        // The rest handed over in place, behind room for what the reader keeps.
        const size_t room = 2 * TPageReader::kMaxAddress;
        std::string piece = std::string(room, '?') + text.substr(cut);
        reader.Feed(piece, room);
        EXPECT_EQ(reader.Finish(), c.Entries) << c.Name << ", cut at " << cut;
      }
    }
    TPageReader bytes(c.Page);
    for (const char b : c.Fragment)
      bytes.Feed(std::string_view(&b, 1));
    EXPECT_EQ(bytes.Finish(), c.Entries) << c.Name << ", byte by byte";
  }
}

TEST(PageReader, FramesThatShowPagesAreKeptApartFromMovies) {
  TPageReader reader(kPage);
  reader.Feed(
      "<frameset><frame src=\"menu.html\"><frame src=\"/top/main.php?id=1#x\"></frameset>"
      "<iframe src=\"game.swf\"></iframe><iframe src=\"about:blank\"></iframe>"
      "<iframe src=\"javascript:void(0)\"></iframe><IFRAME SRC=\"menu.html\"></IFRAME>"
      "<iframe src=\"\xE6\xB8\xB8 1.html\"></iframe><iframe src=\"play.html\"></iframe>"
      "<iframe src=\"game.html\"></iframe>");
  EXPECT_EQ(reader.Finish(), std::vector<std::string>{"http://games.example/portal/game.swf"});
  EXPECT_EQ(reader.Frames(),
            (std::vector<std::string>{"http://games.example/portal/menu.html",
                                      "http://games.example/top/main.php?id=1",
                                      "http://games.example/portal/%E6%B8%B8%201.html",
                                      "http://games.example/portal/game.html"}));
  // Not the page itself, at most kMaxFrames of them, and none of a page read before.
  std::string many;
  for (size_t i = 0; i < TPageReader::kMaxFrames + 5; ++i)
    many += "<iframe src=\"f" + std::to_string(i) + ".html\"></iframe>";
  reader.Feed(many);
  reader.Finish();
  EXPECT_EQ(reader.Frames().size(), TPageReader::kMaxFrames);
  EXPECT_EQ(reader.Frames().front(), "http://games.example/portal/f0.html");
}

TEST(PageReader, TheResponsesCharsetHoldsOverThePagesOwn) {
  const std::string page = "<meta charset=\"big5\"><embed src=\"\xC1\xAC.swf\">";
  const struct {
    const char* HttpCharset;
    const char* Entry;
  } rows[] = {
      {"", "http://games.example/portal/%E8%9F%80.swf"},     // Big5, as the page says
      {"GBK", "http://games.example/portal/%E8%BF%9E.swf"},  // the response says otherwise
  };
  for (const auto& row : rows) {
    TPageReader reader(kPage);
    reader.Feed(page);
    // As the stream learns it: once the page has arrived.
    reader.SetHttpCharset(row.HttpCharset);
    EXPECT_EQ(reader.Finish(), std::vector<std::string>{row.Entry}) << row.HttpCharset;
  }
}

TEST(PageReader, AByteOrderMarkMakesThePageUtf8HoweverItArrives) {
  // Not UTF-8, so without the mark the fallback (GBK) would read it as 连.
  const std::string page = "\xEF\xBB\xBF<embed src=\"\xC1\xAC.swf\">";
  const std::vector<std::string> expected = {"http://games.example/portal/%EF%BF%BD%EF%BF%BD.swf"};
  EXPECT_EQ(ReadWhole(page, kPage), expected);
  TPageReader bytes(kPage);
  for (const char b : page)
    bytes.Feed(std::string_view(&b, 1));
  EXPECT_EQ(bytes.Finish(), expected);
}

TEST(PageReader, LongConstructsAreLetGoAndRepeatsAreListedOnce) {
  // A tag longer than the reader looks at whole does not hold the rest back.
  const std::string page = "<div title=\"" + std::string(TPageReader::kMaxTag, 'a') +
                           "\">\n<embed src=\"late.swf\"><embed src=\"late.swf\">" +
                           "<script>var s = '" + std::string(100000, 'b') +
                           "'; var t = 'tail.swf';</script><!-- unclosed";
  const std::vector<std::string> expected = {"http://games.example/portal/late.swf",
                                             "http://games.example/portal/tail.swf"};
  EXPECT_EQ(ReadWhole(page, kPage), expected);
  TPageReader pieces(kPage);
  for (size_t at = 0; at < page.size(); at += 1000)
    pieces.Feed(std::string_view(page).substr(at, 1000));
  EXPECT_EQ(pieces.Finish(), expected);
}

// Records what the reader lists, as it lists it.
struct TRecorder : TListingObserver {
  std::vector<std::string> Listed;
  void OnListed(std::string_view address) override { Listed.emplace_back(address); }
  void OnRelisted() override { Listed.clear(); }
};

TEST(PageReader, WhatIsListedFollowsTheAddressesWhateverTheyAreResolvedAgainst) {
  const struct {
    const char* Name;
    std::string Page;
    const char* Final;  // the address after redirections, or ""
    std::vector<std::string> Entries;
  } rows[] = {
      {"as found",
       "<embed src=a.swf><embed src=b.swf><embed src=a.swf>",
       "",
       {"http://games.example/portal/a.swf", "http://games.example/portal/b.swf"}},
      {"a late base",
       "<embed src=a.swf><base href=\"http://cdn.example/x/\"><embed src=b.swf>",
       "",
       {"http://cdn.example/x/a.swf", "http://cdn.example/x/b.swf"}},
      // Addresses that need no resolving keep their places among the others.
      {"absolute ones and a late base",
       "<embed src=http://x.example/a.swf><embed src=b.swf><base href=\"http://cdn.example/x/\">"
       "<embed src=http://x.example/a.swf><embed src=http://cdn.example/x/b.swf><embed src=c.swf>",
       "",
       {"http://x.example/a.swf", "http://cdn.example/x/b.swf", "http://cdn.example/x/c.swf"}},
      // Two references that become one address once resolved again.
      {"redirected",
       "<embed src=a.swf><embed src=/a.swf><embed src=b.swf>",
       "http://other.example/",
       {"http://other.example/a.swf", "http://other.example/b.swf"}},
  };
  for (const auto& row : rows) {
    TRecorder recorder;
    TPageReader reader(kPage, &recorder);
    reader.Feed(row.Page);
    const std::vector<std::string> entries = reader.Finish(row.Final);
    EXPECT_EQ(entries, row.Entries) << row.Name;
    EXPECT_EQ(recorder.Listed, row.Entries) << row.Name;
    // The reader starts again with its observer and its page address.
    recorder.Listed.clear();
    reader.Feed("<embed src=c.swf>");
    EXPECT_EQ(reader.Finish(), std::vector<std::string>{"http://games.example/portal/c.swf"});
    EXPECT_EQ(recorder.Listed, std::vector<std::string>{"http://games.example/portal/c.swf"});
  }
}

}  // namespace
