// The preview pane: a blank area until the first preview, then an embedded browser filling it.
// Starting the browser engine takes a while, so the window opens without it.
#pragma once

#include <QString>
#include <QWidget>

class QWebEngineView;

// Settings the browser engine needs before the application object exists: with the effective
// user root its sandbox cannot start, so it is switched off for this process; without a GPU
// (a virtual display, the offscreen platform) the engine draws in software; media may play
// without a click inside the page.
void PrepareWebEngine();

class TWebBrowser : public QWidget {
  Q_OBJECT

 public:
  explicit TWebBrowser(QWidget* parent = nullptr);

  // Sends the pane to `address`, creating the browser on first use. Returns at once; the page
  // loads in the background.
  void Navigate(const QString& address);
  // An empty page, when the browser exists.
  void Clear();
  // Creates the browser now, on an empty page. Creating it turns the window into a native one,
  // which takes a moment in which keys and clicks are lost: done while the window is made, no
  // first click on a row loses anything.
  void Prepare();
  // The browser, or nullptr before the first preview.
  QWebEngineView* View() const { return view_; }

 protected:
  // The browser fills the pane however it grows.
  void resizeEvent(QResizeEvent* event) override;

 private:
  QWebEngineView* view_ = nullptr;
};
