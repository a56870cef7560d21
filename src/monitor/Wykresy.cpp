#include "monitor/Wykresy.h"

#include "monitor/ChartView.h"
#include "settings/Conversions.h"
#include "ui_Panel1.h"

#include <QLabel>

#include <algorithm>

namespace orvel {

namespace {

constexpr int kCompactPointSize = 8;
constexpr int kEnlargedPointSize = 10;

// Offsets of an enlarged chart's controls relative to its compact place (after the group's own
// shift): the image grows to the right and down, its labels follow.
const QPoint kImageShift(10, 20);
const QPoint kXLabelShift(90, 110);
const QPoint kCaptionShift(80, 10);
QPoint yLabelShift(int i) {
  return {10, 100 - 20 * i};
}

void moveBy(QWidget* w, const QPoint& d) {
  w->move(w->pos() + d);
}

void setPointSize(QLabel* label, int points) {
  QFont f = label->font();
  f.setPointSize(points);
  label->setFont(f);
}

// The decimal point of the read-outs beside them, and the unit spaced as on every other figure.
const Wykresy::YLabels kLambda51{"0.00 V", "0.25 V", "0.50 V", "0.75 V", "1.00 V"};
const Wykresy::YLabels kLambda82{"0.0 V", "0.4 V", "0.8 V", "1.2 V", "1.6 V"};
const Wykresy::YLabels kLambda255{"0.00 V", "1.25 V", "2.50 V", "3.75 V", "5.00 V"};
const Wykresy::YLabels kFiveVolt{"0.00 V", "1.25 V", "2.50 V", "3.75 V", "5.00 V"};
const Wykresy::YLabels kTwelveVolt{"0.0 V", "3.0 V", "6.0 V", "9.0 V", "12 V"};

}  // namespace

QList<QLabel*> Wykresy::Group::labels() const {
  QList<QLabel*> out(y.begin(), y.end());
  out << x << caption;
  return out;
}

QList<QWidget*> Wykresy::Group::controls() const {
  QList<QWidget*> out{image.data()};
  for (QLabel* l : labels())
    out << l;
  return out;
}

Wykresy::Wykresy(Ui::Panel1& ui) {
  const auto bind = [](Group& g, ChartView* image, std::array<QLabel*, kYLabels> y, QLabel* x,
                       QLabel* caption, QPoint offset, std::array<Chart, kCharts> restoreOrder) {
    g.image = image;
    g.y = y;
    g.x = x;
    g.caption = caption;
    g.zoomOffset = offset;
    g.shownOnRestore = restoreOrder;
    const QList<QLabel*> labels = g.labels();
    for (int i = 0; i < labels.size(); ++i)
      g.compactLabelSizes[static_cast<std::size_t>(i)] = labels[i]->size();
    image->setImage(&g.plotter.image());
  };
  bind(groups_[Lambda1], ui.WykresLambda,
       {ui.WykresLambdaY1, ui.WykresLambdaY2, ui.WykresLambdaY3, ui.WykresLambdaY4,
        ui.WykresLambdaY5},
       ui.WykresLambdaX, ui.PodpisWykresLambda, QPoint(0, 0), {Lambda1, Tps, Lambda2});
  bind(groups_[Tps], ui.WykresTPS,
       {ui.WykresTPSY1, ui.WykresTPSY2, ui.WykresTPSY3, ui.WykresTPSY4, ui.WykresTPSY5},
       ui.WykresTPSX, ui.PodpisWykresTPS, QPoint(-197, 0), {Tps, Lambda1, Lambda2});
  bind(groups_[Lambda2], ui.WykresPodcis,
       {ui.WykresPodcisY1, ui.WykresPodcisY2, ui.WykresPodcisY3, ui.WykresPodcisY4,
        ui.WykresPodcisY5},
       ui.WykresPodcisX, ui.PodpisWykresPodcis, QPoint(-100, -123), {Lambda2, Lambda1, Tps});
}

Wykresy::~Wykresy() {
  for (Group& g : groups_)
    if (g.image) g.image->setImage(nullptr);
}

const Wykresy::YLabels* Wykresy::lambdaLabels(const QString& lambdaKey) {
  if (lambdaKey == QLatin1String("51")) return &kLambda51;
  if (lambdaKey == QLatin1String("82")) return &kLambda82;
  if (lambdaKey == QLatin1String("255")) return &kLambda255;
  return nullptr;
}

const Wykresy::YLabels& Wykresy::tpsLabels(TpsRange range) {
  return isFiveVolt(range) ? kFiveVolt : kTwelveVolt;
}

const Wykresy::YLabels& Wykresy::lambda2Labels() {
  return kFiveVolt;
}

void Wykresy::setLabels(Group& group, const YLabels& texts) {
  for (int i = 0; i < kYLabels; ++i)
    group.y[static_cast<std::size_t>(i)]->setText(
        QString::fromUtf8(texts[static_cast<std::size_t>(i)]));
}

void Wykresy::setUp(const QString& lambdaKey, TpsRange tpsRange) {
  if (const YLabels* labels = lambdaLabels(lambdaKey)) {
    setLabels(groups_[Lambda1], *labels);
    groups_[Lambda1].plotter.resetSweep();
  }
  setLabels(groups_[Tps], tpsLabels(tpsRange));
  groups_[Tps].plotter.resetSweep();
  setLabels(groups_[Lambda2], lambda2Labels());
  groups_[Lambda2].plotter.resetSweep();
}

void Wykresy::plot(Chart chart, int row) {
  Group& g = groups_[chart];
  const QRect dirty = g.plotter.plot(row);
  if (dirty.isEmpty()) return;
  g.image->updateImageRect(dirty);
}

QList<QWidget*> Wykresy::controls() const {
  QList<QWidget*> out;
  for (const Group& g : groups_)
    out << g.controls();
  return out;
}

void Wykresy::setGroupVisible(const Group& group, bool visible) {
  for (QWidget* w : group.controls())
    w->setVisible(visible);
}

void Wykresy::toggleZoom(Chart chart) {
  if (groups_[chart].zoomed) {
    restore(chart);
  } else {
    enlarge(chart);
  }
}

void Wykresy::enlarge(Chart chart) {
  Group& g = groups_[chart];
  for (const Group& other : groups_)
    setGroupVisible(other, false);
  for (QWidget* w : g.controls())
    moveBy(w, g.zoomOffset);
  g.image->resize(g.image->width() * 2, g.image->height() * 2);
  moveBy(g.image, kImageShift);
  moveBy(g.x, kXLabelShift);
  moveBy(g.caption, kCaptionShift);
  for (int i = 0; i < kYLabels; ++i)
    moveBy(g.y[static_cast<std::size_t>(i)], yLabelShift(i));
  for (QLabel* l : g.labels()) {
    setPointSize(l, kEnlargedPointSize);
    l->resize(l->size().expandedTo(l->sizeHint()));
  }
  g.zoomed = true;
  setGroupVisible(g, true);
}

void Wykresy::restore(Chart chart) {
  Group& g = groups_[chart];
  setGroupVisible(g, false);
  for (QWidget* w : g.controls())
    moveBy(w, -g.zoomOffset);
  g.image->resize(halfRounded(g.image->width()), halfRounded(g.image->height()));
  moveBy(g.image, -kImageShift);
  moveBy(g.x, -kXLabelShift);
  moveBy(g.caption, -kCaptionShift);
  for (int i = 0; i < kYLabels; ++i)
    moveBy(g.y[static_cast<std::size_t>(i)], -yLabelShift(i));
  const QList<QLabel*> labels = g.labels();
  for (int i = 0; i < labels.size(); ++i) {
    setPointSize(labels[i], kCompactPointSize);
    labels[i]->resize(g.compactLabelSizes[static_cast<std::size_t>(i)]);
  }
  g.zoomed = false;
  for (Chart shown : g.shownOnRestore)
    setGroupVisible(groups_[shown], true);
}

}  // namespace orvel
