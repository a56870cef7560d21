#pragma once

#include "core/Language.h"

#include <QString>
#include <QStringList>

namespace orvel {

// config.cfg: 13 lines of which only three carry values; the rest are banners read and written
// back unchanged. All comparisons of values are exact and case-sensitive.
class ConfigFile {
 public:
  static constexpr int kLanguageLine = 6;
  static constexpr int kWindowStateLine = 8;
  static constexpr int kPortLine = 11;

  static QStringList templateLines();

  // The lines of the file, or the template when it cannot be read; a file whose line 8 is empty
  // (or missing) is replaced by the template as a whole.
  static QStringList load(const QString& path);
  // Raises "Cannot create file <path>" when the file cannot be replaced.
  static void save(const QString& path, const QStringList& lines);

  // A value whose line does not exist is read as empty and not written back.
  static QString value(const QStringList& lines, int index);
  static void setValue(QStringList& lines, int index, const QString& text);

  enum class WindowState { Normal, Maximized, Minimized };
  // The close step: port, window state (a minimised window keeps what was read) and language.
  static void storeOnClose(QStringList& lines, bool com1Checked, WindowState state,
                           Language language);
};

}  // namespace orvel
