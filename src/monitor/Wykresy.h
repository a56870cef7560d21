#pragma once

#include "monitor/ChartPlotter.h"
#include "monitor/LiveDecoder.h"

#include <QList>
#include <QPoint>
#include <QPointer>
#include <QSize>
#include <QString>

#include <array>

class QLabel;
class QWidget;
namespace Ui {
class Panel1;
}

namespace orvel {

class ChartView;

// The oscilloscope panel's sweeping charts: Lambda 1, TPS and Lambda 2, each a bitmap with its
// sweep state, an image control, five Y labels, an X label ("1s / dz") and a caption. The chart
// set-up on entry to oscilloscope mode chooses the Y labels by the sensor ranges; a double click
// enlarges one chart to twice its size over the others and a second one restores the layout.
class Wykresy {
 public:
  enum Chart { Lambda1 = 0, Tps = 1, Lambda2 = 2 };
  static constexpr int kCharts = 3;
  static constexpr int kYLabels = 5;

  explicit Wykresy(Ui::Panel1& ui);
  ~Wykresy();
  Wykresy(const Wykresy&) = delete;
  Wykresy& operator=(const Wykresy&) = delete;

  // Set-up on entry to oscilloscope mode. An unknown lambda range key leaves the Lambda 1 chart's
  // labels and sweep as its previous set-up left them.
  void setUp(const QString& lambdaKey, TpsRange tpsRange);
  // One sample per chart and frame; repaints only the strip the sample changed.
  void plot(Chart chart, int row);

  void WykresLambdaDblClick() { toggleZoom(Lambda1); }
  void WykresTPSDblClick() { toggleZoom(Tps); }
  void WykresPodcisDblClick() { toggleZoom(Lambda2); }

  const ChartPlotter& plotter(Chart chart) const { return groups_[chart].plotter; }
  bool zoomed(Chart chart) const { return groups_[chart].zoomed; }
  // Every control of every chart (images and their labels): the lambda side's enlargement moves
  // them all sideways.
  QList<QWidget*> controls() const;

  // Y label texts from the bottom (Y1) to the top (Y5).
  using YLabels = std::array<const char*, kYLabels>;
  static const YLabels* lambdaLabels(const QString& lambdaKey);  // nullptr for unknown keys
  static const YLabels& tpsLabels(TpsRange range);
  static const YLabels& lambda2Labels();

 private:
  struct Group {
    ChartPlotter plotter;
    // The view shows the plotter's bitmap; it is told when the bitmap goes away first.
    QPointer<ChartView> image;
    std::array<QLabel*, kYLabels> y{};
    QLabel* x = nullptr;
    QLabel* caption = nullptr;
    QPoint zoomOffset;
    std::array<Chart, kCharts> shownOnRestore{};
    bool zoomed = false;
    // The labels' sizes in the compact layout: the enlarged fonts need room, and the restore
    // puts every label back exactly as it was.
    std::array<QSize, kYLabels + 2> compactLabelSizes{};

    QList<QLabel*> labels() const;
    QList<QWidget*> controls() const;
  };

  void toggleZoom(Chart chart);
  void enlarge(Chart chart);
  void restore(Chart chart);
  static void setGroupVisible(const Group& group, bool visible);
  static void setLabels(Group& group, const YLabels& texts);

  std::array<Group, kCharts> groups_;
};

}  // namespace orvel
