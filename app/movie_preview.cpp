#include "app/movie_preview.h"

#include <QMetaObject>

#include <utility>

#include "app/preview_origin.h"
#include "app/web_browser.h"
#include "app/window_text.h"
#include "base/exception.h"
#include "net/cancel_switch.h"
#include "rescue/executable_folder.h"
#include "rescue/preview_movie.h"

namespace {

QString& PlayerFolderOverride() {
  static QString folder;
  return folder;
}

}  // namespace

QString PreviewPlayerFolder() {
  if (!PlayerFolderOverride().isEmpty()) return PlayerFolderOverride();
  return Local(ExecutableFolder()) + QStringLiteral("player/");
}

void SetPreviewPlayerFolder(const QString& folder) {
  PlayerFolderOverride() = folder.isEmpty() || folder.endsWith('/') ? folder : folder + '/';
}

TMoviePreview::TMoviePreview(TWebBrowser& browser, TNetHTTP& http, QObject* parent)
    : QObject(parent), browser_(browser), http_(http) {}

TMoviePreview::~TMoviePreview() {
  Close();
}

void TMoviePreview::Close() {
  pending_.reset();
  // An outcome still on its way belongs to no preview now.
  ++generation_;
  if (cancel_) cancel_->Cancel();
  if (worker_.joinable()) worker_.join();
  if (origin_) origin_->Close();
}

void TMoviePreview::Show(const std::string& address, const std::string& referer) {
  if (!origin_) origin_ = new TPreviewOrigin(PreviewPlayerFolder(), this);
  origin_->Start();
  const int generation = ++generation_;
  origin_->ShowLoading(generation);
  browser_.Navigate(origin_->PageUrl(generation));
  pending_ = TRequest{address, referer, generation};
  // The client serves one fetch at a time: the next starts when the cancelled one has ended.
  if (worker_.joinable())
    cancel_->Cancel();
  else
    StartPending();
}

void TMoviePreview::Clear() {
  // A fetch that still ends belongs to a preview no longer shown.
  ++generation_;
  pending_.reset();
  if (worker_.joinable()) cancel_->Cancel();
  browser_.Clear();
}

void TMoviePreview::StartPending() {
  TRequest request = std::move(*pending_);
  pending_.reset();
  cancel_ = std::make_shared<TNetCancelSwitch>();
  worker_ = std::thread([this, request = std::move(request), cancel = cancel_] {
    TOutcome outcome;
    try {
      outcome.movie = FetchPreviewMovie(http_, request.address, request.referer, *cancel);
      outcome.fetched = true;
    } catch (const Exception& e) {
      outcome.message = e.Message();
    } catch (const std::exception& e) {
      outcome.message = e.what();
    }
    // A queued call: it runs on the window's thread, and not at all once this object is gone.
    QMetaObject::invokeMethod(
        this,
        [this, generation = request.generation, outcome = std::move(outcome)]() mutable {
          Finished(generation, std::move(outcome));
        },
        Qt::QueuedConnection);
  });
}

void TMoviePreview::Finished(int generation, TOutcome outcome) {
  // The thread has handed over its outcome and is ending.
  if (worker_.joinable()) worker_.join();
  cancel_.reset();
  if (generation == generation_ && origin_) {
    if (outcome.fetched)
      origin_->ShowMovie(generation, std::move(outcome.movie));
    else
      origin_->ShowMessage(generation, Local(outcome.message));
    browser_.Navigate(origin_->PageUrl(generation));
  }
  if (pending_) StartPending();
}
