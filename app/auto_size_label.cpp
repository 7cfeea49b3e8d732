#include "app/auto_size_label.h"

#include <QFontMetrics>

int TextPixelWidth(const QWidget* widget, const QString& text) {
  return QFontMetrics(widget->font()).horizontalAdvance(text);
}

void TAutoSizeLabel::SetCaption(const QString& caption) {
  caption_ = caption;
  Fit();
}

void TAutoSizeLabel::SetMaxWidth(int width, QLabel* overflow) {
  max_width_ = width;
  overflow_ = overflow;
  Fit();
}

void TAutoSizeLabel::Fit() {
  const QFontMetrics metrics(font());
  const QString measured = caption_.isEmpty() ? QStringLiteral(" ") : caption_;
  const int width = metrics.horizontalAdvance(measured);
  const bool cut = max_width_ > 0 && width > max_width_;
  setText(cut ? metrics.elidedText(caption_, Qt::ElideRight, max_width_) : caption_);
  resize(cut ? max_width_ : width, metrics.height());
  if (!overflow_) return;
  overflow_->setText(cut ? caption_ : QString());
  overflow_->setVisible(cut);
}
