#include "app/auto_size_label.h"

#include <QFontMetrics>

int TextPixelWidth(const QWidget* widget, const QString& text) {
  return QFontMetrics(widget->font()).horizontalAdvance(text);
}

void TAutoSizeLabel::SetCaption(const QString& caption) {
  setText(caption);
  const QFontMetrics metrics(font());
  const QString measured = caption.isEmpty() ? QStringLiteral(" ") : caption;
  resize(metrics.horizontalAdvance(measured), metrics.height());
}
