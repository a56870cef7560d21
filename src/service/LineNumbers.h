#pragma once

#include <QLabel>
#include <QStringList>

namespace orvel {

// A narrow label that stands its words one under the other, each level with a line of the text
// beside it: the words are drawn at that text's line pitch and scroll position rather than at the
// label's own line spacing, so they stay aligned whatever font the desktop offers.
class LineNumbers : public QLabel {
  Q_OBJECT
 public:
  using QLabel::QLabel;

  // Top of the first line of the text beside, in this label's coordinates, and the distance from
  // one line to the next. Until this is given the label paints as any label.
  void setLineGeometry(qreal firstTop, qreal pitch);
  qreal firstTop() const { return firstTop_; }
  qreal pitch() const { return pitch_; }
  // Top of word k (from 0), in this label's coordinates.
  qreal wordTop(int k) const { return firstTop_ + k * pitch_; }
  QStringList words() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  qreal firstTop_ = 0;
  qreal pitch_ = 0;
};

}  // namespace orvel
