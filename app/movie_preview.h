// The preview of one movie in the pane: the movie is fetched with the window's preview client
// on a thread of its own (the window goes on answering meanwhile), handed to the pane's origin
// and played there; a failed fetch shows its message in the pane. A new preview cancels the
// fetch still running. The origin and the pane's browser start with the first preview.
#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <thread>

class TNetCancelSwitch;
class TNetHTTP;
class TPreviewOrigin;
class TWebBrowser;

// The folder with the player's files: "player/" beside the program unless set.
QString PreviewPlayerFolder();
// Another folder (tests; their programs live elsewhere). An empty text restores the default.
void SetPreviewPlayerFolder(const QString& folder);

class TMoviePreview : public QObject {
  Q_OBJECT

 public:
  // `http` is used only on the fetch thread while a fetch runs; both outlive this object.
  TMoviePreview(TWebBrowser& browser, TNetHTTP& http, QObject* parent = nullptr);
  // Cancels a running fetch and waits for its thread.
  ~TMoviePreview() override;

  // Shows the movie at `address`, fetched with `referer`. Returns at once.
  void Show(const std::string& address, const std::string& referer);
  // Cancels a running fetch and stops the origin (the window closes).
  void Close();
  // Cancels a running fetch and empties the pane: nothing plays any more.
  void Clear();

  // The origin, or nullptr before the first preview.
  TPreviewOrigin* Origin() const { return origin_; }
  // A fetch is running (or waiting for the cancelled one to end).
  bool Fetching() const { return worker_.joinable() || pending_.has_value(); }
  // Previews shown so far; the current one's page is Origin()->PageUrl(Generation()).
  int Generation() const { return generation_; }

 private:
  struct TRequest {
    std::string address;
    std::string referer;
    int generation = 0;
  };
  struct TOutcome {
    bool fetched = false;
    std::string movie;
    std::string message;
  };
  void StartPending();
  void Finished(int generation, TOutcome outcome);

  TWebBrowser& browser_;
  TNetHTTP& http_;
  TPreviewOrigin* origin_ = nullptr;
  int generation_ = 0;
  std::optional<TRequest> pending_;
  std::shared_ptr<TNetCancelSwitch> cancel_;
  std::thread worker_;
};
