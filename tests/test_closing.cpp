// Closing the program in the middle of things. A signal (a logout, `kill`) never waits for a
// person: whatever box or dialog is up ends, and a config.cfg that cannot be written is told on
// standard error. A close in the middle of an exchange ends it with 0Ah, as the exchange's own
// end does, so that the controller is not left in its setting mode.
#include "app/CloseOnSignals.h"
#include "link/Protocol.h"
#include "settings/TEdytuj_dane.h"
#include "support/ProgramFixture.h"
#include "support/ScratchVolume.h"
#include "support/SettingsBlocks.h"
#include "ui_TEdytuj_dane.h"
#include "ui_TForm1.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <signal.h>

using namespace orvel;
using orvel::test::ProgramFixture;
using orvel::test::RecordingDialogs;

namespace {

// Boxes and questions on real modal windows; what an unattended close reports is recorded.
struct ModalDialogs : RecordingDialogs {
  void message(const QString& text, const QString& title, MessageIcon icon) override {
    boxes.append({text, title, icon});
    WidgetDialogs().message(text, title, icon);
  }
  Answer ask(const QString& text, const QString& title, const QStringList& buttons) override {
    questions.append(buttons);
    return WidgetDialogs().ask(text, title, buttons);
  }
};

// The commands on the wire after a mark, as "0Ah 09h".
QString sentSince(const test::FakeTransport& link, int mark) {
  return toHexText(link.written().mid(mark));
}

// F5 as far as the settings editor.
void openEditor(ProgramFixture& f) {
  f.control().startSettingsExchange();
  f.link.inject({0x01});
  f.timers.advanceMs(1100);
  f.link.inject(test::typicalBlock());
}

}  // namespace

class ClosingTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void signalNeverWaitsForAnyone_data() {
    QTest::addColumn<QString>("up");     // what is open when the signal comes
    QTest::addColumn<QString>("bytes");  // on the wire from the signal on
    QTest::newRow("nothing") << "nothing"
                             << "";
    QTest::newRow("a message box") << "box"
                                   << "";
    QTest::newRow("the unsent-edits question") << "question"
                                               << "0Ah";
    QTest::newRow("the open dialog") << "open dialog"
                                     << "";
    QTest::newRow("the wizard") << "wizard"
                                << "0Ah";
  }

  void signalNeverWaitsForAnyone() {
    QFETCH(QString, up);
    QFETCH(QString, bytes);
    // A test run as a background job starts with SIGINT ignored; SIGTERM is set the usual way.
    ::signal(SIGTERM, SIG_DFL);
    QTemporaryDir scratch;
    ProgramFixture f;
    f.installPath = test::pathUnderAFile(scratch);  // config.cfg cannot be written there
    f.start();
    f.form().show();
    bool closed = false;
    QObject::connect(&f.form(), &TForm1::closed, [&] { closed = true; });
    const CloseOnSignals signals([&f] { f.form().closeUnattended(); });
    QVERIFY(signals.active());

    if (up == "question" || up == "wizard") {
      if (up == "question") {
        openEditor(f);
        f.program->editor().ui().EditProgGB->setText(QStringLiteral("900"));
      } else {
        f.form().ui().Autokalibracja1->trigger();
      }
    }
    const int mark = static_cast<int>(f.link.written().size());
    // From here on boxes are real modal windows.
    ModalDialogs modal;
    // Nobody there: a box the signal did not end would hold the test; it is ended, as a fault.
    bool held = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
      held = QApplication::activeModalWidget() != nullptr;
      endModalWindows();
    });
    watchdog.start(5000);
    QTimer::singleShot(20, [] { ::raise(SIGTERM); });
    if (up == "box") {
      showMessage(QStringLiteral("Text"), QStringLiteral("Title"));
    } else if (up == "question") {
      f.program->editor().ui().SpeedButton1->click();
    } else if (up == "open dialog") {
      f.form().ui().Odczytajzpliku1->trigger();
    }
    QTRY_VERIFY_WITH_TIMEOUT(closed, 6000);
    QVERIFY(!held);
    QCOMPARE(sentSince(f.link, mark), bytes);
    QCOMPARE(modal.reported.size(), 1);
    QCOMPARE(modal.reported.first().text,
             QStringLiteral("Cannot create file %1/config.cfg.").arg(f.installPath));
    QCOMPARE(modal.questions.size(), up == "question" ? 1 : 0);
  }

  // The close box in the middle of an exchange: 0Ah ends it; without one nothing is sent.
  void closeEndsAnOpenExchange_data() {
    QTest::addColumn<QString>("running");
    QTest::addColumn<QString>("bytes");
    QTest::newRow("nothing") << "nothing"
                             << "";
    QTest::newRow("F5 before its block") << "F5"
                                         << "0Ah";
    QTest::newRow("the settings editor") << "editor"
                                         << "0Ah";
    QTest::newRow("the wizard") << "F6"
                                << "0Ah";
    QTest::newRow("the wizard, cancelled") << "F6 cancelled"
                                           << "";
    QTest::newRow("the scope") << "F7"
                               << "";
    QTest::newRow("the console after 170") << "console"
                                           << "0Ah";
  }

  void closeEndsAnOpenExchange() {
    QFETCH(QString, running);
    QFETCH(QString, bytes);
    ProgramFixture f;
    f.start();
    Ui::TForm1& ui = f.form().ui();
    if (running == "F5") {
      ui.Zmianaparametrwpracy1->trigger();
      f.timers.advanceMs(500);
    } else if (running == "editor") {
      openEditor(f);
      QVERIFY(f.program->editor().isVisible());
    } else if (running.startsWith("F6")) {
      ui.Autokalibracja1->trigger();
      if (running.endsWith("cancelled"))
        f.form().findChild<QAbstractButton*>(QStringLiteral("KalibAnuluj"))->click();
    } else if (running == "F7") {
      ui.Tryboscyloskopu1->trigger();
    } else if (running == "console") {
      f.control().send(Command{0xAA, {}});
    }
    const int mark = static_cast<int>(f.link.written().size());
    f.form().close();
    QCOMPARE(sentSince(f.link, mark), bytes);
    QVERIFY(f.dialogs.boxes.isEmpty());
  }
};

QTEST_MAIN(ClosingTest)
#include "test_closing.moc"
