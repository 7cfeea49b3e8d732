#include "app/row_state_delegate.h"

#include <QApplication>
#include <QPainter>

namespace {

// The state takes at most this share of the row; the address the rest, cut with "…".
constexpr int kStateShare = 2;  // one half
constexpr int kGap = 6;

}  // namespace

TRowStateDelegate::TRowStateDelegate(int height, QObject* parent)
    : QStyledItemDelegate(parent), height_(height) {}

QSize TRowStateDelegate::sizeHint(const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
  return QSize(QStyledItemDelegate::sizeHint(option, index).width(), height_);
}

void TRowStateDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
  const QString size = index.data(rrSize).toString();
  const QString state = index.data(rrState).toString();
  if (size.isEmpty() && state.isEmpty()) {
    QStyledItemDelegate::paint(painter, option, index);
    return;
  }
  QStyleOptionViewItem row = option;
  initStyleOption(&row, index);
  const QWidget* widget = option.widget;
  QStyle* style = widget ? widget->style() : QApplication::style();
  // The row's background, selected or not, as the style draws it; then the two texts.
  style->drawPrimitive(QStyle::PE_PanelItemViewItem, &row, painter, widget);
  const QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &row, widget);
  const QFontMetrics metrics(row.font);
  const QString right =
      metrics.elidedText(size.isEmpty() ? state : size + QStringLiteral("  ") + state,
                         Qt::ElideRight, text.width() / kStateShare);
  const int rightWidth = metrics.horizontalAdvance(right);
  const QString address =
      metrics.elidedText(row.text, Qt::ElideRight, text.width() - rightWidth - kGap);
  painter->save();
  painter->setFont(row.font);
  painter->setPen(row.palette.color((row.state & QStyle::State_Selected) ? QPalette::HighlightedText
                                                                         : QPalette::Text));
  painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter, address);
  painter->drawText(text, Qt::AlignRight | Qt::AlignVCenter, right);
  painter->restore();
}
