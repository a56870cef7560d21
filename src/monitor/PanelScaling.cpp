#include "monitor/PanelScaling.h"

#include "monitor/Gauge.h"
#include "settings/Conversions.h"
#include "ui_Panel1.h"

#include <array>
#include <utility>

namespace orvel {

namespace {

// A label centred on a 25-pixel bar.
int centredOn(const QWidget* label, const QWidget* bar) {
  return bar->x() - halfRounded(label->width()) + 12;
}

// Bottom edge as the layout rules count it: one past the last row.
int bottomOf(const QWidget* w) {
  return w->y() + w->height();
}

void setLeft(QWidget* w, int left) {
  w->move(left, w->y());
}
void setTop(QWidget* w, int top) {
  w->move(w->x(), top);
}

constexpr int kTallBarWidth = 25;
constexpr int kTallBarHeight = 135;
constexpr int kCompactBarWidth = 10;
constexpr int kCompactBarHeight = 58;
constexpr int kCompactBarTop = 287;

// Lefts of the compact engine-speed group. With the lambda side enlarged the whole group sits
// 170 pixels further right.
struct SpeedLefts {
  int gauge1, gauge2, label16, panelobroty, panel4, label19, label18, label17, label20, label21;

  SpeedLefts shifted(int dx) const {
    return {gauge1 + dx,  gauge2 + dx,  label16 + dx, panelobroty + dx, panel4 + dx,
            label19 + dx, label18 + dx, label17 + dx, label20 + dx,     label21 + dx};
  }
};

constexpr SpeedLefts kCompactSpeedLefts{259, 344, 218, 214, 298, 305, 253, 255, 329, 324};

void setSpeedGroupLefts(Ui::Panel1& ui, const SpeedLefts& l) {
  setLeft(ui.Gauge1, l.gauge1);
  setLeft(ui.Gauge2, l.gauge2);
  setLeft(ui.Label16, l.label16);
  setLeft(ui.Panelobroty, l.panelobroty);
  setLeft(ui.Panel4, l.panel4);
  setLeft(ui.Label19, l.label19);
  setLeft(ui.Label18, l.label18);
  setLeft(ui.Label17, l.label17);
  setLeft(ui.Label20, l.label20);
  setLeft(ui.Label21, l.label21);
}

std::array<Gauge*, 8> indicators(Ui::Panel1& ui) {
  return {ui.Gauge7,  ui.Gauge8,  ui.Gauge9,  ui.Gauge10,
          ui.Gauge11, ui.Gauge12, ui.Gauge13, ui.Gauge14};
}

}  // namespace

PanelScaling::PanelScaling(Ui::Panel1& ui, QWidget* panel, QList<QWidget*> shifted)
    : ui_(ui), panel_(panel), shifted_(std::move(shifted)) {
  shifted_ << ui_.BtnPauza << ui_.Koniec << ui_.BtnZapis;
}

void PanelScaling::setPanelWidth(int width) {
  panel_->resize(width, panel_->height());
}

void PanelScaling::layOutSpeedColumn(int left, bool placeValveReadoutTop) {
  QWidget* g1 = ui_.Gauge1;
  QWidget* g2 = ui_.Gauge2;
  g1->setGeometry(left, 15, kTallBarWidth, kTallBarHeight);
  g2->setGeometry(left, g1->height() + 50, kTallBarWidth, kTallBarHeight);

  ui_.Label16->move(g1->x() - ui_.Label16->width() - 10, g1->y());
  ui_.Label18->move(centredOn(ui_.Label18, g1), g1->y() - 13);
  ui_.Label17->move(centredOn(ui_.Label17, g1), bottomOf(g1) + 2);

  ui_.Panelobroty->move(g1->x() - ui_.Panelobroty->width() - 25,
                        ui_.Label16->y() + ui_.Label16->height() + 10);
  setLeft(ui_.Panel4, g2->x() - ui_.Panel4->width() - 25);
  if (placeValveReadoutTop) setTop(ui_.Panel4, g2->y() + 15);

  ui_.Label19->move(g2->x() - ui_.Label19->width() - 10, g2->y());
  ui_.Label20->move(centredOn(ui_.Label20, g2), bottomOf(g2) + 2);
  ui_.Label21->move(centredOn(ui_.Label21, g2), g2->y() - 15);
}

void PanelScaling::showSpeedRestoreButton(int left) {
  ui_.Skalarpm->hide();
  ui_.Skalarpm1->move(left, ui_.Skalarpm->y());
  ui_.Skalarpm1->show();
}

void PanelScaling::keepHiddenSpeedRestoreButtonAtEdge() {
  // Every path that shows this button places it first; while hidden it is kept where it would
  // appear (at the panel's right edge), so that its place, too, depends only on the layout and
  // not on the order in which the sides were restored.
  if (ui_.Skalarpm1->isHidden())
    setLeft(ui_.Skalarpm1, panel_->width() - ui_.Skalarpm1->width() - 5);
}

void PanelScaling::SkalarpmClick() {
  const int w = panel_->width();
  layOutSpeedColumn(w + 110, true);
  setPanelWidth(w + kSideWidth);
  showSpeedRestoreButton(panel_->width() - ui_.Skalarpm1->width() - 5);
  if (widthChanged) widthChanged();
}

void PanelScaling::Skalarpm1Click() {
  const int w = panel_->width();
  if (w == kBothSidesWidth) setSpeedGroupLefts(ui_, kCompactSpeedLefts.shifted(kSideWidth));
  if (w == kOneSideWidth) setSpeedGroupLefts(ui_, kCompactSpeedLefts);
  ui_.Gauge1->resize(kCompactBarWidth, kCompactBarHeight);
  ui_.Gauge2->resize(kCompactBarWidth, kCompactBarHeight);
  setTop(ui_.Gauge1, kCompactBarTop);
  setTop(ui_.Gauge2, kCompactBarTop);
  setTop(ui_.Label16, 288);
  setTop(ui_.Panelobroty, 306);
  setTop(ui_.Panel4, 306);
  setTop(ui_.Label19, 288);
  setTop(ui_.Label18, 273);
  setTop(ui_.Label17, 347);
  setTop(ui_.Label20, 346);
  setTop(ui_.Label21, 273);

  setPanelWidth(w - kSideWidth);
  ui_.Skalarpm->show();
  ui_.Skalarpm1->move(panel_->width() - ui_.Skalarpm1->width() - 5, ui_.Skalarpm->y());
  ui_.Skalarpm1->hide();
  if (widthChanged) widthChanged();
}

void PanelScaling::SkalalambdaClick() {
  const int w = panel_->width();
  if (w == kOneSideWidth) {
    // The engine-speed side is enlarged already: its column moves out with the panel's growth.
    layOutSpeedColumn(w + 110, false);
    showSpeedRestoreButton(w - ui_.Skalarpm1->width() + 165);
  }
  if (w == kCompactWidth) setSpeedGroupLefts(ui_, kCompactSpeedLefts.shifted(kSideWidth));

  // The lambda column; the hidden anchors give the indicator column's thirds and the TPS bar's
  // place below them.
  ui_.Panel7->setGeometry(35, 17, kTallBarWidth, kTallBarHeight);
  int top = 0;
  for (Gauge* g : indicators(ui_)) {
    g->setGeometry(0, top, kTallBarWidth, 17);
    top += 16;
  }
  ui_.Gauge6->setGeometry(35, 15, kTallBarWidth, 49);
  ui_.Gauge5->setGeometry(35, 63, kTallBarWidth, 37);
  ui_.Gauge3->setGeometry(35, 99, kTallBarWidth, 49);
  ui_.Gauge4->setGeometry(35,
                          ui_.Gauge6->height() + ui_.Gauge3->height() + ui_.Gauge5->height() + 50,
                          kTallBarWidth, kTallBarHeight);

  panel_->setGeometry(panel_->x() - kSideWidth, panel_->y(), w + kSideWidth, panel_->height());
  setLeft(ui_.Skalarpm, ui_.Skalarpm->x() + kSideWidth);
  keepHiddenSpeedRestoreButtonAtEdge();

  ui_.Label75->move(ui_.Gauge6->x() + 35, ui_.Gauge6->y());
  ui_.Panel6->move(ui_.Gauge6->x() + 35, ui_.Gauge6->y() + 25);
  ui_.Label74->move(ui_.Gauge4->x() + 35, ui_.Gauge4->y());
  ui_.Panel5->move(ui_.Gauge4->x() + 35, ui_.Gauge4->y() + 25);

  ui_.Label70->move(centredOn(ui_.Label70, ui_.Gauge6), ui_.Gauge6->y() - 13);
  ui_.Label71->move(centredOn(ui_.Label71, ui_.Gauge3), bottomOf(ui_.Gauge3) + 2);
  ui_.Label72->move(centredOn(ui_.Label72, ui_.Gauge4), ui_.Gauge4->y() - 15);
  ui_.Label73->move(centredOn(ui_.Label73, ui_.Gauge4), bottomOf(ui_.Gauge4) + 2);

  shiftSideways(kSideWidth);

  ui_.Skalalambda->hide();
  ui_.Skalalambda1->move(ui_.Skalalambda->pos());
  ui_.Skalalambda1->show();
  if (widthChanged) widthChanged();
}

void PanelScaling::Skalalambda1Click() {
  const int w = panel_->width();
  if (w == kOneSideWidth) {
    setSpeedGroupLefts(ui_, kCompactSpeedLefts);
    placeCompactLambdaLabels();
  }
  if (w == kBothSidesWidth) {
    // The engine-speed side stays enlarged: its column comes back in with the panel.
    layOutSpeedColumn(w - 25 - 205, false);
    placeCompactLambdaLabels();
    showSpeedRestoreButton(w - ui_.Skalarpm1->width() - 175);
  }
  layOutCompactLambdaColumn();

  panel_->setGeometry(panel_->x() + kSideWidth, panel_->y(), w - kSideWidth, panel_->height());
  setLeft(ui_.Skalarpm, ui_.Skalarpm->x() - kSideWidth);
  keepHiddenSpeedRestoreButtonAtEdge();
  shiftSideways(-kSideWidth);

  ui_.Skalalambda->show();
  ui_.Skalalambda1->move(ui_.Skalalambda->pos());
  ui_.Skalalambda1->hide();
  if (widthChanged) widthChanged();
}

void PanelScaling::layOutCompactLambdaColumn() {
  ui_.Panel7->setGeometry(92, kCompactBarTop, kCompactBarWidth, kCompactBarHeight);
  int top = 0;
  for (Gauge* g : indicators(ui_)) {
    g->setGeometry(0, top, kCompactBarWidth, 8);
    top += 7;
  }
  ui_.Gauge3->setGeometry(92, 320, kCompactBarWidth, 23);
  ui_.Gauge5->setGeometry(92, 309, kCompactBarWidth, 12);
  ui_.Gauge6->setGeometry(92, 287, kCompactBarWidth, 23);
  ui_.Gauge4->setGeometry(176, kCompactBarTop, kCompactBarWidth, kCompactBarHeight);
}

void PanelScaling::placeCompactLambdaLabels() {
  ui_.Label75->move(46, 288);
  ui_.Panel6->move(46, 306);
  ui_.Label74->move(138, 288);
  ui_.Panel5->move(130, 306);
  ui_.Label70->move(80, 272);
  ui_.Label71->move(80, 346);
  ui_.Label72->move(172, 272);
  ui_.Label73->move(172, 346);
}

void PanelScaling::shiftSideways(int dx) {
  for (QWidget* w : shifted_)
    setLeft(w, w->x() + dx);
}

}  // namespace orvel
