// The drive log on the whole program with a scripted controller and virtual time: recording in
// oscilloscope mode, a recording played back through the panel showing what was shown live,
// a disk that fills up, the ends of a recording, and the replay's pause, end and exclusion of
// the main commands.
#include <QtTest>

#include "monitor/DriveLog.h"
#include "monitor/DriveLogPlayer.h"
#include "monitor/Gauge.h"
#include "monitor/OscilloscopePanel.h"
#include "monitor/Wykresy.h"
#include "settings/Conversions.h"
#include "support/LiveFrameController.h"
#include "support/ProgramFixture.h"
#include "support/ScratchVolume.h"
#include "support/ScriptedFileDialogs.h"

#include <QAction>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

#include <random>

#include <sys/stat.h>

using namespace orvel;
using namespace orvel::test;

Q_DECLARE_METATYPE(orvel::Language)

namespace {

QByteArray fileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A log of `count` rows, one every `stepMs`, the valve byte counting up so that the row on show
// can be read off the valve read-out (255 - row).
QByteArray generatedLog(int count, int stepMs) {
  QByteArray out = driveLogHeader();
  DriveLogRow row;
  row.settings.lambdaKey = QStringLiteral("255");
  row.settings.idlePeriodReference = 1100;
  for (int i = 0; i < count; ++i) {
    row.timeMs = qint64(i) * stepMs;
    row.raw = {51, 20, 7, 128, 0x4C, 0x04, static_cast<std::uint8_t>(i % 256), 1};
    out += formatDriveLogRow(row);
  }
  return out;
}

}  // namespace

class TestDriveLog : public QObject {
  Q_OBJECT

  std::unique_ptr<ProgramFixture> f;
  std::unique_ptr<ScriptedFileDialogs> fileDialog;

  TForm1& form() { return f->form(); }
  LinkControl& link() { return f->control(); }
  OscilloscopePanel& scope() { return *form().findChild<OscilloscopePanel*>(); }
  DriveLog& driveLog() { return *form().findChild<DriveLog*>(); }
  QFrame* panel() { return scope().panel(); }
  template <typename T = QWidget>
  T* control(const char* name) {
    T* w = panel()->findChild<T*>(QLatin1String(name));
    if (!w) qFatal("no control %s", name);
    return w;
  }
  QPushButton* button(const char* name) { return control<QPushButton>(name); }
  QString text(const char* name) { return control<QLabel>(name)->text(); }
  int gauge(const char* name) { return control<Gauge>(name)->value(); }
  QAction* action(const char* name) { return form().findChild<QAction*>(QLatin1String(name)); }
  QToolButton* toolButton(const char* name) {
    return form().findChild<QToolButton*>(QLatin1String(name));
  }
  void advanceMs(double ms) { f->timers.advanceMs(ms); }
  void enter() { toolButton("Wykresy")->click(); }
  QString logsFolder() { return f->installDir.path() + QStringLiteral("/logs"); }

  QString commandStates() {
    QString s;
    for (const char* b : {"SpeedButton3", "SpeedButton4", "Wykresy", "SpeedButton14"})
      s += toolButton(b)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    s += QLatin1Char(' ');
    for (const char* a :
         {"Zmianaparametrwpracy1", "Autokalibracja1", "Tryboscyloskopu1", "SkalowanieobrotwPB1"})
      s += action(a)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    return s;
  }

  // Everything the panel shows of a frame: read-outs, bars, the lit indicator and each chart's
  // last plotted row.
  QString readouts() {
    QString lit;
    for (int k = 7; k <= 14; ++k)
      if (gauge(qPrintable(QStringLiteral("Gauge%1").arg(k))) == 1) lit += QString::number(k);
    QStringList s{text("Panelobroty"),
                  text("Panel4"),
                  text("Panel5"),
                  text("Panel6"),
                  QString::number(gauge("Gauge1")),
                  QString::number(gauge("Gauge2")),
                  QString::number(gauge("Gauge4")),
                  lit};
    for (auto chart : {Wykresy::Lambda1, Wykresy::Tps, Wykresy::Lambda2}) {
      const auto& sweep = scope().charts().plotter(chart).sweep();
      s << QStringLiteral("%1@%2").arg(sweep.current.y()).arg(sweep.current.x());
    }
    return s.join(QLatin1Char(' '));
  }

