#include "uri/uri.h"

#include <gtest/gtest.h>

#include <chrono>

#include "base/lead_bytes.h"
#include "base/net_exceptions.h"

namespace {

class NetURITest : public ::testing::Test {
 protected:
  void TearDown() override { SelectLeadBytesForCodeSet("UTF-8"); }
};

struct Parsed {
  std::string scheme, user, password, host, port, directory, document, query, fragment;
};

void ExpectParts(const TNetURI& uri, const Parsed& p, const std::string& label) {
  EXPECT_EQ(uri.Scheme, p.scheme) << label;
  EXPECT_EQ(uri.AuthUser, p.user) << label;
  EXPECT_EQ(uri.AuthPassword, p.password) << label;
  EXPECT_EQ(uri.HostName, p.host) << label;
  EXPECT_EQ(uri.PortText, p.port) << label;
  EXPECT_EQ(uri.Directory, p.directory) << label;
  EXPECT_EQ(uri.DocumentName, p.document) << label;
  EXPECT_EQ(uri.QueryText, p.query) << label;
  EXPECT_EQ(uri.Fragment, p.fragment) << label;
}

struct ParseCase {
  std::string address;
  Parsed parts;
};

TEST_F(NetURITest, ParseTable) {
  const ParseCase cases[] = {
      {"http://h/dir/page.html?x=1#frag",
       {"http", "", "", "h", "", "/dir/", "page.html", "?x=1", "frag"}},
      {"http://h", {"http", "", "", "h", "", "/", "", "", ""}},
      {"http://user:pw@h:8080/x", {"http", "user", "pw", "h", "8080", "/", "x", "", ""}},
      {"http://:pw@h/", {"http", "", "", "h", "", "/", "", "", ""}},
      {"http://user@h/", {"http", "user", "", "h", "", "/", "", "", ""}},
      {"http://h/a=b/c", {"http", "", "", "h", "", "/", "a", "=b/c", ""}},
      {"http://h/a?b/c", {"http", "", "", "h", "", "/", "a", "?b/c", ""}},
      {"http://h/a/b.html#top", {"http", "", "", "h", "", "/a/", "b.html", "", "top"}},
      {"http://h/a?x#y/z", {"http", "", "", "h", "", "/", "a", "?x", "y/z"}},
      {"http://h:80:90/x", {"http", "", "", "h", "80:90", "/", "x", "", ""}},
      {"HTTP://h/", {"HTTP", "", "", "h", "", "/", "", "", ""}},
      {"http://", {"http", "", "", "", "", "/", "", "", ""}},
      {"://h/x", {"", "", "", "h", "", "/", "x", "", ""}},
      {"http://h/a b/\xB0\xA1.swf", {"http", "", "", "h", "", "/a b/", "\xB0\xA1.swf", "", ""}},
      {"page.html#top", {"", "", "", "", "", "", "page.html#top", "", ""}},
      {"h/page", {"", "", "", "", "", "h/", "page", "", ""}},
      {"dir/page.html?x=1#frag", {"", "", "", "", "", "dir/", "page.html", "?x=1", "frag"}},
      {"plain", {"", "", "", "", "", "", "plain", "", ""}},
      {"/", {"", "", "", "", "", "/", "", "", ""}},
      {"?", {"", "", "", "", "", "", "", "?", ""}},
      {"", {"", "", "", "", "", "", "", "", ""}},
      {"http:\\\\h\\dir\\f.swf", {"http", "", "", "h", "", "/dir/", "f.swf", "", ""}},
      {"%41%2F?a%20b", {"", "", "", "", "", "", "%41%2F", "?a%20b", ""}},
  };
  for (const ParseCase& c : cases) {
    TNetURI uri(c.address);
    ExpectParts(uri, c.parts, c.address);
  }
  EXPECT_EQ(TNetURI("http:\\\\h\\dir\\f.swf").FullText, "http://h/dir/f.swf");
}

TEST_F(NetURITest, ParseReplacesEveryField) {
  TNetURI uri("http://user:pw@h:81/d/p?q#f");
  uri.ParseAddress("x");
  ExpectParts(uri, {"", "", "", "", "", "", "x", "", ""}, "x");
  EXPECT_EQ(uri.FullText, "x");
  uri.ParseAddress("");
  ExpectParts(uri, {}, "empty");
  EXPECT_EQ(uri.FullText, "");
}

TEST_F(NetURITest, DoubleByteCharactersSurviveParsing) {
  // 0x81 0x5C: a GBK character whose second byte is a backslash; 0x81 0x2F: one whose second
  // byte is a slash.
  SelectLeadBytesForCodeSet("GBK");
  TNetURI uri("http:\\\\h\\\x81\x5c\\f.swf");
  EXPECT_EQ(uri.FullText, "http://h/\x81\x5c/f.swf");
  ExpectParts(uri, {"http", "", "", "h", "", "/\x81\x5c/", "f.swf", "", ""}, "gbk 5c");

  uri.ParseAddress("http://h/d/\x81/x.swf");
  ExpectParts(uri, {"http", "", "", "h", "", "/d/", "\x81/x.swf", "", ""}, "gbk 2f");
  uri.ParseAddress("http://\x81/h/x");
  EXPECT_EQ(uri.HostName, "\x81/h");
  EXPECT_EQ(uri.DocumentName, "x");
  uri.ParseAddress("d/\x81/x?a\x81?b");
  ExpectParts(uri, {"", "", "", "", "", "d/", "\x81/x", "?a\x81?b", ""}, "gbk relative");
  // A lead byte at the very end has no second byte: nothing may be read past the text.
  uri.ParseAddress("http://h/a\\\x81");
  EXPECT_EQ(uri.FullText, "http://h/a/\x81");
  EXPECT_EQ(uri.DocumentName, "\x81");

  SelectLeadBytesForCodeSet("UTF-8");
  uri.ParseAddress("http:\\\\h\\\x81\x5c\\f.swf");
  EXPECT_EQ(uri.FullText, "http://h/\x81//f.swf");
  uri.ParseAddress("http://h/d/\x81/x.swf");
  ExpectParts(uri, {"http", "", "", "h", "", "/d/\x81/", "x.swf", "", ""}, "single 2f");
}

TEST_F(NetURITest, ComposeGivesTheAddressBack) {
  using F = TNetURIOptionalField;
  const std::string full = "http://user:pw@h:8080/dir/page.html?x=1#frag";
  TNetURI uri(full);
  EXPECT_EQ(uri.ComposeAddress({F::ofUserInfo, F::ofFragment}), full);
  EXPECT_EQ(uri.ComposeAddress({}), "http://h:8080/dir/page.html?x=1");
  EXPECT_EQ(uri.ComposeAddress({F::ofFragment}), "http://h:8080/dir/page.html?x=1#frag");
  EXPECT_EQ(uri.ComposeAddress({F::ofUserInfo}), "http://user:pw@h:8080/dir/page.html?x=1");

  uri.ParseAddress("http://user@h/");
  EXPECT_EQ(uri.ComposeAddress({F::ofUserInfo}), "http://user@h/");
  // A password without a user is never written.
  uri.AuthUser.clear();
  uri.AuthPassword = "pw";
  EXPECT_EQ(uri.ComposeAddress({F::ofUserInfo}), "http://h/");
}

TEST_F(NetURITest, ComposeRequestAddressKeepsTheFullForm) {
  TNetURI uri("http://h/dir/page.html?x=1#frag");
  uri.PortText = "80";
  uri.AuthUser = "u";
  EXPECT_EQ(uri.ComposeRequestAddress(), "http://h:80/dir/page.html?x=1");
  EXPECT_EQ(uri.FullText, "http://u@h:80/dir/page.html?x=1#frag");
}

TEST_F(NetURITest, ComposeRaisesWithoutSchemeOrHost) {
  const auto messageOf = [](TNetURI& uri) -> std::string {
    try {
      uri.ComposeRequestAddress();
    } catch (const ENetURIException& e) {
      EXPECT_STREQ(e.ClassName(), "ENetURIException");
      return e.Message();
    }
    return "no error";
  };
  TNetURI neither;
  EXPECT_EQ(messageOf(neither), "Protocol field is empty");
  TNetURI noHost("http://");
  EXPECT_EQ(messageOf(noHost), "Host field is empty");
  EXPECT_EQ(noHost.FullText, "http://");  // nothing half-composed is kept
  TNetURI relative("h/page");
  EXPECT_EQ(messageOf(relative), "Protocol field is empty");
  EXPECT_THROW(relative.ComposeAddress({}), ENetException);
}

struct MergeCase {
  std::string base, newPath, expected;
};

TEST_F(NetURITest, MergePathTable) {
  const MergeCase cases[] = {
      {"/a/b/", "c/d.html", "/a/b/c/d.html"},
      {"/a/b/", "../c/", "/a/c/"},
      {"/a/b/", "/x/", "/x/"},
      {"/a", "", "/a/"},
      {"/a/", "..", "/"},
      {"/", "..", ""},
      {"/", "../x", "/x"},
      {"/a/", "./b", "/a/./b"},
      {"/a/b/", "../../../x", "/x"},
      {"/a//b/", "c", "/a/b/c"},
      {"/a/b", "c/", "/a/b/c/"},
      {"a", "b", "a/b"},
      {"", "a/b", "a/b"},
      {"", "", ""},
      {"/", "", "/"},
      {"/a/b/", "x.y/.z", "/a/b/x.y/.z"},
      {"/a/b/", "c//d", "/a/b/c/d"},
  };
  for (const MergeCase& c : cases) {
    EXPECT_EQ(MergePath(c.base, c.newPath, "/"), c.expected) << c.base << " + " << c.newPath;
  }
  EXPECT_EQ(MergePath("a\\b", "..\\c", "\\"), "a\\c");
  EXPECT_EQ(MergePath("/a/", "b", ""), "/a/b");
}

TEST_F(NetURITest, MergePathTreatsDoubleByteCharactersWhole) {
  SelectLeadBytesForCodeSet("GBK");
  // "\x81/" is one character, not a segment followed by a delimiter.
  EXPECT_EQ(MergePath("/\x81/", "x", "/"), "/\x81//x");
  EXPECT_EQ(MergePath("/d/", "\x81/../x", "/"), "/d/\x81/../x");
  EXPECT_EQ(MergePath("/d/\x81/e/", "../x", "/"), "/d/x");
  SelectLeadBytesForCodeSet("UTF-8");
  EXPECT_EQ(MergePath("/d/\x81/e/", "../x", "/"), "/d/\x81/x");
  EXPECT_EQ(MergePath("/\x81/", "x", "/"), "/\x81/x");
  EXPECT_EQ(MergePath("/d/", "\x81/../x", "/"), "/d/x");
}

TEST_F(NetURITest, MegabyteAddressesAreLinear) {
  std::string path;
  int segments = 0;
  for (; path.size() < (1 << 20); ++segments)
    path += "seg" + std::to_string(segments % 10) + "/";
  const std::string address = "http://user:pw@h:81/" + path + "doc.swf?" + path + "#" + path;
  std::string climb;
  for (int i = 0; i < segments + 10; ++i)
    climb += "../";
  climb += "x";

  // Whole-value comparisons with EXPECT_TRUE keep a megabyte out of the failure report.
  for (const char* codeSet : {"UTF-8", "GBK"}) {
    SelectLeadBytesForCodeSet(codeSet);
    const auto started = std::chrono::steady_clock::now();
    TNetURI uri(address);
    EXPECT_TRUE(uri.Directory == "/" + path) << codeSet;
    EXPECT_EQ(uri.DocumentName, "doc.swf");
    EXPECT_TRUE(uri.QueryText == "?" + path);
    EXPECT_TRUE(uri.Fragment == path);
    EXPECT_TRUE(uri.ComposeAddress({TNetURIOptionalField::ofUserInfo,
                                    TNetURIOptionalField::ofFragment}) == address);
    EXPECT_TRUE(MergePath("/" + path, path, "/") == "/" + path + path);
    EXPECT_EQ(MergePath("/" + path, climb, "/"), "/x");
    const auto elapsed = std::chrono::steady_clock::now() - started;
    // Quadratic work over a megabyte would take minutes.
    EXPECT_LT(elapsed, std::chrono::seconds(5)) << codeSet;
  }
}

}  // namespace
