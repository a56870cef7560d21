// Reception, dispatch, requests and timers of the link on virtual time and an in-memory line.
#include "core/ControllerState.h"
#include "core/Language.h"
#include "link/LinkControl.h"
#include "support/FakeTimerService.h"
#include "support/FakeTransport.h"
#include "support/RecordingDialogs.h"

#include <QRandomGenerator>
#include <QTest>

#include <map>

using namespace orvel;
using namespace orvel::test;

namespace {

class FakeView : public LinkView {
 public:
  void setStatusText(const QString& text) override { status = text; }
  void setCommandsEnabled(MainCommands commands, bool on) override {
    for (unsigned bit = 1; bit <= kItemScaling; bit <<= 1) {
      if (commands & bit) enabled[bit] = on;
    }
  }
  bool calibrationPanelVisible() const override { return calibrationVisible; }
  bool oscilloscopePanelVisible() const override { return scopeVisible; }

  bool isEnabled(unsigned bit) const {
    const auto it = enabled.find(bit);
    return it == enabled.end() || it->second;
  }
  MainCommands disabledSet() const {
    MainCommands out = 0;
    for (const auto& [bit, on] : enabled) {
      if (!on) out |= bit;
    }
    return out;
  }

  QString status;
  std::map<unsigned, bool> enabled;
  bool calibrationVisible = false;
  bool scopeVisible = false;
};

QByteArray frame(int lambda = 20, int tps = 10, int period = 1100, int stepper = 200) {
  QByteArray f;
  f.append(char(lambda)).append(char(tps)).append(char(3)).append(char(4));
  f.append(char(period & 0xFF)).append(char(period >> 8)).append(char(stepper)).append(char(1));
  return f;
}

QByteArray block(int referenceLo = 0x4C, int referenceHi = 0x04) {
  QByteArray b(37, '\x10');
  b[32] = char(referenceLo);
  b[33] = char(referenceHi);
  b[36] = 1;
  return b;
}

struct Rig {
  FakeTimerService clock;
  FakeTransport line{&clock};
  FakeView view;
  ControllerState state;
  RecordingDialogs dialogs;
  LinkControl link{line, clock, view, state};
  int frames = 0;
  int idleSamples = 0;
  int highSamples = 0;
  int decoded = 0;
  int editorShown = 0;
  QByteArray serviceBytes;
  QList<int> frameLengthsSeen;

  Rig() {
    line.setPortName("COM1");
    line.open();
    link.hooks.showLiveFrame = [this] {
      ++frames;
      frameLengthsSeen << link.EditDane.storedBytes();
    };
    link.hooks.takeIdleSample = [this] { ++idleSamples; };
    link.hooks.takeHighRpmSample = [this] { ++highSamples; };
    link.hooks.decodeSettings = [this] { ++decoded; };
    link.hooks.showSettingsEditor = [this] { ++editorShown; };
    link.hooks.serviceByte = [this](std::uint8_t b) { serviceBytes.append(char(b)); };
    link.hooks.endOscilloscopeMode = [this] {
      view.scopeVisible = false;
      link.oscilloscopeMode = false;
      link.sweepPaused = true;
      link.Timer2.stop();
      link.Timer3.stop();
    };
    link.hooks.startOscilloscopeMode = [this] {
      view.scopeVisible = true;
      link.sweepPaused = false;
      link.oscilloscopeMode = true;
      link.liveFrameRequest();
    };
  }

  // Times (ms) at which a given byte was written.
  QList<double> writesOf(std::uint8_t value) const {
    QList<double> out;
    for (const auto& w : line.writeLog()) {
      if (w.byte == value) out << w.at.count() / 1e6;
    }
    return out;
  }
  void startScope() { link.hooks.startOscilloscopeMode(); }

  // A controller that answers every 02h with a live frame after the given delay.
  void answerLiveRequests(double afterMs) {
    reply = clock.createHandle([this] { line.inject(frame()); });
    line.onWrite = [this, afterMs](std::uint8_t b) {
      if (b == 0x02) reply->start(Nanos(static_cast<long long>(afterMs * 1e6)), Nanos(0));
    };
  }
  std::unique_ptr<TimerService::Handle> reply;

  // A settings block, and the same block again for the read that confirms it.
  void answerReadOut(const QByteArray& b) {
    line.inject(b);
    clock.advance(LinkControl::kBlockRereadDelay);
    line.inject(b);
  }
};

}  // namespace

class LinkControlTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() { CurrentLanguage::set(Language::Polish); }

  void liveFrameIsShownOnceAtItsEighthByte_data() {
    QTest::addColumn<QList<int>>("split");  // notification sizes
    QTest::newRow("one notification") << QList<int>{8};
    QTest::newRow("byte by byte") << QList<int>{1, 1, 1, 1, 1, 1, 1, 1};
    QTest::newRow("uneven") << QList<int>{3, 4, 1};
    QTest::newRow("nine-byte burst") << QList<int>{9};
    QTest::newRow("twelve bytes in one go") << QList<int>{12};
  }
  void liveFrameIsShownOnceAtItsEighthByte() {
    QFETCH(QList<int>, split);
    Rig r;
    r.startScope();
    QByteArray bytes = frame() + frame();
    int at = 0;
    for (int n : split) {
      r.line.inject(bytes.mid(at, n));
      at += n;
    }
    QCOMPARE(r.frames, 1);
    // The handler saw exactly its own reply, even when more bytes came with it.
    QCOMPARE(r.frameLengthsSeen, QList<int>{8});
    QCOMPARE(r.link.replyCount, at);
    QVERIFY(!r.link.Timer2.isRunning());
    QVERIFY(r.link.wykres_on1.isRunning() || r.line.written().count('\x02') == 2);
  }

  // The next live request goes at the later of its slot and the handled reply, never sooner
  // than 18 ms after the previous one: quick replies keep the 20 ms grid, late ones are asked
  // again at once.
  void liveLoopRequestsAtTheLaterOfSlotAndReply_data() {
    QTest::addColumn<double>("replyAfterMs");
    QTest::addColumn<double>("every");
    QTest::newRow("reply at once") << 0.0 << 20.0;
    QTest::newRow("reply after 10 ms") << 10.0 << 20.0;
    QTest::newRow("reply after 26 ms, an adapter's latency timer") << 26.0 << 26.0;
  }
  void liveLoopRequestsAtTheLaterOfSlotAndReply() {
    QFETCH(double, replyAfterMs);
    QFETCH(double, every);
    Rig r;
    r.answerLiveRequests(replyAfterMs);
    r.startScope();
    r.clock.advanceMs(1000);
    const QList<double> requests = r.writesOf(0x02);
    QCOMPARE(requests.size(), int(1000 / every) + 1);
    for (int i = 0; i < requests.size(); ++i)
      QCOMPARE(requests[i], every * i);
    QVERIFY(r.frames >= requests.size() - 1);
    QVERIFY(r.dialogs.boxes.isEmpty());
  }

  void silentControllerPausesAndResumesTheLoop() {
    Rig r;
    r.view.status = "Tryb oscyloskopu";
    r.startScope();
    QCOMPARE(r.writesOf(0x02), QList<double>{0.0});
    r.clock.advanceMs(799);
    QVERIFY(!r.link.sweepPaused);
    r.clock.advanceMs(1);  // Timer2: 16 ticks of 50 ms
    QVERIFY(r.link.sweepPaused);
    QCOMPARE(r.view.status, QString());
    QVERIFY(r.link.Timer3.isRunning());
    r.clock.advanceMs(550);  // Timer3: 11 ticks of 50 ms, then the next request at once
    QCOMPARE(r.view.status, QString("Tryb oscyloskopu"));
    QVERIFY(!r.link.sweepPaused);
    QCOMPARE(r.writesOf(0x02), (QList<double>{0.0, 1350.0}));
    r.clock.advanceMs(1350 * 3);
    QCOMPARE(r.writesOf(0x02).size(), 5);  // no retry limit: one request every 1.35 s
    QVERIFY(r.dialogs.boxes.isEmpty());
  }

  // A reply counts until its request's own watchdog gives it up (a live frame: until the next
  // request), also when the user interface was held up between its arrival and its handling.
  // Each row: the request, when its reply reaches the port, when the program gets round to it,
  // whether it counts.
  void replyWindowClosesWithItsWatchdog_data() {
    QTest::addColumn<QString>("request");
    QTest::addColumn<double>("arrivesAt");
    QTest::addColumn<double>("handledAt");
    QTest::addColumn<bool>("counted");
    QTest::newRow("sample: in the port when Timer1 gives up")
        << "sample" << 1599.5 << 1601.0 << true;
    QTest::newRow("sample: just after Timer1 gave up") << "sample" << 1600.5 << 1601.0 << false;
    QTest::newRow("block: in the port at the give-up") << "block" << 6199.5 << 6201.0 << true;
    QTest::newRow("block: just after the give-up") << "block" << 6200.5 << 6201.0 << false;
    QTest::newRow("live frame in the port when Timer2 expires") << "live" << 799.5 << 801.0 << true;
    QTest::newRow("live frame 0.9 s late, after Timer2") << "live" << 899.5 << 900.0 << true;
    QTest::newRow("live frame waiting when the next request goes")
        << "live" << 1349.5 << 1351.0 << false;
  }
  void replyWindowClosesWithItsWatchdog() {
    QFETCH(QString, request);
    QFETCH(double, arrivesAt);
    QFETCH(double, handledAt);
    QFETCH(bool, counted);
    Rig r;
    QByteArray reply = frame();
    if (request == "sample") {
      r.link.idleSampling = true;
      r.link.samplesRemaining = 10;
      r.link.sampleRequest();
    } else if (request == "live") {
      r.startScope();
    } else {
      r.link.startSettingsExchange();
      r.line.inject({0x01});
      r.clock.advanceMs(1100);
      r.line.inject(block());  // the first read; the row's reply is the one that confirms it
      r.clock.advance(LinkControl::kBlockRereadDelay);
      reply = block();
    }
    r.clock.advanceMs(arrivesAt - r.clock.now().count() / 1e6);
    r.line.arrive(reply);
    r.clock.advanceMs(handledAt - arrivesAt);
    r.line.deliverArrived();
    QCOMPARE(r.idleSamples + r.editorShown + r.frames, counted ? 1 : 0);
    QCOMPARE(r.dialogs.boxes.size(), request == "sample" && !counted ? 1 : 0);
  }

  // The user interface held up between a reply's arrival and its handling (a slow machine, a
  // modal box elsewhere) changes nothing on the line or on the screen, also when the timers that
  // fell due meanwhile come first.
  void stallBetweenReplyAndItsHandlingChangesNothing_data() {
    QTest::addColumn<bool>("exchange");  // F5, else an F6 sampling run
    QTest::addColumn<int>("heldReply");  // which reply (from 1) waits 500 ms
    QTest::addColumn<QString>("outcome");
    QTest::newRow("F6 sampling, the fifth sample") << false << 5 << "10 samples, 11 requests";
    QTest::newRow("F5, the answer to AAh") << true << 1 << "editor, AA 09 09";
    QTest::newRow("F5, the settings block") << true << 2 << "editor, AA 09 09";
  }
  void stallBetweenReplyAndItsHandlingChangesNothing() {
    QFETCH(bool, exchange);
    QFETCH(int, heldReply);
    QFETCH(QString, outcome);
    Rig r;
    int replies = 0;
    QByteArray pending;
    auto held = r.clock.createHandle([&] { r.line.deliverArrived(); });
    // The controller answers 5 ms after each request; one reply reaches the port and then the
    // program is held up.
    r.reply = r.clock.createHandle([&] {
      if (++replies != heldReply) return r.line.inject(pending);
      r.line.arrive(pending);
      r.clock.blockingPause(Millis(500));
      held->start(Nanos(0), Nanos(0));
    });
    r.line.onWrite = [&](std::uint8_t b) {
      pending = b == 0x02 ? frame() : b == 0x09 ? block() : QByteArray(1, 1);
      if (b != 0x0A) r.reply->start(Millis(5), Nanos(0));
    };
    r.view.calibrationVisible = true;
    r.link.idleSampling = !exchange;
    r.link.samplesRemaining = 10;
    exchange ? r.link.startSettingsExchange() : r.link.sampleRequest();
    r.clock.advanceMs(3000);
    const QString seen =
        exchange ? QString("%1, %2").arg(r.editorShown == 1 ? "editor" : "no editor",
                                         QString(r.line.written().toHex(' ').toUpper()))
                 : QString("%1 samples, %2 requests").arg(r.idleSamples).arg(r.writesOf(2).size());
    QCOMPARE(seen, outcome);
    QVERIFY(r.dialogs.boxes.isEmpty());
  }

  void sampleRunTakesTenSamplesAndOneExtraRequest() {
    Rig r;
    r.answerLiveRequests(10);
    r.link.idleSampling = true;
    r.link.samplesRemaining = 10;
    r.link.sampleRequest();
    r.clock.advanceMs(2000);
    QCOMPARE(r.idleSamples, 10);
    QCOMPARE(r.link.samplesRemaining, 0);
    QCOMPARE(r.writesOf(0x02).size(), 11);  // the first, nine more, and one whose reply is unused
    const QList<double> requests = r.writesOf(0x02);
    // 50 ms between requests, from the first of the run on.
    for (int i = 1; i < requests.size(); ++i)
      QCOMPARE(requests[i] - requests[i - 1], 50.0);
    // An rpm scaling run (no calibration panel) gives the commands back, F8 excepted.
    QVERIFY(r.view.isEnabled(kButtonF5));
    QVERIFY(r.view.isEnabled(kItemScope));
    QVERIFY(r.dialogs.boxes.isEmpty());
  }

  void sampleRunEndOnTheCalibrationPanelLeavesCommandsAlone() {
    Rig r;
    r.view.calibrationVisible = true;
    r.view.setCommandsEnabled(kAllButtons | kAllItems, false);
    r.link.highRpmSampling = true;
    r.link.samplesRemaining = 10;
    r.link.sampleRequest();
    for (int i = 0; i < 10; ++i) {
      r.line.inject(frame());
      r.clock.advanceMs(50);
    }
    QCOMPARE(r.highSamples, 10);
    QCOMPARE(r.view.disabledSet(), kAllButtons | kAllItems);
  }

  void silentControllerInASampleRunIsReported() {
    Rig r;
    r.view.setCommandsEnabled(kAllButtons | kAllItems, false);
    r.view.status = "Skalowanie obrotów";
    r.link.idleSampling = true;
    r.link.samplesRemaining = 10;
    r.link.sampleRequest();
    r.clock.advanceMs(1599);
    QVERIFY(r.dialogs.boxes.isEmpty());
    r.clock.advanceMs(1);
    QCOMPARE(r.dialogs.texts(),
             QStringList{"Sterownik nie został włączony.\r\nWłącz sterownik i spróbuj ponownie"});
    QCOMPARE(r.dialogs.boxes.first().title, QString("Uwaga"));
    QCOMPARE(r.view.status, QString());
    QCOMPARE(r.view.disabledSet(), MainCommands(kItemSettings | kItemAutocal));
    QCOMPARE(r.link.samplesRemaining, 10);
    r.clock.advanceMs(5000);
    QCOMPARE(r.writesOf(0x02).size(), 1);  // the loop stopped
  }

  // A reply that stops short ends as a silent controller does, 1.6 s after its request.
  void partialSampleReplyIsReportedAsSilence() {
    Rig r;
    r.link.idleSampling = true;
    r.link.samplesRemaining = 10;
    r.link.sampleRequest();
    r.line.inject(frame().left(5));
    r.clock.advanceMs(1599);
    QVERIFY(r.dialogs.boxes.isEmpty());
    r.clock.advanceMs(1);
    QCOMPARE(r.dialogs.texts(),
             QStringList{"Sterownik nie został włączony.\r\nWłącz sterownik i spróbuj ponownie"});
    r.clock.advanceMs(5000);
    QCOMPARE(r.idleSamples, 0);
    QCOMPARE(r.writesOf(0x02).size(), 1);
  }

  void settingsExchangeReadsTheBlock1100msAfterTheAnswer() {
    Rig r;
    r.link.startSettingsExchange();
    QCOMPARE(r.view.disabledSet(), kAllButtons | kAllItems);
    QCOMPARE(r.view.status, QString("Podawanie parametrów"));
    QCOMPARE(r.writesOf(0xAA), QList<double>{100.0});  // after the blocking pause
    QCOMPARE(r.clock.pauseCount(), 1);
    r.clock.advanceMs(5);
    r.line.inject({0x01});
    QVERIFY(!r.link.readSettingsOnReply);
    r.clock.advanceMs(1099);
    QVERIFY(r.writesOf(0x09).isEmpty());
    r.clock.advanceMs(1);
    QCOMPARE(r.writesOf(0x09), QList<double>{1205.0});
    r.line.inject(block());
    QCOMPARE(r.editorShown, 0);
    r.clock.advance(LinkControl::kBlockRereadDelay);
    QCOMPARE(r.writesOf(0x09), (QList<double>{1205.0, 1250.0}));
    r.line.inject(block());
    QCOMPARE(r.state.idlePeriodReference, 1100);
    QCOMPARE(r.decoded, 1);
    QCOMPARE(r.editorShown, 1);
    QVERIFY(!r.link.settingsReadOut);
    QCOMPARE(r.link.EditDane.storedBytes(), 0);
    r.clock.advanceMs(10000);  // the give-up timer was stopped
    QCOMPARE(r.view.disabledSet(), kAllButtons | kAllItems);
    QCOMPARE(r.view.status, QString("Podawanie parametrów"));

    r.link.endSettingsExchange();
    QCOMPARE(r.view.disabledSet(), MainCommands(0));
    QCOMPARE(r.line.written().right(1), QByteArray("\x0A"));
    QCOMPARE(r.view.status, QString());
  }

  void answerBytesStartTimer4ExactlyOnce() {
    Rig r;
    r.link.startSettingsExchange();
    r.line.inject({0x01});
    r.clock.advanceMs(600);
    r.line.inject({0x01, 0x01});  // more bytes: the flag is already clear
    r.clock.advanceMs(600);
    QCOMPARE(r.writesOf(0x09).size(), 1);
    QCOMPARE(r.writesOf(0x09).first(), 1200.0);
  }

  void silentControllerGivesTheExchangeUpAfter6200ms() {
    Rig r;
    r.link.startSettingsExchange();  // the pause holds the clock at 100 ms
    r.clock.advanceMs(6200 - 100 - 1);
    QCOMPARE(r.view.status, QString("Podawanie parametrów"));
    r.clock.advanceMs(1);
    QCOMPARE(r.view.status, QString("Sterownik nie odpowiada"));
    QCOMPARE(r.view.disabledSet(), MainCommands(0));
    QVERIFY(r.writesOf(0x09).isEmpty());
    QCOMPARE(r.line.written(), QByteArray("\xAA"));
    QVERIFY(r.dialogs.boxes.isEmpty());
  }

  // The line has no checksum: a block becomes the settings only when a second read gives it
  // again, byte for byte. Each row: what the controller's answers to 09h look like on the line
  // (one entry per 09h; "clean", "stray byte ahead", "flipped": a bit of the reference,
  // "flipped setting": a bit of byte 5; the last entry repeats), then the outcome.
  void blockIsTakenWhenTwoReadsAgree_data() {
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<int>("reads");
    QTest::addColumn<bool>("editor");
    QTest::addColumn<int>("boxes");
    QTest::newRow("clean line") << QStringList{"clean"} << 2 << true << 0;
    QTest::newRow("stray byte ahead of the first")
        << QStringList{"stray byte ahead", "clean"} << 3 << true << 0;
    QTest::newRow("bit flipped in the first's reference")
        << QStringList{"flipped", "clean"} << 3 << true << 0;
    QTest::newRow("bit flipped in the second's setting")
        << QStringList{"clean", "flipped setting", "clean"} << 4 << true << 0;
    QTest::newRow("no two alike") << QStringList{"clean", "flipped", "flipped setting", "stray"}
                                  << 0 << false << 1;
    QTest::newRow("one block, then silence") << QStringList{"clean", "none"} << 2 << false << 0;
  }
  void blockIsTakenWhenTwoReadsAgree() {
    QFETCH(QStringList, answers);
    QFETCH(int, reads);
    QFETCH(bool, editor);
    QFETCH(int, boxes);
    Rig r;
    int taken = 0;
    r.link.hooks.decodeSettings = [&] { ++taken; };
    r.reply = r.clock.createHandle([&] {
      const QString kind = answers.at(std::min(r.writesOf(0x09).size(), answers.size()) - 1);
      QByteArray b = block();
      if (kind == "none") return;
      if (kind == "stray byte ahead") b.prepend('\x55');
      if (kind == "flipped") b[32] = char(b[32] ^ 0x04);
      if (kind == "flipped setting") b[5] = char(b[5] ^ 0x40);
      // Each read differs from every other one.
      if (kind == "stray") b[r.writesOf(0x09).size() % 30] = char(r.writesOf(0x09).size());
      r.line.inject(b);
    });
    r.line.onWrite = [&](std::uint8_t b) {
      if (b == 0xAA) r.line.inject({0x01});
      if (b == 0x09) r.reply->start(Millis(30), Nanos(0));
    };
    r.link.startSettingsExchange();
    r.clock.advanceMs(7000);
    QCOMPARE(r.editorShown == 1, editor);
    QCOMPARE(taken, editor ? 1 : 0);
    if (editor) QCOMPARE(r.state.idlePeriodReference, 1100);
    if (reads) QCOMPARE(r.writesOf(0x09).size(), reads);
    QCOMPARE(r.dialogs.boxes.size(), boxes);
    if (!editor)
      QCOMPARE(r.view.status, boxes ? QString("Zakłócenia na linii: ustawienia nieodczytane")
                                    : QString("Sterownik nie odpowiada"));
  }

  // The controller answers AAh but the block never comes complete: the give-up brings the
  // commands back, nothing is decoded, no editor, no message, no end of communication.
  void exchangeWithoutACompleteBlockIsGivenUp_data() {
    QTest::addColumn<int>("blockBytes");
    QTest::newRow("no block at all") << 0;
    QTest::newRow("a block that stops short") << 36;
  }
  void exchangeWithoutACompleteBlockIsGivenUp() {
    QFETCH(int, blockBytes);
    Rig r;
    r.link.startSettingsExchange();
    r.line.inject({0x01});
    r.clock.advanceMs(1100);
    QCOMPARE(r.writesOf(0x09).size(), 1);
    r.line.inject(block().left(blockBytes));
    r.clock.advanceMs(6200 - 1200 - 1);
    QCOMPARE(r.view.disabledSet(), kAllButtons | kAllItems);
    r.clock.advanceMs(1);
    QCOMPARE(r.view.disabledSet(), MainCommands(0));
    QCOMPARE(r.view.status, QString("Sterownik nie odpowiada"));
    QCOMPARE(r.decoded, 0);
    QCOMPARE(r.editorShown, 0);
    QVERIFY(r.dialogs.boxes.isEmpty());
    QCOMPARE(r.line.written(), QByteArray("\xAA\x09"));
  }

  void uncalibratedControllerIsReportedOnce_data() {
    QTest::addColumn<bool>("polish");
    QTest::newRow("Polish") << true;
    QTest::newRow("Italian for any other language") << false;
  }
  void uncalibratedControllerIsReportedOnce() {
    QFETCH(bool, polish);
    CurrentLanguage::set(polish ? Language::Polish : Language::English);
    Rig r;
    r.state.idlePeriodReference = 777;
    r.link.startSettingsExchange();
    r.line.inject({0x01});
    r.clock.advanceMs(1100);
    r.answerReadOut(block(1, 1) + QByteArray(5, '\x01'));
    QCOMPARE(r.dialogs.boxes.size(), 1);
    QCOMPARE(r.dialogs.boxes.first().text,
             polish ? QString("Sterownik nie ma skalibrowanych wolnych obrotów.\r\n"
                              "Wciśnij przycisk autokalibracji.")
                    : QString("Sistema non calibrate giri.\r\nScalare giri."));
    QCOMPARE(r.dialogs.boxes.first().title, polish ? QString("Uwaga") : QString("!!!"));
    QCOMPARE(r.state.idlePeriodReference, 777);
    QCOMPARE(r.decoded, 0);
    QCOMPARE(r.editorShown, 0);
    // The exchange is over: the controls come back at once, and nothing was sent after 09h.
    QCOMPARE(r.view.disabledSet(), MainCommands(0));
    r.clock.advanceMs(6200);
    QCOMPARE(r.line.written(), QByteArray("\xAA\x09\x09"));
  }

  void settingsExchangeFromOscilloscopeModeResumesIt() {
    Rig r;
    r.startScope();
    r.line.inject(frame());
    r.link.startSettingsExchange();
    QVERIFY(!r.view.scopeVisible);
    QVERIFY(r.link.resumeOscilloscope);
    r.line.inject({0x01});
    r.clock.advanceMs(1100);
    r.answerReadOut(block());
    QCOMPARE(r.editorShown, 1);
    const int before = r.writesOf(0x02).size();
    r.link.endSettingsExchange();
    QVERIFY(!r.link.resumeOscilloscope);
    QVERIFY(r.view.scopeVisible);
    QCOMPARE(r.writesOf(0x02).size(), before + 1);
    QCOMPARE(r.clock.pauseCount(), 2);  // before AAh, before the restart
  }

  // Whatever a given-up exchange left pending, the next operation finds nothing of it: no 09h,
  // no block read out of other replies, no editor, no live view restarted by a later exchange.
  // answerAt: when the controller answers AAh (-1: never); then blockBytes of the block.
  void operationsAfterAGivenUpExchangeFindNothingOfIt_data() {
    QTest::addColumn<QString>("next");
    QTest::addColumn<double>("answerAt");
    QTest::addColumn<int>("blockBytes");
    QTest::newRow("silent, then F7") << "scope" << -1.0 << 0;
    QTest::newRow("silent, then the console") << "console" << -1.0 << 0;
    QTest::newRow("AAh answered too late, then F7") << "scope" << 6150.0 << 0;
    QTest::newRow("block cut short, then sampling") << "sampling" << 200.0 << 20;
    QTest::newRow("given up from F7, then F5 that works") << "exchange" << -1.0 << 0;
  }
  void operationsAfterAGivenUpExchangeFindNothingOfIt() {
    QFETCH(QString, next);
    QFETCH(double, answerAt);
    QFETCH(int, blockBytes);
    Rig r;
    if (next == "exchange") r.startScope();
    r.link.startSettingsExchange();
    if (answerAt >= 0) {
      r.clock.advanceMs(answerAt - 100);
      r.line.inject({0x01});
      r.clock.advanceMs(1100);
      r.line.inject(block().left(blockBytes));
    }
    r.clock.advance(Millis(6200) - r.clock.now());
    QCOMPARE(r.view.status, QString("Sterownik nie odpowiada"));
    const int readOuts = r.writesOf(0x09).size();
    // From here on the controller answers in full, 02h with five frames at once.
    r.answerLiveRequests(9);
    r.reply = r.clock.createHandle([&r] { r.line.inject(frame().repeated(5)); });
    const auto live = r.line.onWrite;
    r.line.onWrite = [&r, live](std::uint8_t b) {
      live(b);
      if (b == 0xAA) r.line.inject({0x01});
      if (b == 0x09) r.line.inject(block());
    };
    if (next == "scope") r.startScope();
    if (next == "console") r.link.serviceMode = true;
    if (next == "console") r.line.inject(block().repeated(2));
    if (next == "sampling") r.link.idleSampling = true;
    if (next == "sampling") r.link.sampleRequest();
    if (next == "exchange") {
      r.link.startSettingsExchange();
      r.clock.advanceMs(1200);
      r.link.endSettingsExchange();
      QVERIFY(!r.view.scopeVisible);
      QCOMPARE(r.editorShown, 1);
      QCOMPARE(r.writesOf(0x09).size(), readOuts + 2);
      return;
    }
    r.clock.advanceMs(5000);
    QCOMPARE(r.writesOf(0x09).size(), readOuts);
    QCOMPARE(r.decoded + r.editorShown, 0);
  }

  // One fault, one box: after a lost link was reported, timers and the exchange's own sends say
  // nothing more; but a step the fitter takes is a new question and gets its answer, and once
  // the device is back the steps reach it.
  void aLostLinkAnswersEveryStepOnce_data() {
    QTest::addColumn<bool>("deviceBack");
    QTest::addColumn<QString>("step");
    QTest::addColumn<int>("boxes");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("device gone: the editor's OK answers") << false << "OK" << 2 << QByteArray();
    QTest::newRow("device gone: a wizard's sampling step answers")
        << false << "sampling" << 2 << QByteArray();
    QTest::newRow("device gone: closing the editor adds nothing")
        << false << "close" << 1 << QByteArray();
    QTest::newRow("device back: the OK and the close reach it")
        << true << "OK" << 1 << QByteArray("\x0F\x28\x0A");
  }
  void aLostLinkAnswersEveryStepOnce() {
    QFETCH(bool, deviceBack);
    QFETCH(QString, step);
    QFETCH(int, boxes);
    QFETCH(QByteArray, written);
    Rig r;
    r.link.startSettingsExchange();
    r.line.loseDevice(5);
    if (!deviceBack) r.line.failingPorts << "COM1";
    r.line.clearWritten();
    if (step == "OK") guarded([&] { r.link.send(commands::lambdaThreshold(40)); });
    if (step == "sampling") {
      r.link.idleSampling = true;
      r.link.samplesRemaining = 10;
      guarded([&] { r.link.sampleRequest(); });
    }
    guarded([&] { r.link.endSettingsExchange(); });
    r.clock.advanceMs(10000);
    QCOMPARE(r.view.disabledSet(), MainCommands(0));
    QCOMPARE(r.line.written(), written);
    QCOMPARE(r.dialogs.boxes.size(), boxes);
    if (boxes > 1) QVERIFY(r.dialogs.texts().last().startsWith("Unable to open com port"));
  }

  // The console takes the answer to AAh too, and the exchange goes on to its 09h.
  void settingsExchangeWithTheConsoleOpenReadsOut() {
    Rig r;
    r.link.serviceMode = true;
    r.link.startSettingsExchange();
    r.line.inject({0x01});
    r.clock.advanceMs(1100);
    QCOMPARE(r.writesOf(0x09), QList<double>{1200.0});
    QCOMPARE(r.serviceBytes, QByteArray("\x01"));
  }

  void serviceModeListsBytesAndDispatchesNothing() {
    Rig r;
    r.startScope();
    r.link.serviceMode = true;
    r.link.readSettingsOnReply = true;
    r.link.Timer1.start();
    r.line.inject({0x03, 0x01});
    QCOMPARE(r.serviceBytes, QByteArray("\x03\x01"));
    QCOMPARE(r.link.replyCount, 0);
    QCOMPARE(r.frames, 0);
    QVERIFY(!r.link.Timer1.isRunning());
    // Without a settings exchange the bytes lead to no read-out.
    QVERIFY(!r.link.Timer4.isRunning());
  }

  void portFailingInTheMiddleOfASendIsReported() {
    Rig r;
    r.line.failWritesFrom = 0;
    // Handlers run guarded; the error ends the handler and is shown once.
    guarded([&] { r.link.startSettingsExchange(); });
    QCOMPARE(r.dialogs.texts(), QStringList{"WriteFile function failed (win error code: 5)."});
    // The timers already started go on: the commands come back with the give-up.
    QCOMPARE(r.view.disabledSet(), kAllButtons | kAllItems);
    r.clock.advanceMs(6200);
    QCOMPARE(r.view.disabledSet(), MainCommands(0));
  }

  // The first link failure inside a loop ends it and is shown once; the loop does not go on
  // sending into a dead port, one box per request.
  void aFailingLinkEndsTheLoopWithOneMessage_data() {
    QTest::addColumn<bool>("liveLoop");
    QTest::addColumn<bool>("deviceLost");
    QTest::addColumn<QString>("message");
    const QString write = "WriteFile function failed (win error code: 5).";
    const QString read = "ReadFile function failed (win error code: 5).";
    QTest::newRow("live loop, write fails") << true << false << write;
    QTest::newRow("live loop, device lost") << true << true << read;
    QTest::newRow("sample run, write fails") << false << false << write;
    QTest::newRow("sample run, device lost") << false << true << read;
  }
  void aFailingLinkEndsTheLoopWithOneMessage() {
    QFETCH(bool, liveLoop);
    QFETCH(bool, deviceLost);
    QFETCH(QString, message);
    Rig r;
    r.answerLiveRequests(10);
    if (liveLoop) {
      r.startScope();
    } else {
      r.view.setCommandsEnabled(kButtonF5 | kButtonF7 | kButtonF8 | kItemScope | kItemScaling,
                                false);
      r.link.idleSampling = true;
      r.link.samplesRemaining = 10;
      r.link.sampleRequest();
    }
    r.clock.advanceMs(130);
    QVERIFY(r.link.transport().isConnected());
    // While the box is open time goes on, as in a modal box's own event loop, and the failure
    // is reported again: no second box, no further request.
    int writesWhileOpen = -1;
    r.dialogs.onMessage = [&](const RecordingDialogs::Box&) {
      const int before = r.line.writesSoFar();
      r.clock.advanceMs(3000);
      r.link.linkFailed(message);
      writesWhileOpen = r.line.writesSoFar() - before;
    };
    if (deviceLost) {
      r.line.loseDevice(5);
    } else {
      r.line.failWritesFrom = r.line.writesSoFar();
      r.clock.advanceMs(100);
    }
    QCOMPARE(r.dialogs.texts(), QStringList{message});
    QCOMPARE(writesWhileOpen, 0);
    QVERIFY(!r.link.oscilloscopeMode && !r.link.idleSampling && !r.link.highRpmSampling);
    QVERIFY(!r.view.scopeVisible);
    QVERIFY(!r.link.Timer1.isRunning() && !r.link.Timer2.isRunning());
    QVERIFY(!r.link.Timerznak.isRunning() && !r.link.wykres_on1.isRunning());
    if (!liveLoop) {
      QCOMPARE(r.view.disabledSet(), MainCommands(0));
      QVERIFY(r.view.status.isEmpty());
    }
    const int after = r.line.writesSoFar();
    r.clock.advanceMs(5000);
    QCOMPARE(r.line.writesSoFar(), after);
    QCOMPARE(r.dialogs.boxes.size(), 1);  // and no "not switched on" message either
  }

  // Arbitrary bytes, split arbitrarily, in every flag state: no crash, no undefined behaviour,
  // the buffer bounded, and the count that of the bytes that came after the last request
  // (written 02h or 09h) while its window was open: outside the console, and not after the
  // sample watchdog's "not switched on" gave that request up.
  void randomStreamsNeverBreakTheDispatch() {
    for (quint32 seed = 1; seed <= 400; ++seed) {
      QRandomGenerator rng(seed);
      Rig r;
      // Positions in the write log: of the last request, and where it stood at the last box.
      std::size_t givenUpAt = 0;
      r.dialogs.onMessage = [&](const RecordingDialogs::Box&) {
        givenUpAt = r.line.writeLog().size();
      };
      const auto lastRequest = [&r]() -> std::ptrdiff_t {
        const auto& log = r.line.writeLog();
        for (std::size_t i = log.size(); i-- > 0;) {
          if (log[i].byte == 0x02 || log[i].byte == 0x09) return std::ptrdiff_t(i);
        }
        return -1;
      };
      int expectedCount = 0;
      for (int step = 0; step < 60; ++step) {
        const int action = rng.bounded(10);
        const std::size_t writesBefore = r.line.writeLog().size();
        if (action == 0) {
          r.link.liveFrameRequest();
        } else if (action == 1) {
          r.link.sampleRequest();
        } else if (action == 2) {
          r.link.settingsReadOutRequest();
        } else if (action == 3) {
          r.link.oscilloscopeMode = rng.bounded(2);
          r.link.idleSampling = rng.bounded(2);
          r.link.highRpmSampling = rng.bounded(2);
          r.link.settingsReadOut = rng.bounded(2);
          r.link.readSettingsOnReply = rng.bounded(2);
          r.link.serviceMode = rng.bounded(4) == 0;
          r.link.samplesRemaining = rng.bounded(12);
        } else if (action == 4) {
          r.clock.advanceMs(rng.bounded(2000));
        } else {
          const int n = rng.bounded(1, 80);
          QByteArray bytes;
          for (int i = 0; i < n; ++i)
            bytes.append(char(rng.bounded(256)));
          const std::ptrdiff_t request = lastRequest();
          const bool open = request >= 0 && std::size_t(request) >= givenUpAt;
          r.line.inject(bytes);
          if (open && !r.link.serviceMode) expectedCount += n;
        }
        // Every request restarts the count; handlers may clear the buffer, but only a request
        // restarts the count.
        if (r.line.writeLog().size() != writesBefore) expectedCount = 0;
        QCOMPARE(r.link.replyCount, expectedCount);
        QVERIFY(r.link.EditDane.storedBytes() <= ReceiveBuffer::kMaxStoredBytes);
        QVERIFY(r.link.samplesRemaining >= 0);
      }
    }
  }

  void bufferStaysBoundedOnAChatteringLine() {
    Rig r;
    r.link.liveFrameRequest();
    QByteArray chunk(1000, '\x55');
    for (int i = 0; i < 50; ++i)
      r.line.inject(chunk);
    QCOMPARE(r.link.replyCount, 50000);
    QCOMPARE(r.link.EditDane.storedBytes(), ReceiveBuffer::kMaxStoredBytes);
    QCOMPARE(r.link.byte(0), 0x55);
  }

  void receiveBufferText() {
    ReceiveBuffer b;
    for (int v : {0, 7, 42, 255})
      b.append(std::uint8_t(v));
    QCOMPARE(b.text(), QString("000\r\n007\r\n042\r\n255\r\n"));
    QCOMPARE(b.byteAt(2), 42);
    QCOMPARE(b.byteAt(4), -1);
    QCOMPARE(b.wordAt(2), 42 + 256 * 255);
    QCOMPARE(b.wordAt(3), -1);
  }
};

QTEST_MAIN(LinkControlTest)
#include "test_link_control.moc"
