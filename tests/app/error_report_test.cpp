#include "app/error_report.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "base/net_exceptions.h"
#include "tests/app/support/qt_test_main.h"

namespace {

class ErrorReportTest : public testing::Test {
 protected:
  void SetUp() override { ResetCaptures(); }
};

TEST_F(ErrorReportTest, EscapingErrorsAreShownWithTheTitleAndTheFullStopRule) {
  struct Case {
    std::function<void()> handler;
    QString text;
  } const cases[] = {
      {[] { throw ENetSocketError(10061, "Socket Error # 10061\r\nConnection refused"); },
       "Socket Error # 10061\r\nConnection refused."},
      {[] { throw ENetHTTPProtocolException(404, "HTTP/1.1 404 Not Found", ""); },
       "HTTP/1.1 404 Not Found."},
      {[] { throw EFCreateError("Cannot create file \"/x\". Permission denied"); },
       "Cannot create file \"/x\". Permission denied."},
      {[] { throw Exception("Done."); }, "Done."},
      {[] { throw Exception("What?!"); }, "What?!"},
      {[] { throw std::runtime_error("plain library error"); }, "plain library error."},
      {[] { throw 42; }, "Unknown error."},
  };
  for (const Case& c : cases) {
    ResetCaptures();
    RunHandler(c.handler);
    ASSERT_EQ(CapturedReports().size(), 1u) << c.text.toStdString();
    EXPECT_EQ(CapturedReports()[0].caption, QString::fromUtf8("Tamsel网页Flash抓取器"));
    EXPECT_EQ(CapturedReports()[0].text, c.text);
  }
}

TEST_F(ErrorReportTest, SilentErrorsShowNothingAndHandlersWithoutErrorsRunToTheirEnd) {
  RunHandler([] { throw ENetConnClosedGracefully("Connection Closed Gracefully."); });
  RunHandler([] { throw ENetSilentException("quiet"); });
  bool ran = false;
  RunHandler([&] { ran = true; });
  EXPECT_TRUE(ran);
  EXPECT_TRUE(CapturedReports().empty());
}

}  // namespace
