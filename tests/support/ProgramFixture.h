#pragma once

#include "app/Program.h"
#include "support/FakeTimerService.h"
#include "support/FakeTransport.h"
#include "support/RecordingDialogs.h"

#include <QTemporaryDir>

#include <memory>

namespace orvel::test {

// The whole program on fakes: virtual time, an in-memory link, recorded message boxes and a
// temporary installation directory. Nothing blocks and nothing touches real devices.
struct ProgramFixture {
  FakeTimerService timers;
  FakeTransport link{&timers};
  RecordingDialogs dialogs;
  QTemporaryDir installDir;
  QString installPath;               // when set, the installation directory instead of installDir
  QString archiveDir;                // when set, the archive's folder (else "archiwum" in it)
  SerialDeviceLister serialDevices;  // the machine's adapters as the program sees them
  QUrl openedUrl;
  bool browser = true;  // false: the desktop has no browser to open the help page with
  std::unique_ptr<Program> program;

  // Writes config.cfg (CR LF lines) into the installation directory before start.
  void writeConfig(const QStringList& lines);
  void start();
  TForm1& form() { return program->form1(); }
  // The controller's answer to a settings read-out: the block, then the same block again for
  // the read that confirms it.
  void answerReadOut(const QByteArray& block);
  LinkControl& control() { return program->form1().link(); }
};

}  // namespace orvel::test
