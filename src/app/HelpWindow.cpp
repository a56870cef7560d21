#include "app/HelpWindow.h"

#include "core/WindowPlacement.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QThread>
#include <QVBoxLayout>

#include <atomic>
#include <memory>

namespace orvel {

HelpWindow::HelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), browser_(new QTextBrowser(this)) {
  setObjectName(QStringLiteral("HelpWindow"));
  browser_->setObjectName(QStringLiteral("HelpBrowser"));
  // Links to the page's own sections are followed here; anything else goes to the desktop.
  browser_->setOpenExternalLinks(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(browser_);
  resize(760, 640);
}

void HelpWindow::showPage(const QString& path, const QString& topic) {
  QUrl url = QUrl::fromLocalFile(path);
  if (browser_->source().adjusted(QUrl::RemoveFragment) != url) {
    browser_->setSource(url);
    setWindowTitle(browser_->documentTitle());
  }
  if (!topic.isEmpty()) browser_->scrollToAnchor(topic);
  if (!shownOnce_) {
    shownOnce_ = true;
    centreOnScreen(this);
  }
  show();
  raise();
  activateWindow();
}

void HelpWindow::replacePage(const QString& path) {
  const QUrl url = QUrl::fromLocalFile(path);
  if (browser_->source().adjusted(QUrl::RemoveFragment) == url) return;
  browser_->setSource(url);
  setWindowTitle(browser_->documentTitle());
}

namespace {

// xdg-open hands a page to the desktop's choice for web pages, else to the first browser on its
// own list; with neither it fails after the program was told it had started.
bool browserRegistered() {
  if (QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty()) return false;
  if (!qEnvironmentVariableIsEmpty("BROWSER")) return true;
  QProcess query;
  query.start(QStringLiteral("xdg-mime"),
              {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/html")});
  if (query.waitForFinished(1500) && !query.readAllStandardOutput().trimmed().isEmpty()) {
    return true;
  }
  for (const char* browser : {"x-www-browser", "firefox", "firefox-esr", "chromium",
                              "google-chrome", "epiphany", "konqueror"}) {
    if (!QStandardPaths::findExecutable(QString::fromLatin1(browser)).isEmpty()) return true;
  }
  return false;
}

}  // namespace

void openInBrowser(const QUrl& url, QObject* context, std::function<void(bool opened)> done) {
  auto registered = std::make_shared<std::atomic<bool>>(false);
  QThread* check = QThread::create([registered] { *registered = browserRegistered(); });
  QObject::connect(check, &QThread::finished, check, &QObject::deleteLater);
  QObject::connect(check, &QThread::finished, context, [url, registered, done] {
    done(*registered && QDesktopServices::openUrl(url));
  });
  check->start();
}

}  // namespace orvel
