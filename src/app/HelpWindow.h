#pragma once

#include <QUrl>
#include <QWidget>

#include <functional>

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
  // Another page in its place (the help in another language), where the window stands.
  void replacePage(const QString& path);
  QTextBrowser& browser() { return *browser_; }

 private:
  QTextBrowser* browser_;
  bool shownOnce_ = false;
};

// Opens a page in the desktop's browser. Whether there is a browser to open it with is found out
// on a thread of its own, since asking the desktop's helpers can take a second or more; done then
// runs on context's thread with false when there is none (no xdg-open, or nothing registered for
// web pages) or the desktop refused, so that the caller can show the page itself instead of
// nothing happening. Nothing runs when context is gone by then.
void openInBrowser(const QUrl& url, QObject* context, std::function<void(bool opened)> done);

}  // namespace orvel
