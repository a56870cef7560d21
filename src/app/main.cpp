#include "app/CloseOnSignals.h"
#include "app/Program.h"
#include "core/Dialogs.h"
#include "core/Registry.h"
#include "link/SerialDevices.h"
#include "link/Timers.h"
#include "link/TtyTransport.h"

#include <QApplication>

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

}  // namespace

int main(int argc, char* argv[]) {
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

  orvel::Program program(std::move(environment));
  QObject::connect(&program.form1(), &orvel::TForm1::closed, &app, &QCoreApplication::quit,
                   Qt::QueuedConnection);
  // A logout or `kill` closes the program as its close box does.
  const orvel::CloseOnSignals closeOnSignals(program.form1());
  program.show();
  return app.exec();
}
