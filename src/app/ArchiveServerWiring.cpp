#include "app/Program.h"
#include "archive/ArchiveRecorder.h"
#include "archive/ArchiveWindow.h"
#include "core/Handlers.h"
#include "core/Registry.h"
#include "sync/ServerDialog.h"
#include "sync/SyncWorker.h"
#include "ui_TForm1.h"

#include <QSysInfo>

namespace orvel {

namespace {

QString defaultSite() {
  const QString host = QSysInfo::machineHostName();
  return host.isEmpty() ? QStringLiteral("PC") : host;
}

}  // namespace

void Program::wireArchiveServer() {
  TForm1* main = form1_.get();
  // "Opcje → Serwer archiwum...", right after the archive's own item.
  auto* item = new QAction(QStringLiteral("Serwer archiwum..."), main);
  item->setObjectName(QStringLiteral("SerwerArchiwum1"));
  QMenu* options = main->ui().d1;
  const QList<QAction*> items = options->actions();
  const qsizetype archive = items.indexOf(main->ui().Archiwum1);
  options->insertAction(
      archive >= 0 && archive + 1 < items.size() ? items.at(archive + 1) : nullptr, item);

  // The status last told is shown again in a new interface language.
  ArchiveWindow* window = archiveWindow_.get();
  std::shared_ptr<ServerStatus> shown = serverStatus_;
  main->addCaptionTable([this, item, shown, window](Language) {
    item->setText(tr3("Serwer archiwum...", "Archive server...", "Server dell'archivio..."));
    window->showServerStatus(serverStatusText(*shown), shown->trouble());
    if (serverDialog_) serverDialog_->retranslate();
  });

  // Whatever this PC keeps goes out at once.
  archive_->store().setChangeListener([this] {
    if (sync_) sync_->kick();
  });

  onEvent(item, &QAction::triggered, main, [this, main] {
    if (!serverDialog_) {
      serverDialog_ = new ServerDialog(main);
      onEvent(serverDialog_, &QDialog::accepted, main, [this] {
        if (!Registry::setArchiveServer(serverDialog_->connection(), serverDialog_->site()))
          form1_->setStatusText(Registry::filePath());
        startArchiveServer();
      });
    }
    serverDialog_->prepare(Registry::archiveServer(), Registry::archiveSite(), defaultSite());
    // Window-modal without a nested event loop, as the port device dialog.
    serverDialog_->open();
  });

  startArchiveServer();
}

void Program::startArchiveServer() {
  sync_.reset();
  ArchiveWindow* window = archiveWindow_.get();
  TForm1* main = form1_.get();
  const QString line = Registry::archiveServer();
  const auto show = [window, main, shown = serverStatus_,
                     told = std::make_shared<QString>()](const ServerStatus& s) {
    *shown = s;
    const QString text = serverStatusText(s);
    window->showServerStatus(text, s.trouble());
    // A refusal is a setting to put right, not a passing state: it is told once, in the status
    // bar too, and never in a box that would stop the fitter's work.
    const QString problem = serverProblemText(s);
    if (s.state == ServerStatus::State::Refused && *told != problem) {
      *told = problem;
      main->setStatusTextFrom([s] { return serverProblemText(s); });
    }
  };
  if (line.isEmpty()) {
    show(ServerStatus());
    return;
  }
  // The archive file is made, or brought to this program's version, before another connection
  // uses it.
  ArchiveStore& store = archive_->store();
  store.open();
  const QString site = Registry::archiveSite();
  sync_ = std::make_unique<SyncWorker>(store.path(), line, site.isEmpty() ? defaultSite() : site);
  show(sync_->status());
  sync_->statusChanged = show;
  sync_->rowsArrived = [window] { window->archiveChanged(); };
}

}  // namespace orvel