  void startProgram(const QString& installPath = {}) {
    f.reset();  // its message-box recorder goes before the next one is installed
    f = std::make_unique<ProgramFixture>();
    f->installPath = installPath;
    f->start();
  }

  QString writeLog(const QString& name, const QByteArray& bytes) {
    QDir().mkpath(logsFolder());
    const QString path = logsFolder() + QLatin1Char('/') + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) qFatal("write");
    return path;
  }

  void replay(const QString& path) {
    fileDialog->answers = {path};
    action("Odtworzzapis1")->trigger();
  }

 private Q_SLOTS:
  void init() {
    fileDialog = std::make_unique<ScriptedFileDialogs>();
    startProgram();
  }
  void cleanup() {
    f.reset();
    fileDialog.reset();
  }

  // Frames of every kind recorded with a calibrated controller: a log named by date and time in
  // the logs folder, a row per frame shown, its time from the moment the toggle went on, its
  // columns what the panel showed. Then replayed after the program has forgotten the
  // calibration: the replay shows, frame by frame, what the live display showed, with nothing
  // sent to the controller and no warning for the period-0 frame.
  void recordThenReplay() {
    ControllerState& state = form().controller();
    state.idlePeriodReference = 1100;
    state.szablon.setLine(SettingsTemplate::kLambdaMinimumLine, QStringLiteral("41"));
    state.szablon.setLine(SettingsTemplate::kLambdaMaximumLine, QStringLiteral("82"));
    state.lambdaLow = 41;
    state.lambdaHigh = 82;
    state.tpsLow = 10;
    state.tpsHigh = 100;

    std::mt19937 random(11);
    const auto byte = [&] { return int(random() % 256); };
    QList<QList<int>> frames;
    // From idle to 10,000 rpm and down to 200, never more than doubling or halving from one
    // frame to the next, as no engine does: the live display would hold such a frame as noise.
    const QList<int> periods{1100, 1067, 600,  330,  180,  100,    88,   160, 300,
                             560,  1000, 1800, 3300, 4400, 0x1234, 2500, 1400};
    for (int i = 0; i < 40; ++i) {
      const int period = i == 17 ? 0 : periods[i % periods.size()] + (i > 20 ? byte() % 8 : 0);
      frames << QList<int>{byte(), byte(), byte(), byte(), period & 0xFF, period >> 8, byte()};
    }
    LiveFrameController controller(*f, frames);
    QStringList live;
    const auto show = link().hooks.showLiveFrame;
    link().hooks.showLiveFrame = [&, show] {
      show();
      live << readouts();
    };
    enter();
    button("BtnZapis")->click();
    QVERIFY(button("BtnZapis")->isChecked());
    while (live.size() < frames.size())
      advanceMs(1);
    button("Koniec")->click();
    QCOMPARE(f->dialogs.boxes.size(), 1);  // the live display's interference warning
    const QString path = driveLog().recorder().filePath();
    QCOMPARE(QFileInfo(path).absolutePath(), QFileInfo(logsFolder()).absoluteFilePath());
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d\\.csv$"))
                 .match(QFileInfo(path).fileName())
                 .hasMatch(),
             qPrintable(path));
    const QByteArray written = fileBytes(path);
    QVERIFY(written.startsWith(driveLogHeader()));
    QCOMPARE(written.count('\n'), written.count("\r\n"));
    std::vector<QImage> liveCharts;
    for (auto chart : {Wykresy::Lambda1, Wykresy::Tps, Wykresy::Lambda2})
      liveCharts.push_back(scope().charts().plotter(chart).image().copy());

    // Today the program knows nothing about the controller.
    state.idlePeriodReference = 0;
    state.szablon.setLine(SettingsTemplate::kLambdaMinimumLine, QStringLiteral("0"));
    state.szablon.setLine(SettingsTemplate::kLambdaMaximumLine, QStringLiteral("255"));
    state.lambdaLow = state.lambdaHigh = state.tpsLow = state.tpsHigh = 0;
    f->link.clearWritten();

    const ParsedDriveLog log = parseDriveLog(written);
    QCOMPARE(log.skipped, 0);
    QCOMPARE(int(log.rows.size()), frames.size());
    for (int i = 0; i < live.size(); ++i) {
      const DriveLogRow& row = log.rows[std::size_t(i)];
      // Replies 9.4 ms after each request, the requests every 20 ms; milliseconds truncated.
      QCOMPARE(row.timeMs, qint64(9 + 20 * i));
      const QList<QByteArray> columns = formatDriveLogRow(row).split(',');
      const QStringList display = live[i].split(QLatin1Char(' '));
      // The speed read-out shows the rpm in steps of 50 (the bar is clamped at 8000).
      if (i != 17) {
        QCOMPARE(display[0], QString::number(roundHalfEven(columns[1].toInt() * 0.02) * 50));
      }
      QCOMPARE(QString::fromLatin1(columns[2]), display[3]);  // lambda 1 read-out
      QCOMPARE(QString::fromLatin1(columns[3]), display[2]);  // TPS read-out
      QCOMPARE(QString::fromLatin1(columns[5]), display[1]);  // valve read-out
    }
    replay(path);
    QVERIFY(driveLog().isReplaying());
    QStringList replayed{readouts()};
    for (std::size_t i = 1; i < log.rows.size(); ++i) {
      advanceMs(double(log.rows[i].timeMs - log.rows[i - 1].timeMs));
      replayed << readouts();
    }
    QCOMPARE(replayed, live);
    for (auto chart : {Wykresy::Lambda1, Wykresy::Tps, Wykresy::Lambda2})
      QCOMPARE(scope().charts().plotter(chart).image(), liveCharts[std::size_t(chart)]);
    QCOMPARE(f->link.written(), QByteArray());
    QVERIFY(!link().oscilloscopeMode);
    QCOMPARE(f->dialogs.boxes.size(), 1);
  }

  // Writing that fails: a full disk during the recording stops it with one message and keeps
  // every complete row; a disk already full or a folder that cannot be written lets no
  // recording start. The live mode goes on in every case.
  void failedWrites_data() {
    QTest::addColumn<QString>("place");
    QTest::addColumn<bool>("whileRecording");
    QTest::addColumn<QString>("reason");
    // A full disk, or where this process may not mount one, the file-size limit standing in;
    // the system's reason in the interface language where Qt has it.
    const QString full = "Brak wolnego miejsca na urządzeniu|File too large";
    QTest::newRow("disk fills up while recording") << "full" << true << full;
    QTest::newRow("disk full before") << "full" << false << full;
    QTest::newRow("read-only installation folder")
        << "read-only" << false << "Nie można utworzyć folderu zapisów";
  }
  void failedWrites() {
    QFETCH(QString, place);
    QFETCH(bool, whileRecording);
    QFETCH(QString, reason);
    ScratchVolume dir;
    if (place == "full") QVERIFY(QDir().mkpath(dir.file("logs")));
    const auto constrain = [&] {
      if (place == "full") {
        dir.fill(0);
        return true;
      }
      return dir.makeReadOnly();
    };
    startProgram(dir.path());
    LiveFrameController controller(*f, {kBaseline});
    enter();
    if (!whileRecording) QVERIFY2(constrain(), "no read-only folder here");
    QPushButton* toggle = button("BtnZapis");
    toggle->click();
    QCOMPARE(toggle->isChecked(), whileRecording);
    if (whileRecording) {
      QVERIFY(constrain());
      for (int i = 0; i < 500 && f->dialogs.boxes.isEmpty(); ++i)
        advanceMs(20);
    }
    QCOMPARE(f->dialogs.boxes.size(), 1);
    const auto box = f->dialogs.boxes.first();
    QVERIFY2(box.text.contains(QRegularExpression(reason)), qPrintable(box.text));
    QCOMPARE(box.icon, MessageIcon::Error);
    QVERIFY(!toggle->isChecked());
    QVERIFY(!driveLog().isRecording());

    // The live mode goes on; no further message.
    const int replies = controller.replies;
    advanceMs(1000);
    QVERIFY(controller.replies >= replies + 49);
    QCOMPARE(f->dialogs.boxes.size(), 1);

    const QString path = driveLog().recorder().filePath();
    if (!whileRecording) {
      // Nothing half made is left behind.
      QVERIFY(!QFileInfo::exists(path));
      return;
    }
    const QByteArray kept = fileBytes(path);
    QVERIFY(box.text.contains(QDir::toNativeSeparators(path)));
    QVERIFY(kept.startsWith(driveLogHeader()));
    QVERIFY(kept.endsWith("\r\n"));
    const ParsedDriveLog log = parseDriveLog(kept);
    QCOMPARE(log.skipped, 0);
    QVERIFY(driveLog().recorder().rowsWritten() > 0);
    QCOMPARE(qint64(log.rows.size()), driveLog().recorder().rowsWritten());
  }

  // Releasing the toggle or whatever ends the live mode ends the recording, with every row shown
  // in the file and nothing after.
  void recordingEndsWithTheMode_data() {
    QTest::addColumn<QString>("how");
    for (const char* how :
         {"Zapis released", "Koniec", "Enter", "link fails", "F5", "program closes"})
      QTest::newRow(how) << QString::fromLatin1(how);
  }
  void recordingEndsWithTheMode() {
    QFETCH(QString, how);
    LiveFrameController controller(*f, {kBaseline});
    int shown = 0;
    const auto show = link().hooks.showLiveFrame;
    link().hooks.showLiveFrame = [&, show] {
      show();
      if (driveLog().isRecording()) ++shown;
    };
    enter();
    button("BtnZapis")->click();
    advanceMs(505);
    if (how == QLatin1String("Zapis released")) {
      button("BtnZapis")->click();
      QVERIFY(link().oscilloscopeMode);
      QCOMPARE(form().statusText(),
               QStringLiteral("Zapis zakończony: ") +
                   QFileInfo(driveLog().recorder().filePath()).absoluteFilePath());
    } else if (how == QLatin1String("Koniec")) {
      button("Koniec")->click();
    } else if (how == QLatin1String("Enter")) {
      QTest::keyClick(&form(), Qt::Key_Return);
    } else if (how == QLatin1String("link fails")) {
      f->link.failWritesFrom = f->link.writesSoFar();
      advanceMs(40);
      QCOMPARE(f->dialogs.boxes.size(), 1);
    } else if (how == QLatin1String("F5")) {
      action("Zmianaparametrwpracy1")->trigger();
    } else {
      form().close();
    }
    QVERIFY(!driveLog().isRecording());
    QVERIFY(!button("BtnZapis")->isChecked());
    const QString path = driveLog().recorder().filePath();
    const QByteArray kept = fileBytes(path);
    advanceMs(500);
    QCOMPARE(fileBytes(path), kept);
    const ParsedDriveLog log = parseDriveLog(kept);
    QCOMPARE(log.skipped, 0);
    QCOMPARE(int(log.rows.size()), shown);
    QVERIFY(shown >= 25);
  }

  // Two recordings in the same second get two files.
  void secondRecordingInTheSameSecond() {
    DriveLogRecorder first;
    DriveLogRecorder second;
    const QDateTime stamp(QDate(2026, 3, 14), QTime(10, 22, 5));
    first.start(logsFolder(), stamp, Nanos(0));
    second.start(logsFolder(), stamp, Nanos(0));
    QCOMPARE(QFileInfo(first.filePath()).fileName(), QStringLiteral("2026-03-14_10-22-05.csv"));
    QCOMPARE(QFileInfo(second.filePath()).fileName(), QStringLiteral("2026-03-14_10-22-05_2.csv"));
  }

  // At recorded speed; "Pauza" holds the replay and the pause is left out of its time; at the
  // end it rests on the last frame and "Dalej" plays it again; "Koniec" ends it.
  void replayPauseContinueEnd() {
    const QString path = writeLog(QStringLiteral("jazda.csv"), generatedLog(101, 20));
    const QString before = commandStates();
    replay(path);
    QCOMPARE(fileDialog->openOffers.size(), 1);
    QCOMPARE(QFileInfo(fileDialog->openOffers.first().first()).absoluteFilePath(),
             QFileInfo(logsFolder()).absoluteFilePath());
    QVERIFY(!panel()->isHidden());
    QCOMPARE(text("Panel4"), QStringLiteral("255"));
    QCOMPARE(form().statusText(), QStringLiteral("Odtwarzanie: jazda.csv  0:00 / 0:02"));
    QCOMPARE(button("BtnPauza")->text(), QStringLiteral("Pauza"));
    QVERIFY(!button("BtnZapis")->isEnabled());

    advanceMs(500);
    QCOMPARE(text("Panel4"), QString::number(255 - 25));
    button("BtnPauza")->click();
    QCOMPARE(button("BtnPauza")->text(), QStringLiteral("Dalej"));
    QCOMPARE(form().statusText(), QStringLiteral("Pauza: jazda.csv  0:00 / 0:02"));
    advanceMs(3000);
    QCOMPARE(text("Panel4"), QString::number(255 - 25));

    button("BtnPauza")->click();
    QCOMPARE(button("BtnPauza")->text(), QStringLiteral("Pauza"));
    advanceMs(1499);
    QCOMPARE(text("Panel4"), QString::number(255 - 99));
    QCOMPARE(form().statusText(), QStringLiteral("Odtwarzanie: jazda.csv  0:01 / 0:02"));
    advanceMs(1);
    QCOMPARE(text("Panel4"), QString::number(255 - 100));
    QCOMPARE(form().statusText(), QStringLiteral("Koniec zapisu: jazda.csv  0:02 / 0:02"));
    QCOMPARE(button("BtnPauza")->text(), QStringLiteral("Dalej"));
    advanceMs(1000);
    QCOMPARE(driveLog().player().rowsShown(), std::size_t(101));

    button("BtnPauza")->click();  // again from the start
    QCOMPARE(text("Panel4"), QStringLiteral("255"));
    QCOMPARE(form().statusText(), QStringLiteral("Odtwarzanie: jazda.csv  0:00 / 0:02"));
    advanceMs(100);

    button("Koniec")->click();
    QVERIFY(panel()->isHidden());
    QVERIFY(!driveLog().isReplaying());
    QCOMPARE(form().statusText(), QString());
    QCOMPARE(commandStates(), before);
    QVERIFY(action("Odtworzzapis1")->isEnabled());
    QVERIFY(button("BtnZapis")->isEnabled());
    const QString shown = text("Panel4");
    advanceMs(3000);
    QCOMPARE(text("Panel4"), shown);
    QCOMPARE(f->link.written(), QByteArray());
  }

  // While a replay runs, F5 to F8 are off in the toolbar and the menu, and the replay is left
  // alone by a link that fails; they all come back when it ends. A replay cannot start in
  // oscilloscope mode.
  void mainCommandsWaitForTheReplay() {
    QCOMPARE(commandStates(), QStringLiteral("1111 1111"));
    QVERIFY(action("Odtworzzapis1")->isEnabled());
    replay(writeLog(QStringLiteral("a.csv"), generatedLog(200, 20)));
    QCOMPARE(commandStates(), QStringLiteral("0000 0000"));
    QVERIFY(!action("Odtworzzapis1")->isEnabled());
    advanceMs(100);
    QCOMPARE(f->link.written(), QByteArray());
    QVERIFY(!link().oscilloscopeMode);
    QVERIFY(driveLog().isReplaying());

    f->link.loseDevice(EIO);
    QCOMPARE(f->dialogs.boxes.size(), 1);
    QVERIFY(driveLog().isReplaying());
    advanceMs(100);
    QCOMPARE(driveLog().player().rowsShown(), std::size_t(11));

    button("Koniec")->click();
    QCOMPARE(commandStates(), QStringLiteral("1111 1111"));
    QVERIFY(action("Odtworzzapis1")->isEnabled());

    LiveFrameController controller(*f, {kBaseline});
    f->link.failWritesFrom = -1;
    enter();
    QVERIFY(link().oscilloscopeMode);
    QVERIFY(!action("Odtworzzapis1")->isEnabled());
    driveLog().replayFile(logsFolder() + QStringLiteral("/a.csv"));
    QVERIFY(!driveLog().isReplaying());
    button("Koniec")->click();
    QVERIFY(action("Odtworzzapis1")->isEnabled());
  }

  // Files that cannot be played are refused with one message and leave everything as it was;
  // a log with some bad rows plays the good ones after saying how many were skipped.
  void refusedOrPartlyPlayed_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("played");
    QTest::newRow("missing") << "missing"
                             << "Nie znaleziono pliku" << 0;
    QTest::newRow("fifo") << "fifo"
                          << "nie jest zwykłym plikiem" << 0;
    QTest::newRow("too large") << "large"
                               << "jest za duży do odtworzenia (ponad 32 MB)" << 0;
    QTest::newRow("not a log") << "config"
                               << "nie jest zapisem jazdy" << 0;
    QTest::newRow("header only")
        << "header"
        << "nie zawiera żadnej klatki do odtworzenia (pominięte wiersze: 0)" << 0;
    QTest::newRow("nothing valid") << "garbage"
                                   << "nie zawiera żadnej klatki do odtworzenia (pominięte "
                                      "wiersze: 2)"
                                   << 0;
    QTest::newRow("an idle reference beyond 16 bits")
        << "crafted"
        << "(pominięte wiersze: 1, w tym z okresem odniesienia obrotów ponad 65535: 1)" << 0;
    QTest::newRow("some rows bad") << "some bad"
                                   << "pominięto nieprawidłowe wiersze: 3" << 5;
    QTest::newRow("cancelled") << "cancelled" << QString() << 0;
  }
  void refusedOrPartlyPlayed() {
    QFETCH(QString, kind);
    QFETCH(QString, message);
    QFETCH(int, played);
    QDir().mkpath(logsFolder());
    QString path = logsFolder() + QStringLiteral("/x.csv");
    if (kind == QLatin1String("fifo")) {
      QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == QLatin1String("large")) {
      QFile file(path);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(generatedLog(10, 20));
      QVERIFY(file.resize(DriveLog::kMaxLogBytes + 1));
    } else if (kind == QLatin1String("config")) {
      writeLog(QStringLiteral("x.csv"), "[orvel]\r\ncom1\r\n");
    } else if (kind == QLatin1String("header")) {
      writeLog(QStringLiteral("x.csv"), driveLogHeader());
    } else if (kind == QLatin1String("garbage")) {
      writeLog(QStringLiteral("x.csv"), driveLogHeader() + "1,2,3\r\n\x01\x02\r\n");
    } else if (kind == QLatin1String("crafted")) {
      writeLog(QStringLiteral("x.csv"),
               driveLogHeader() +
                   "0.000,,1.00,1.00,2.50,55,33 14 07 80 01 00 C8 01,255,0/12,255,"
                   "0,0,2147483647\r\n");
    } else if (kind == QLatin1String("some bad")) {
      QByteArray log = generatedLog(5, 20);
      log.insert(driveLogHeader().size(), "bad\r\n");
      log += "0.001,,1.00\r\n1.000,,x\r\n";
      writeLog(QStringLiteral("x.csv"), log);
    } else if (kind == QLatin1String("cancelled")) {
      path.clear();
    }
    replay(path);
    QCOMPARE(f->dialogs.boxes.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty()) {
      QVERIFY2(f->dialogs.texts().first().contains(message),
               qPrintable(f->dialogs.texts().first()));
      QCOMPARE(f->dialogs.boxes.first().title, QStringLiteral("Uwaga"));
    }
    QCOMPARE(driveLog().isReplaying(), played > 0);
    QCOMPARE(panel()->isHidden(), played == 0);
    if (played > 0) {
      QCOMPARE(driveLog().player().rowCount(), std::size_t(played));
      QCOMPARE(driveLog().skippedRows(), 3);
    } else {
      QCOMPARE(commandStates(), QStringLiteral("1111 1111"));
    }
  }

  void captions_data() {
    QTest::addColumn<Language>("language");
    QTest::addColumn<QString>("toggle");
    QTest::addColumn<QString>("item");
    QTest::newRow("Polish") << Language::Polish << "Zapis" << QStringLiteral("Odtwórz zapis...");
    QTest::newRow("English") << Language::English << "Record"
                             << "Replay log...";
    QTest::newRow("Italian") << Language::Italian << "Registra"
                             << "Riproduci registrazione...";
  }
  void captions() {
    QFETCH(Language, language);
    QFETCH(QString, toggle);
    QFETCH(QString, item);
    form().selectLanguage(Language::Italian);
    form().selectLanguage(language);
    QCOMPARE(button("BtnZapis")->text(), toggle);
    QCOMPARE(action("Odtworzzapis1")->text(), item);
    // The caption fits its button.
    QVERIFY(button("BtnZapis")->fontMetrics().horizontalAdvance(toggle) + 8 <=
            button("BtnZapis")->width());
  }

  // A log of 31 MB is read and parsed beside the window: the menu command returns at once, the
  // status bar says what is being read, and the replay starts when the file is ready.
  void largeLogReadBesideTheWindow() {
    QByteArray all = driveLogHeader();
    all.reserve(32 * 1024 * 1024);
    DriveLogRow r;
    r.settings.lambdaKey = QStringLiteral("255");
    r.settings.idlePeriodReference = 1100;
    r.raw = {51, 20, 7, 128, 0x4C, 0x04, 0, 1};
    std::size_t rows = 0;
    for (; all.size() < 31 * 1024 * 1024; ++rows) {
      r.timeMs = qint64(rows) * 20;
      all += formatDriveLogRow(r);
    }
    const QString path = writeLog(QStringLiteral("long.csv"), all);
    QElapsedTimer clock;
    clock.start();
    driveLog().replayFile(path);
    const qint64 returnedAfter = clock.elapsed();
    QVERIFY2(returnedAfter < 200, qPrintable(QString::number(returnedAfter)));
    QVERIFY(driveLog().isLoading());
    QVERIFY(form().statusText().startsWith(QStringLiteral("Wczytywanie pliku")));
    // A second request while it loads is ignored.
    driveLog().replayFile(path);
    QTRY_VERIFY_WITH_TIMEOUT(driveLog().isReplaying(), 60000);
    QVERIFY(!driveLog().isLoading());
    QCOMPARE(driveLog().player().rowCount(), rows);
    QVERIFY(f->dialogs.boxes.isEmpty());
    qInfo("31 MB log: command returned after %lld ms, replay started after %lld ms", returnedAfter,
          clock.elapsed());
  }

  // A row recorded more than two seconds after the one before it is a gap: shown at once after
  // it, and counted.
  void replayGaps_data() {
    QTest::addColumn<QString>("times");  // recorded ms of the rows
    QTest::addColumn<int>("playedMs");   // until the last row is shown
    QTest::addColumn<int>("gaps");
    QTest::newRow("steady") << "0 20 40" << 40 << 0;
    QTest::newRow("two seconds are waited") << "0 2000 2020" << 2020 << 0;
    QTest::newRow("a jump past two seconds") << "0 20 2021 2041" << 40 << 1;
    QTest::newRow("two gaps") << "0 5000 5020 900000" << 20 << 2;
  }
  void replayGaps() {
    QFETCH(QString, times);
    QFETCH(int, playedMs);
    QFETCH(int, gaps);
    FakeTimerService timers;
    DriveLogPlayer player(timers);
    std::vector<DriveLogRow> rows;
    for (const QString& t : times.split(QLatin1Char(' '))) {
      rows.emplace_back();
      rows.back().timeMs = t.toLongLong();
    }
    Nanos lastShownAt{0};
    player.showRow = [&](const DriveLogRow&) { lastShownAt = timers.now(); };
    const Nanos start = timers.now();
    player.start(rows);
    timers.advanceMs(1000000);
    QCOMPARE(player.rowsShown(), rows.size());
    QCOMPARE(std::chrono::duration_cast<Millis>(lastShownAt - start).count(), qint64(playedMs));
    QCOMPARE(player.gaps(), gaps);
  }

  // Timeouts that come late do not add up: ten minutes of frames every 20 ms, played by a
  // program held up for 27 ms between timeouts, end within one hold-up of the recorded span,
  // every row shown once, in order.
  void lateTimeoutsDoNotAddUp() {
    FakeTimerService timers;
    DriveLogPlayer player(timers);
    std::vector<DriveLogRow> rows(30001);
    for (std::size_t i = 0; i < rows.size(); ++i)
      rows[i].timeMs = qint64(i) * 20;
    qint64 expected = 0;
    bool inOrder = true;
    Nanos lastShownAt{0};
    player.showRow = [&](const DriveLogRow& row) {
      inOrder = inOrder && row.timeMs == expected;
      expected += 20;
      lastShownAt = timers.now();
    };
    const Nanos start = timers.now();
    player.start(rows);
    while (player.state() == DriveLogPlayer::State::Playing) {
      timers.blockingPause(Millis(27));
      timers.processDue();
    }
    QVERIFY(inOrder);
    QCOMPARE(player.rowsShown(), rows.size());
    const double span = 600.0;
    const double played = (lastShownAt - start).count() / 1e9;
    QVERIFY2(played >= span && played <= span + 0.027, qPrintable(QString::number(played)));
  }
};

QTEST_MAIN(TestDriveLog)
#include "test_drivelog.moc"
