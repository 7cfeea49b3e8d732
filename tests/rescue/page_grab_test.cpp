#include "rescue/page_grab.h"

#include <gtest/gtest.h>

#include <string>

#include "base/exception.h"
#include "base/net_exceptions.h"
#include "base/string_stream.h"
#include "http/http.h"
#include "page/listing_observer.h"
#include "page/page_reader_stream.h"
#include "rescue/stored_client_settings.h"
#include "tests/support/free_port.h"
#include "tests/support/generated_bytes.h"
#include "tests/support/nginx_server.h"
#include "tests/support/recording_peer.h"

namespace {

const std::string kPageAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows 98; Maxthon)";

// The class name of the error an outcome holds.
std::string ErrorClass(const TPageFetchOutcome& outcome) {
  if (!outcome.LastError) return "";
  try {
    std::rethrow_exception(outcome.LastError);
  } catch (const Exception& e) {
    return e.ClassName();
  } catch (...) {
    return "?";
  }
}

class PageGrabTest : public testing::Test {
 protected:
  PageGrabTest() { ApplyStoredClientSettings(http_); }
  TNetHTTP http_;
};

TEST_F(PageGrabTest, AFetchedPageSetsTheRefererForTheNextRequestOnly) {
  RecordingPeer peer([](int n, const RequestHead&) {
    return PeerAnswer{HttpResponse(200, "OK", {}, "page " + std::to_string(n))};
  });
  TPageFetchOutcome outcome;
  EXPECT_EQ(GetPageHtml(http_, peer.Url("/first.html"), 3, outcome), "page 0");
  EXPECT_TRUE(outcome.Fetched);
  EXPECT_EQ(outcome.AttemptsMade, 1);
  EXPECT_FALSE(outcome.LastError);
  EXPECT_EQ(http_.Request.Referer, peer.Url("/first.html"));
  EXPECT_EQ(http_.Request.UserAgent, kPageAgent);

  EXPECT_EQ(GetPageHtml(http_, peer.Url("/second.html"), 3), "page 1");
  const auto heads = peer.Heads();
  ASSERT_EQ(heads.size(), 2u);
  EXPECT_EQ(heads[0].Header("User-Agent"), kPageAgent);
  EXPECT_EQ(heads[0].HeaderCount("Referer"), 0);
  EXPECT_EQ(heads[1].Header("Referer"), peer.Url("/first.html"));
  EXPECT_EQ(http_.Request.Referer, peer.Url("/second.html"));
}

