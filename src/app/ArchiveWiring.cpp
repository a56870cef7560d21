#include "app/CaptionTables.h"
#include "app/Program.h"
#include "archive/ArchiveExchange.h"
#include "archive/ArchivePlace.h"
#include "archive/ArchiveWindow.h"
#include "core/FileDialogs.h"
#include "core/Handlers.h"
#include "core/Registry.h"
#include "records/RecordsCommands.h"
#include "records/TForm3.h"
#include "service/ServiceConsole.h"
#include "settings/TEdytuj_dane.h"
#include "ui_TForm1.h"

#include <QAbstractButton>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>

namespace orvel {

namespace {

SettingsBlock blockOnTheLink(const LinkControl& link) {
  SettingsBlock block{};
  for (int k = 0; k < kSettingsBlockLength; ++k)
    block[static_cast<std::size_t>(k)] = lowByte(std::max(0, link.byte(k)));
  return block;
}

QString captionOf(const QWidget& editor, const QString& name) {
  QWidget* control = editor.findChild<QWidget*>(name);
  if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
  if (auto* group = qobject_cast<QGroupBox*>(control)) return group->title();
  if (auto* box = qobject_cast<QAbstractButton*>(control)) return box->text();
  if (auto* field = qobject_cast<QLineEdit*>(control)) return field->text();
  return name;
}

}  // namespace

void Program::wireArchive() {
  TForm1* main = form1_.get();
  LinkControl& link = main->link();
  // An archive an earlier version kept in the installation folder is carried over once.
  const QString install = main->installationDirectory();
  QString folder;
  if (archiveDirectory_) {
    folder = archiveDirectory_();
    QDir().mkpath(folder);
  } else {
    // A folder of its own in the installation directory, never the directory itself.
    folder = installationFile(install, QStringLiteral("archiwum"));
    QDir().mkdir(folder);
  }
  const ArchivePlace place = settleArchive(installationFile(install, ArchiveStore::fileName()),
                                           QDir(folder).filePath(ArchiveStore::fileName()));
  GuardedFiles::guard(place.path);
  archive_ = std::make_unique<ArchiveRecorder>(place.path, link.timerService());
  archive_->setNotice(carryOverText(place));

  // The car lines as the F2 window holds them at this moment: dane.cfg read again, or what the
  // window last had where it cannot be read.
  UserData& userData = form3_->userData();
  const QString userDataFile = records_->userDataFile();
  const auto userLines = [&userData, userDataFile] {
    UserData now = userData;
    now.load(userDataFile);
    return now.lines();
  };
  const auto currentCar = [userLines] {
    const QStringList lines = userLines();
    return CarLines{lines.value(UserData::kCarLine1), lines.value(UserData::kCarLine2)};
  };
  archiveExchange_ = std::make_unique<ArchiveExchange>(link, *archive_);

  // Every complete read-out is kept before the editor opens; a block the archive's own exchange
  // asked for goes to the archive instead of the editor.
  auto decodeIntoEditor = link.hooks.decodeSettings;
  auto showEditor = link.hooks.showSettingsEditor;
  auto forArchive = std::make_shared<std::optional<SettingsBlock>>();
  ArchiveExchange* exchange = archiveExchange_.get();
  ArchiveRecorder* recorder = archive_.get();
  link.hooks.decodeSettings = [&link, exchange, recorder, forArchive, currentCar,
                               decodeIntoEditor] {
    const SettingsBlock block = blockOnTheLink(link);
    if (exchange->wantsBlock()) {
      *forArchive = block;
      return;
    }
    recorder->keep(currentCar(), ReadoutSource::Read, block);
    if (decodeIntoEditor) decodeIntoEditor();
  };
  link.hooks.showSettingsEditor = [exchange, forArchive, showEditor] {
    if (forArchive->has_value()) {
      const SettingsBlock block = **forArchive;
      forArchive->reset();
      exchange->blockArrived(block);
      return;
    }
    if (showEditor) showEditor();
  };
  link.hooks.settingsExchangeGaveUp = [exchange, forArchive] {
    forArchive->reset();
    exchange->gaveUp();
  };
  link.hooks.settingsBlockRefused = [exchange, forArchive] {
    forArchive->reset();
    exchange->blockRefused();
  };
  if (console_) console_->opened = [exchange] { exchange->consoleOpened(); };

  ArchiveWindow::Context context;
  context.recorder = archive_.get();
  context.exchange = exchange;
  TEdytuj_dane* editor = editor_.get();
  context.editorCaptions = [editor] {
    EditorSnapshot snapshot;
    for (const QString& name : listingControls())
      snapshot.texts.insert(name, captionOf(*editor, name));
    return snapshot;
  };
  context.caption = [editor](const QString& name) { return captionOf(*editor, name); };
  context.userDataLines = userLines;
  context.currentCar = currentCar;
  context.consoleOpen = [&link] { return link.serviceMode; };
  // As F5: not while the editor, the wizard or another exchange holds the controller.
  context.controllerFree = [main] { return main->ui().SpeedButton3->isEnabled(); };
  archiveWindow_ = std::make_unique<ArchiveWindow>(std::move(context));
  ArchiveWindow* window = archiveWindow_.get();
  archive_->added = [window](qint64) { window->rowAdded(); };

  main->addCaptionTable([window](Language language) {
    for (const QString& fault : applyCaptions(archiveCaptions(language), {window}))
      qWarning("caption table: %s", qPrintable(fault));
    window->retranslate();
  });
  onEvent(main->ui().Archiwum1, &QAction::triggered, main, [window] { window->open(); });
  QObject::connect(main, &TForm1::closed, window, [window, exchange] {
    exchange->programEnds();
    window->hide();
  });
}

}  // namespace orvel
