// The window's grab and download over https: a page that redirects from http to https, movies
// saved over TLS, and the failure text with its reason for a certificate that is not trusted.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <string>
#include <vector>

#include "app/auto_size_label.h"
#include "rescue/web_client.h"
#include "tests/app/window_fixture.h"
#include "tests/support/generated_bytes.h"
#include "tests/support/movie_page.h"
#include "tests/support/nginx_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_certificates.h"

namespace {

constexpr std::uint64_t kBigSize = 2 * 1024 * 1024 + 3;

class HttpsWindowTest : public WindowTest {
 protected:
  // An https nginx with the movies, and a plain one that sends every request on to it.
  void Serve(CertificateKind kind) {
    const CertificateFiles files = certificates_.Server(kind);
    secure_.UseTls(files.Certificate, files.Key);
    secure_.Start();
    origin_ = secure_.Url("");
    secure_.WriteFile("page.html", "<embed src=\"" + origin_ + "/movies/red.swf\">\n<p>\"" +
                                       origin_ + "/movies/big.swf\"</p>\n");
    secure_.WriteFile("movies/red.swf", RedSwfBytes());
    secure_.WriteGeneratedFile("movies/big.swf", kBigSize);
    plain_.AddLocation("/", "return 301 " + origin_ + "$request_uri;");
    plain_.Start();
  }

  TFrmPelmar& TrustingWindow() {
    TFrmPelmar& w = Shown();
    w.PageClient->Tls().CAFile = certificates_.CAFile();
    w.DownloadClient->Tls().CAFile = certificates_.CAFile();
    return w;
  }

  void Grab(TFrmPelmar& w, const std::string& address) {
    w.sourceUrl->clear();
    QTest::keyClicks(w.sourceUrl, QString::fromStdString(address));
    QTest::mouseClick(w.stratBtn, Qt::LeftButton);
  }

  TestCertificates certificates_;
  NginxServer secure_;
  NginxServer plain_;
  std::string origin_;
  TempDir out_;
};

}  // namespace

TEST_F(HttpsWindowTest, APageThatMovedToHttpsIsGrabbedAndItsMoviesSaved) {
  Serve(CertificateKind::ckGood);
  TFrmPelmar& w = TrustingWindow();
  // Typed without a scheme, as users do; the server sends the grab on to https.
  Grab(w, "127.0.0.1:" + std::to_string(plain_.Port()) + "/page.html");
  ASSERT_EQ(w.ListBox1->count(), 2);
  EXPECT_EQ(w.ListBox1->item(0)->text().toStdString(), origin_ + "/movies/big.swf");
  EXPECT_EQ(w.ListBox1->item(1)->text().toStdString(), origin_ + "/movies/red.swf");
  EXPECT_EQ(w.Label1->Caption(), U("总数2   "));
  EXPECT_EQ(w.Label1->toolTip(), QString());

  w.outPath.Assign(out_.Path());
  w.ListBox1->item(0)->setSelected(true);
  w.ListBox1->item(1)->setSelected(true);
  QTest::mouseClick(w.DownBtn, Qt::LeftButton);
  EXPECT_EQ(w.Label1->Caption(), U("下载成功  "));
  EXPECT_EQ(ReadFileBytes(out_.Path() + "/red.swf"), RedSwfBytes());
  EXPECT_TRUE(FileHoldsGeneratedBytes(out_.Path() + "/big.swf", kBigSize));
  EXPECT_TRUE(CapturedFailures().empty());
  EXPECT_TRUE(CapturedReports().empty());
}

TEST_F(HttpsWindowTest, AFailedGrabKeepsItsReasonInTheToolTip) {
  Serve(CertificateKind::ckSelfSigned);
  TFrmPelmar& w = TrustingWindow();
  const struct {
    std::string typed;
    const char* reason;
  } cases[] = {
      {secure_.Url("/page.html"),
       "TLS handshake with localhost failed: certificate verify failed (self-signed certificate)"},
      {plain_.Url("/page.html"),
       "TLS handshake with localhost failed: certificate verify failed (self-signed certificate)"},
      {"ftp://127.0.0.1/page.html", "Unknown protocol: ftp"},
      {"http:///page.html", "Invalid address (no host): http:///page.html"},
  };
  for (const auto& c : cases) {
    w.ListBox1->addItem("old row");
    Grab(w, c.typed);
    EXPECT_EQ(w.ListBox1->count(), 0) << c.typed;
    EXPECT_EQ(w.Label1->Caption(), U("抓取失败：") + U(c.reason) + "  ") << c.typed;
    EXPECT_EQ(w.Label1->toolTip().toStdString(), c.reason);
  }
  // Nothing was asked of the server whose certificate was refused.
  secure_.Stop();
  EXPECT_EQ(secure_.AccessLog(), "");
  EXPECT_TRUE(CapturedReports().empty());
}
