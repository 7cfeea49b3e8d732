// A hyperlink label: its caption is drawn in the link colour, underlined, with a hand pointer;
// a click opens its target, and a successful open turns the caption to the visited colour.
#pragma once

#include <QColor>
#include <QLabel>
#include <QString>

class TURLLabel : public QLabel {
  Q_OBJECT

 public:
  explicit TURLLabel(QWidget* parent = nullptr);

  // The address a click opens.
  QString URL;

  QColor LinkColor() const { return link_color_; }
  void SetLinkColor(const QColor& color);
  QColor VisitedLinkColor() const { return visited_link_color_; }
  void SetVisitedLinkColor(const QColor& color);
  bool Visited() const { return visited_; }

  // Opens URL with the desktop; true when that succeeded.
  bool Open();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void ApplyColor();
  QColor link_color_{0, 0, 255};
  QColor visited_link_color_{128, 0, 128};
  bool visited_ = false;
};
