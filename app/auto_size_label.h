// A label that takes the size of its caption.
#pragma once

#include <QLabel>
#include <QString>

// The pixel width of `text` in `widget`'s font, trailing spaces included.
int TextPixelWidth(const QWidget* widget, const QString& text);

class TAutoSizeLabel : public QLabel {
  Q_OBJECT

 public:
  explicit TAutoSizeLabel(QWidget* parent = nullptr) : QLabel(parent) {}

  QString Caption() const { return caption_; }
  // Sets the caption and fits the label around it; the top-left corner stays where it is.
  // An empty caption keeps the width of one space, so the label never vanishes.
  void SetCaption(const QString& caption);
  // At most `width` pixels (0: no limit): a longer caption shows cut with "…", and whole in
  // `overflow` (when given), which shows only then.
  void SetMaxWidth(int width, QLabel* overflow = nullptr);

 private:
  void Fit();

  QString caption_;
  int max_width_ = 0;
  QLabel* overflow_ = nullptr;
};
