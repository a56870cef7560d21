#pragma once

#include <QString>
#include <QStringList>

namespace orvel {

// The settings template: 60 lines of Polish labels and raw values that the autocalibration fills
// as it measures and that the charts read for the lambda range (lines 31 and 33). It starts from
// its fixed content at every program start; nothing loads or saves it.
class SettingsTemplate {
 public:
  static constexpr int kLines = 60;
  static constexpr int kLambdaMinimumLine = 31;
  static constexpr int kLambdaMaximumLine = 33;

  SettingsTemplate();
  static QStringList defaults();

  QString line(int index) const;
  void setLine(int index, const QString& text);
  const QStringList& lines() const { return lines_; }
  void reset() { lines_ = defaults(); }

 private:
  QStringList lines_;
};

}  // namespace orvel
