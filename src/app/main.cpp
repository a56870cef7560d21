#include "app/CloseOnSignals.h"
#include "app/Program.h"
#include "core/Dialogs.h"
#include "core/Registry.h"
#include "link/SerialDevices.h"
#include "link/Timers.h"
#include "link/TtyTransport.h"

#include <QApplication>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// Handlers are guarded where they are connected; this catches anything that still slips through,
// so that an error is reported the same way instead of ending the program.
class OrvelApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    bool handled = false;
    orvel::guarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
  }
};

const char kUsage[] =
    "Usage: %s [Qt options]\n"
    "Service tool for an LPG (autogas) conversion controller: watch the engine live,\n"
    "read and change the controller's settings, run the autocalibration, print a\n"
    "report. The interface is Polish, English or Italian.\n"
    "\n"
    "  -h, --help     show this text and exit\n"
    "  -v, --version  show the version and exit\n"
    "\n"
    "COM1 and COM2 are the devices named in $XDG_CONFIG_HOME/orvel2001/registry.ini\n"
    "(section [ports]) or in ORVEL_COM1 and ORVEL_COM2; /dev/ttyS0 and /dev/ttyS1\n"
    "otherwise. Qt's own options (-platform, -display, -style ...) are passed on.\n"
    "SIGTERM, SIGINT and SIGHUP close the program as its close box does.\n"
    "See orvel(1) and orvel-sim(1).\n";

// Answered before anything needs a display: these work over SSH and in scripts.
bool answeredOnTheCommandLine(int argc, char* argv[], int* exitCode) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      std::printf(kUsage, argc > 0 && argv[0] ? argv[0] : "orvel");
      *exitCode = 0;
      return true;
    }
    if (std::strcmp(arg, "--version") == 0 || std::strcmp(arg, "-v") == 0) {
      std::printf("orvel %s\n", ORVEL_VERSION);
      *exitCode = 0;
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char* argv[]) {
  int exitCode = 0;
  if (answeredOnTheCommandLine(argc, argv, &exitCode)) return exitCode;

  OrvelApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("orvel"));
  QCoreApplication::setApplicationVersion(QStringLiteral(ORVEL_VERSION));

  orvel::QtTimerService timers;
  orvel::TtyTransport link;
  orvel::Environment environment;
  environment.link = &link;
  environment.timers = &timers;
  environment.installationDirectory = &orvel::Registry::installationDirectory;
  environment.serialDevices = &orvel::serialDevices;
  // The archive lives beside the user's data, away from the installation folder where every
  // file dialog of the program starts.
  environment.archiveDirectory = [] {
    return orvel::userDataDirectory() + QStringLiteral("/archiwum");
  };

  // A logout or `kill` closes the program as its close box does, without waiting for anyone.
  // The handlers are in place before the windows are made: a signal while the start-up's link
  // message is up ends that box and closes the program as soon as it exists.
  std::unique_ptr<orvel::Program> program;
  bool closeRequested = false;
  const orvel::CloseOnSignals closeOnSignals([&program, &closeRequested] {
    if (program) {
      program->form1().closeUnattended();
      return;
    }
    closeRequested = true;
    orvel::Dialogs::setUnattended(true);
    orvel::endModalWindows();
  });

  program = std::make_unique<orvel::Program>(std::move(environment));
  QObject::connect(&program->form1(), &orvel::TForm1::closed, &app, &QCoreApplication::quit,
                   Qt::QueuedConnection);
  if (closeRequested) {
    program->form1().closeUnattended();
  } else {
    program->show();
  }
  return app.exec();
}