TEST_F(PageGrabTest, FailedAttemptsAreRepeatedAndTheirPartialBodiesDropped) {
  // 1: a 500; 2: a close halfway through the declared body; 3: the page.
  RecordingPeer peer([](int n, const RequestHead&) {
    if (n == 0) return PeerAnswer{HttpResponse(500, "Internal Server Error", {}, "oops")};
    if (n == 1) return PeerAnswer{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nhalf a pa", true};
    return PeerAnswer{HttpResponse(200, "OK", {}, "the whole page")};
  });
  // Whatever the User-Agent was, each attempt sends the page agent.
  http_.Request.UserAgent = "changed";
  TPageFetchOutcome outcome;
  EXPECT_EQ(GetPageHtml(http_, peer.Url("/p.html"), 3, outcome), "the whole page");
  EXPECT_TRUE(outcome.Fetched);
  EXPECT_EQ(outcome.AttemptsMade, 3);
  const auto heads = peer.Heads();
  ASSERT_EQ(heads.size(), 3u);
  for (const RequestHead& head : heads) {
    EXPECT_EQ(head.Header("User-Agent"), kPageAgent);
    EXPECT_EQ(head.HeaderCount("Referer"), 0);  // no success yet
  }
}

TEST_F(PageGrabTest, AfterTheLastFailureTheTextIsEmptyAndTheRefererUnchanged) {
  const struct {
    const char* name;
    std::string response;
    const char* errorClass;
  } cases[] = {
      // The peer closes after each answer; saying so keeps the next attempt from being written
      // onto a connection whose close has not arrived yet, which the peer would never see.
      {"not found", HttpResponse(404, "Not Found", {"Connection: close"}, "missing"),
       "ENetHTTPProtocolException"},
      {"redirection",
       HttpResponse(302, "Found", {"Location: /elsewhere.html", "Connection: close"}, ""),
       "ENetHTTPProtocolException"},
      {"close before the head", "", "ENetConnClosedGracefully"},
  };
  for (const auto& c : cases) {
    RecordingPeer peer(AlwaysAnswer(c.response, true));
    TNetHTTP http;
    ApplyStoredClientSettings(http);
    http.Request.Referer = "http://127.0.0.1/before.html";
    TPageFetchOutcome outcome;
    EXPECT_EQ(GetPageHtml(http, peer.Url("/p.html"), 3, outcome), "") << c.name;
    EXPECT_FALSE(outcome.Fetched) << c.name;
    EXPECT_EQ(outcome.AttemptsMade, 3) << c.name;
    EXPECT_EQ(peer.RequestCount(), 3) << c.name;
    EXPECT_EQ(ErrorClass(outcome), c.errorClass) << c.name;
    EXPECT_EQ(http.Request.Referer, "http://127.0.0.1/before.html") << c.name;
  }
}

TEST_F(PageGrabTest, AnUnreachablePageGivesTheEmptyText) {
  TPageFetchOutcome outcome;
  const std::string refused = "http://127.0.0.1:" + std::to_string(FreeTcpPort()) + "/";
  EXPECT_EQ(GetPageHtml(http_, refused, 3, outcome), "");
  EXPECT_FALSE(outcome.Fetched);
  EXPECT_EQ(outcome.AttemptsMade, 3);
  EXPECT_EQ(ErrorClass(outcome), "ENetSocketError");
  // One attempt is the least.
  EXPECT_EQ(GetPageHtml(http_, refused, 0, outcome), "");
  EXPECT_EQ(outcome.AttemptsMade, 1);
  EXPECT_EQ(http_.Request.Referer, "");
}

TEST_F(PageGrabTest, ALargePageArrivesByteForByte) {
  NginxServer nginx;
  nginx.WriteGeneratedFile("big.html", 6 * 1024 * 1024 + 3);
  nginx.AddChunkedLocation("/chunked/");
  nginx.WriteFile("chunked/small.html", "in chunks\n");
  nginx.Start();
  const std::string page = GetPageHtml(http_, nginx.Url("/big.html"), 3);
  EXPECT_EQ(page.size(), 6u * 1024 * 1024 + 3);
  EXPECT_TRUE(page == GeneratedBytes(0, page.size()));
  EXPECT_EQ(GetPageHtml(http_, nginx.Url("/chunked/small.html"), 3), "in chunks\n");
}

// Records what a page reader lists, as it lists it.
struct TRecorder : TListingObserver {
  std::vector<std::string> Listed;
  int Relisted = 0;
  void OnListed(std::string_view address) override { Listed.emplace_back(address); }
  void OnRelisted() override {
    Listed.clear();
    ++Relisted;
  }
};

// The head of the page's response reaches the reader before its body: the movies are resolved
// once, against where the redirection led, in the charset the response names.
TEST_F(PageGrabTest, ThePageIsReadAgainstWhatItsHeadTells) {
  NginxServer nginx;
  nginx.AddLocation("= /start", "return 302 /games/index.html;");
  nginx.AddLocation("/games/", "charset gbk;");
  nginx.WriteFile("games/index.html", "<embed src=\"a.swf\"><embed src='\xC6\xC0.swf'>");
  nginx.Start();
  http_.HandleRedirects = true;
  TRecorder recorder;
  TPageFetchOutcome outcome;
  const auto reader = ReadPage(http_, nginx.Url("/start"), 3, outcome, &recorder);
  ASSERT_TRUE(reader) << ErrorClass(outcome);
  EXPECT_EQ(outcome.FinalAddress, nginx.Url("/games/index.html"));
  const std::vector<std::string> expected = {nginx.Url("/games/a.swf"),
                                             nginx.Url("/games/%E8%AF%84.swf")};
  EXPECT_EQ(reader->Finish(outcome.FinalAddress), expected);
  EXPECT_EQ(recorder.Listed, expected);
  EXPECT_EQ(recorder.Relisted, 1);  // the attempt's start, and no second listing
  // The client's own head handler is called as before, and is back afterwards.
  int heads = 0;
  http_.OnResponseHead = [&heads](TObject*, const std::string&, const TNetHeaderList&) { ++heads; };
  ASSERT_TRUE(ReadPage(http_, nginx.Url("/start"), 1, outcome));
  EXPECT_EQ(heads, 2);
  TStringStream body;
  http_.HttpGet(nginx.Url("/games/index.html"), body);
  EXPECT_EQ(heads, 3);
}

TEST_F(PageGrabTest, WhatAFailedAttemptListedDoesNotCount) {
  RecordingPeer peer([](int n, const RequestHead&) {
    if (n == 0)
      return PeerAnswer{"HTTP/1.1 200 OK\r\nContent-Length: 900\r\n\r\n<embed src=old.swf>", true};
    return PeerAnswer{HttpResponse(200, "OK", {}, "<embed src=new.swf>")};
  });
  TRecorder recorder;
  TPageFetchOutcome outcome;
  const auto reader = ReadPage(http_, peer.Url("/p.html"), 3, outcome, &recorder);
  ASSERT_TRUE(reader);
  EXPECT_EQ(outcome.AttemptsMade, 2);
  EXPECT_EQ(reader->Finish(), std::vector<std::string>{peer.Url("/new.swf")});
  EXPECT_EQ(recorder.Listed, std::vector<std::string>{peer.Url("/new.swf")});
  EXPECT_EQ(recorder.Relisted, 2);
  // No attempt succeeds: no reader.
  RecordingPeer refusing(
      AlwaysAnswer(HttpResponse(404, "Not Found", {"Connection: close"}, ""), true));
  EXPECT_FALSE(ReadPage(http_, refusing.Url("/p.html"), 2, outcome, &recorder));
}

}  // namespace
