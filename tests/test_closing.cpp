// Closing in the middle of things. A signal (a logout, `kill`) waits for nobody: whatever box or
// dialog is up ends, and so does the box a config.cfg that cannot be written would bring. Any
// close in the middle of an exchange ends it with 0Ah, as the exchange's own end does.
#include "app/CloseOnSignals.h"
#include "link/Protocol.h"
#include "settings/TEdytuj_dane.h"
#include "support/ProgramFixture.h"
#include "support/ScratchVolume.h"
#include "support/SettingsBlocks.h"
#include "ui_TEdytuj_dane.h"
#include "ui_TForm1.h"

#include <QtTest>

#include <signal.h>

using namespace orvel;

class ClosingTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void closeInTheMiddleOfThings_data() {
    QTest::addColumn<bool>("signal");  // else the close box
    QTest::addColumn<QString>("up");   // what runs or is open when it comes
    QTest::addColumn<QString>("bytes");
    QTest::newRow("signal, a message box") << true << "box"
                                           << "";
    QTest::newRow("signal, the unsent-edits question") << true << "question"
                                                       << "0Ah";
    QTest::newRow("signal, the open dialog") << true << "open"
                                             << "";
    QTest::newRow("signal, F5 waiting for its block") << true << "F5"
                                                      << "0Ah";
    QTest::newRow("close box, the wizard") << false << "F6"
                                           << "0Ah";
    QTest::newRow("close box, the console after 170") << false << "console"
                                                      << "0Ah";
  }
  void closeInTheMiddleOfThings() {
    QFETCH(bool, signal);
    QFETCH(QString, up);
    QTemporaryDir scratch;
    test::ProgramFixture f;
    f.installPath = test::pathUnderAFile(scratch);  // config.cfg cannot be written there
    f.start();
    Ui::TForm1& ui = f.form().ui();
    if (up == "F5" || up == "question") {
      ui.Zmianaparametrwpracy1->trigger();
      f.timers.advanceMs(500);
    }
    if (up == "question") {
      f.link.inject({0x01});
      f.timers.advanceMs(1100);
      f.link.inject(test::typicalBlock());
      f.program->editor().ui().EditProgGB->setText(QStringLiteral("900"));
    }
    if (up == "F6") ui.Autokalibracja1->trigger();
    if (up == "console") f.control().send(Command{0xAA, {}});
    const int mark = static_cast<int>(f.link.written().size());
    bool closed = false;
    QObject::connect(&f.form(), &TForm1::closed, [&] { closed = true; });
    if (!signal) {
      f.form().close();
    } else {
      Dialogs::install(nullptr);   // real modal windows from here on
      ::signal(SIGTERM, SIG_DFL);  // a test run in the background may start with it ignored
      const CloseOnSignals signals([&f] { f.form().closeUnattended(); });
      // Nobody is there: a window still waiting after 5 s is ended, and that is the fault.
      bool held = false;
      QTimer::singleShot(5000, [&] { held = QApplication::activeModalWidget() != nullptr; });
      QTimer::singleShot(5000, [] { endModalWindows(); });
      QTimer::singleShot(20, [] { ::raise(SIGTERM); });
      if (up == "box") showMessage(QStringLiteral("Text"), QStringLiteral("Title"));
      if (up == "question") f.program->editor().ui().SpeedButton1->click();
      if (up == "open") ui.Odczytajzpliku1->trigger();
      QTRY_VERIFY_WITH_TIMEOUT(closed, 6000);
      QVERIFY(!held);
      Dialogs::install(&f.dialogs);
    }
    QVERIFY(closed);
    QTEST(toHexText(f.link.written().mid(mark)), "bytes");
  }
};

QTEST_MAIN(ClosingTest)
#include "test_closing.moc"
