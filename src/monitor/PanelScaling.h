#pragma once

#include <QList>

#include <functional>

class QWidget;
namespace Ui {
class Panel1;
}

namespace orvel {

// The oscilloscope panel's three layouts. In the compact layout the gauges are small bars under
// the charts; the engine-speed side (speed and valve bars) and the lambda side (lambda indicator
// column and TPS bar) can each be enlarged into tall columns, at the right and at the left, and
// each enlargement widens the panel by 170 pixels. The handlers know the current layout by the
// panel's width alone, and every restore puts each control back exactly where it was.
class PanelScaling {
 public:
  static constexpr int kCompactWidth = 396;
  static constexpr int kOneSideWidth = 566;
  static constexpr int kBothSidesWidth = 736;
  static constexpr int kSideWidth = 170;

  // `shifted` are the controls that move sideways with the lambda side: the charts and their
  // labels. The panel's own buttons BtnPauza, Koniec and BtnZapis move too.
  PanelScaling(Ui::Panel1& ui, QWidget* panel, QList<QWidget*> shifted);

  // Called after every change of the panel's width.
  std::function<void()> widthChanged;

  void SkalarpmClick();      // enlarge the engine-speed side
  void Skalarpm1Click();     // restore it
  void SkalalambdaClick();   // enlarge the lambda side
  void Skalalambda1Click();  // restore it

 private:
  // The engine-speed side as tall bars at `left`, with its labels and read-outs around them.
  void layOutSpeedColumn(int left, bool placeValveReadoutTop);
  void layOutCompactLambdaColumn();
  void placeCompactLambdaLabels();
  void showSpeedRestoreButton(int left);
  void keepHiddenSpeedRestoreButtonAtEdge();
  void shiftSideways(int dx);
  void setPanelWidth(int width);

  Ui::Panel1& ui_;
  QWidget* panel_;
  QList<QWidget*> shifted_;
};

}  // namespace orvel
