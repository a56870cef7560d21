#include "app/LogViewWiring.h"

#include "app/TForm1.h"
#include "core/Handlers.h"
#include "logview/LogViewer.h"
#include "monitor/DriveLog.h"
#include "ui_TForm1.h"

#include <QFileInfo>
#include <QPointer>

#include <memory>

namespace orvel {

void wireLogViewer(TForm1& main, DriveLog& driveLog) {
  TForm1* form = &main;
  DriveLog* log = &driveLog;
  // A window of the main window's, so it goes with it; made only when a log is first viewed.
  auto viewer = std::make_shared<QPointer<LogViewer>>();
  const auto make = [form, log, viewer] {
    if (*viewer) return viewer->data();
    auto* v = new LogViewer(form);
    v->canReplay = [log, form] {
      return log->canReplay() && form->ui().Odtworzzapis1->isEnabled();
    };
    v->replayFrom = [log, form](const QString& name, std::vector<DriveLogRow> rows) {
      if (!log->replayRows(name, std::move(rows))) return false;
      // The replay is on the main window's panel: it comes to the front.
      form->raise();
      form->activateWindow();
      return true;
    };
    *viewer = v;
    return v;
  };
  onEvent(form->ui().Przegladajzapis1, &QAction::triggered, form, [form, make] {
    const QString folder = DriveLog::logsFolder(form->installationDirectory());
    make()->openWithDialog(QFileInfo(folder).isDir() ? folder : form->installationDirectory());
  });
  QObject::connect(form, &TForm1::commandsChanged, form, [viewer] {
    if (*viewer) (*viewer)->updateCommands();
  });
  // An open viewer follows the interface language as the main window does.
  form->addCaptionTable([viewer](Language) {
    if (*viewer) (*viewer)->retranslate();
  });
  QObject::connect(form, &TForm1::closed, form, [viewer] {
    if (*viewer) (*viewer)->close();
  });
}

}  // namespace orvel
