#pragma once

#include <QUrl>
#include <QWidget>

class QTextBrowser;

namespace orvel {

// The help page inside the program, for a desktop with no browser to show it. Titled by the
// page's own title, so the window speaks the page's language.
class HelpWindow : public QWidget {
  Q_OBJECT
 public:
  explicit HelpWindow(QWidget* parent = nullptr);

  // Shows the page at the anchor of `topic` and brings the window forward.
  void showPage(const QString& path, const QString& topic);
  QTextBrowser& browser() { return *browser_; }

 private:
  QTextBrowser* browser_;
  bool shownOnce_ = false;
};

// Opens a page in the desktop's browser; false when there is no browser to open it with (no
// xdg-open, or nothing registered for web pages) or the desktop refused, so that the caller can
// show the page itself instead of nothing happening.
bool openInBrowser(const QUrl& url);

}  // namespace orvel
