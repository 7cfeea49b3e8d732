// The rows of the found-movie list: each row its address, and at its right end, once a
// download has touched it, the file's size and what became of it (waiting, n % downloaded,
// saved, failed and why, dependent files missing). Every row is the same height.
#pragma once

#include <QStyledItemDelegate>

// Where a row keeps its size and its state (texts; empty: none yet).
enum TRowRole : int { rrSize = Qt::UserRole + 1, rrState };

class TRowStateDelegate : public QStyledItemDelegate {
 public:
  TRowStateDelegate(int height, QObject* parent);

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;

 private:
  int height_;
};
