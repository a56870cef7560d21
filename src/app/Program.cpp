#include "app/Program.h"

#include "app/CaptionTables.h"
#include "app/TAboutBox.h"
#include "archive/ArchiveExchange.h"
#include "archive/ArchiveWindow.h"
#include "core/FileDialogs.h"
#include "core/Handlers.h"
#include "records/RecordsCommands.h"
#include "records/TForm2.h"
#include "records/TForm3.h"
#include "service/TForm7.h"
#include "settings/TEdytuj_dane.h"
#include "sync/SyncWorker.h"

namespace orvel {

Program::Program(Environment environment) {
  // The dialogs' last folder belongs to one run of the program.
  DialogFolder::forget();
  GuardedFiles::forget();
  archiveDirectory_ = environment.archiveDirectory;
  form1_ = std::make_unique<TForm1>(std::move(environment));
  form3_ = std::make_unique<TForm3>();
  aboutBox_ = std::make_unique<TAboutBox>();
  editor_ = std::make_unique<TEdytuj_dane>();
  form7_ = std::make_unique<TForm7>();
  form2_ = std::make_unique<TForm2>();
  wire();
}

Program::~Program() {
  // The secondary windows go before the main window whose state they refer to; the transfers
  // to the server, which report to the archive window, before it.
  sync_.reset();
  archiveWindow_.reset();
  archiveExchange_.reset();
  archive_.reset();
  records_.reset();
  form2_.reset();
  form7_.reset();
  editor_.reset();
  aboutBox_.reset();
  form3_.reset();
  form1_.reset();
}

void Program::show() {
  form1_->show();
}

void Program::wire() {
  TForm1* main = form1_.get();
  main->setAboutBox(aboutBox_.get());
  QObject::connect(aboutBox_.get(), &TAboutBox::hidden, main, [main] { main->setEnabled(true); });
  main->addCaptionTable([this](Language language) {
    const QList<QWidget*> windows{form1_.get(), aboutBox_.get(), form3_.get(), form2_.get(),
                                  editor_.get()};
    QStringList faults = applyCaptions(captionTable(language), windows);
    faults << applyCaptions(additionalCaptions(language), windows);
    for (const QString& fault : faults)
      qWarning("caption table: %s", qPrintable(fault));
    aboutBox_->retranslate();
  });
  wireSettingsEditor();
  wireOscilloscope();
  wireService();
  wireRecords();
  wireCalibration();
  wireArchive();
  wireArchiveServer();

  // The program ends with its main window, whatever other windows are open.
  QObject::connect(main, &TForm1::closed, main, [this] {
    for (QWidget* w : std::initializer_list<QWidget*>{form3_.get(), aboutBox_.get(), editor_.get(),
                                                      form7_.get(), form2_.get()}) {
      w->hide();
    }
  });
}

}  // namespace orvel
