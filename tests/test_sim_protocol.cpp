// The simulated controller's command handling, driven byte by byte with
// injected time, as the desktop program would see it on the line.
#include <QtTest>

#include <cmath>
#include <map>
#include <vector>

#include "sim/ProtocolEngine.h"

using namespace orvel::sim;
using Bytes = std::vector<std::uint8_t>;
using Changes = std::map<int, int>;  // settings byte -> expected value

Q_DECLARE_METATYPE(Bytes)
Q_DECLARE_METATYPE(Changes)

namespace QTest {
template <>
char* toString(const Bytes& bytes) {
  QByteArray text;
  for (std::uint8_t b : bytes)
    text += QByteArray::number(b, 16).rightJustified(2, '0') + ' ';
  return qstrdup(text.toUpper().trimmed().constData());
}
template <>
char* toString(const Changes& changes) {
  QByteArray text;
  for (const auto& [offset, value] : changes) {
    text += QByteArray::number(offset) + '=' + QByteArray::number(value, 16) + ' ';
  }
  return qstrdup(text.trimmed().constData());
}
template <>
char* toString(const SettingsBlock& block) {
  return toString(Bytes(block.begin(), block.end()));
}
}  // namespace QTest

namespace {

ProtocolEngine::Config memoryConfig() {
  return ProtocolEngine::Config{};
}

Changes diff(const SettingsBlock& before, const SettingsBlock& after) {
  Changes changes;
  for (std::size_t i = 0; i < before.size(); ++i) {
    if (before[i] != after[i]) changes[static_cast<int>(i)] = after[i];
  }
  return changes;
}

// Feeds bytes 1 ms apart, as the desktop program writes them one by one.
Bytes feed(ProtocolEngine& engine, const Bytes& bytes, double t = 1.0) {
  Bytes out;
  for (std::uint8_t b : bytes) {
    const Bytes reply = engine.receive(b, t);
    out.insert(out.end(), reply.begin(), reply.end());
    t += 0.001;
  }
  return out;
}

int rpmOf(int period, int reference) {
  return static_cast<int>(std::nearbyint(static_cast<double>(reference) / period * 800));
}

}  // namespace

class TestSimProtocol : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void settingCommands_data() {
    QTest::addColumn<Bytes>("command");
    QTest::addColumn<Changes>("changes");
    // Every argument byte differs from the factory default it replaces.
    QTest::newRow("05 gas threshold") << Bytes{0x05, 0x64} << Changes{{0, 0x64}};
    QTest::newRow("06 lambda 1 wave") << Bytes{0x06, 0x11, 0x22, 0x33, 0x44}
                                      << Changes{{1, 0x11}, {2, 0x22}, {3, 0x33}, {4, 0x44}};
    QTest::newRow("07 TPS threshold") << Bytes{0x07, 0x2A} << Changes{{5, 0x2A}};
    QTest::newRow("08 changeover") << Bytes{0x08, 0x34, 0x12} << Changes{{6, 0x34}, {7, 0x12}};
    QTest::newRow("0B flags") << Bytes{0x0B, 0x15} << Changes{{8, 0x15}};
    QTest::newRow("0F lambda threshold") << Bytes{0x0F, 0x33} << Changes{{9, 0x33}};
    QTest::newRow("12 stepper range") << Bytes{0x12, 0x40, 0xE0} << Changes{{10, 0x40}, {11, 0xE0}};
    QTest::newRow("13 stepper start") << Bytes{0x13, 0xC0} << Changes{{12, 0xC0}};
    QTest::newRow("14 max speed") << Bytes{0x14, 0xFA, 0x03} << Changes{{13, 0xFA}, {14, 0x03}};
    QTest::newRow("15 changeover delay")
        << Bytes{0x15, 0x10, 0x01} << Changes{{15, 0x10}, {16, 0x01}};
    QTest::newRow("16 falling delta") << Bytes{0x16, 0x21, 0x03} << Changes{{17, 0x21}, {18, 0x03}};
    QTest::newRow("17 cutoff position") << Bytes{0x17, 0x80} << Changes{{21, 0x80}};
    QTest::newRow("18 cutoff speed") << Bytes{0x18, 0x99, 0x03} << Changes{{19, 0x99}, {20, 0x03}};
    QTest::newRow("19 power-on delay") << Bytes{0x19, 0x0F} << Changes{{22, 0x0F}};
    QTest::newRow("1A lambda 2 wave") << Bytes{0x1A, 0x3D, 0x01, 0x7A, 0x02}
                                      << Changes{{23, 0x3D}, {24, 0x01}, {25, 0x7A}, {26, 0x02}};
    QTest::newRow("1B acceleration") << Bytes{0x1B, 0x0C} << Changes{{27, 0x0C}};
    QTest::newRow("1C idle stepper speed")
        << Bytes{0x1C, 0x5A, 0x0A} << Changes{{28, 0x5A}, {29, 0x0A}};
    QTest::newRow("1D low gas steps") << Bytes{0x1D, 0x09} << Changes{{30, 0x09}};
    QTest::newRow("1E lambda range") << Bytes{0x1E, 0x02} << Changes{{31, 0x02}};
    QTest::newRow("1F idle reference")
        << Bytes{0x1F, 0x10, 0x05} << Changes{{32, 0x10}, {33, 0x05}};
    QTest::newRow("20 stepper speed 2")
        << Bytes{0x20, 0x02, 0x0A} << Changes{{34, 0x02}, {35, 0x0A}};
  }

  void settingCommands() {
    QFETCH(Bytes, command);
    QFETCH(Changes, changes);
    ProtocolEngine engine(memoryConfig());
    QCOMPARE(feed(engine, {0xAA}), Bytes{kAck});
    const SettingsBlock before = engine.settings();

    // Nothing happens until the last argument byte is in.
    const Bytes allButLast(command.begin(), command.end() - 1);
    QVERIFY(feed(engine, allButLast).empty());
    QCOMPARE(engine.settings(), before);

    QCOMPARE(engine.receive(command.back(), 1.05), Bytes{kAck});
    QCOMPARE(diff(before, engine.settings()), changes);

    // The 09h read-back carries the new values, then the acknowledgement.
    const Bytes block = feed(engine, {0x09}, 1.2);
    QCOMPARE(block.size(), std::size_t{37});
    QCOMPARE(block.back(), kAck);
    for (const auto& [offset, value] : changes)
      QCOMPARE(int(block[offset]), value);
  }

  void queries_data() {
    QTest::addColumn<Bytes>("command");
    QTest::addColumn<int>("replyLength");
    QTest::newRow("AA start") << Bytes{0xAA} << 1;
    QTest::newRow("0A end") << Bytes{0x0A} << 0;
    QTest::newRow("01 identify") << Bytes{0x01} << 2;
    QTest::newRow("02 live data") << Bytes{0x02} << 8;
    QTest::newRow("09 settings") << Bytes{0x09} << 37;
    QTest::newRow("0C period") << Bytes{0x0C} << 3;
    QTest::newRow("0D stepper") << Bytes{0x0D} << 2;
    QTest::newRow("03 open valve") << Bytes{0x03, 0x05} << 1;
    QTest::newRow("04 close valve") << Bytes{0x04, 0x05} << 1;
    QTest::newRow("0E set stepper") << Bytes{0x0E, 0x80} << 1;
    QTest::newRow("10 erase EEPROM") << Bytes{0x10} << 1;
    QTest::newRow("11 write EEPROM") << Bytes{0x11} << 1;
  }

  void queries() {
    QFETCH(Bytes, command);
    QFETCH(int, replyLength);
    ProtocolEngine engine(memoryConfig());
    const SettingsBlock before = engine.settings();
    const Bytes reply = feed(engine, command);
    QCOMPARE(int(reply.size()), replyLength);
    if (!reply.empty()) QCOMPARE(reply.back(), kAck);
    QCOMPARE(engine.settings(), before);  // none of these is a setting
  }

  void replyContents() {
    ProtocolEngine engine(memoryConfig());
    QCOMPARE(feed(engine, {0x01}), (Bytes{0x03, 0x01}));

    const Bytes block = feed(engine, {0x09});
    const SettingsBlock settings = engine.settings();
    QVERIFY(std::equal(settings.begin(), settings.end(), block.begin()));

    // Period and stepper replies agree with the live frame taken at the same moment.
    const Bytes frame = feed(engine, {0x02}, 3.0);
    QCOMPARE(feed(engine, {0x0C}, 3.0), (Bytes{frame[4], frame[5], kAck}));
    QCOMPARE(feed(engine, {0x0D}, 3.0), (Bytes{frame[6], kAck}));
  }

  void stepperCommands() {
    ProtocolEngine engine(memoryConfig());
    // Positions travel inverted: opening the valve lowers the byte on the line.
    QCOMPARE(feed(engine, {0x0E, 0x80}, 2.0), Bytes{kAck});
    QCOMPARE(feed(engine, {0x0D}, 2.01), (Bytes{0x80, kAck}));
    QCOMPARE(feed(engine, {0x03, 0x05}, 2.02), Bytes{kAck});
    QCOMPARE(feed(engine, {0x0D}, 2.03), (Bytes{0x7B, kAck}));
    QCOMPARE(feed(engine, {0x04, 0x0A}, 2.04), Bytes{kAck});
    QCOMPARE(feed(engine, {0x0D}, 2.05), (Bytes{0x85, kAck}));
    QCOMPARE(int(feed(engine, {0x02}, 2.06)[6]), 0x85);
  }

  void framing_data() {
    QTest::addColumn<Bytes>("bytes");
    QTest::addColumn<QList<double>>("times");
    QTest::addColumn<Bytes>("reply");
    QTest::addColumn<Changes>("changes");
    QTest::newRow("unknown bytes ignored")
        << Bytes{0x00, 0x21, 0x55, 0xFF, 0xAA} << QList<double>{1, 1, 1, 1, 1} << Bytes{kAck}
        << Changes{};
    QTest::newRow("arguments that look like commands")
        << Bytes{0x06, 0xAA, 0x0A, 0x02, 0x09} << QList<double>{1, 1, 1, 1, 1} << Bytes{kAck}
        << Changes{{1, 0xAA}, {2, 0x0A}, {3, 0x02}, {4, 0x09}};
    QTest::newRow("slow but in time") << Bytes{0x08, 0x34, 0x12} << QList<double>{1, 1.09, 1.18}
                                      << Bytes{kAck} << Changes{{6, 0x34}, {7, 0x12}};
    QTest::newRow("stale partial dropped, next byte starts a command")
        << Bytes{0x08, 0x34, 0xAA} << QList<double>{1, 1.001, 1.2} << Bytes{kAck} << Changes{};
    QTest::newRow("late argument taken as a new command")
        << Bytes{0x05, 0x07, 0x42} << QList<double>{1, 1.5, 1.501} << Bytes{kAck}
        << Changes{{5, 0x42}};
    QTest::newRow("stale unknown then valid")
        << Bytes{0x12, 0x40, 0x0F, 0x33} << QList<double>{1, 1.001, 1.3, 1.301} << Bytes{kAck}
        << Changes{{9, 0x33}};
  }

  void framing() {
    QFETCH(Bytes, bytes);
    QFETCH(QList<double>, times);
    QFETCH(Bytes, reply);
    QFETCH(Changes, changes);
    ProtocolEngine engine(memoryConfig());
    const SettingsBlock before = engine.settings();
    Bytes out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      const Bytes r = engine.receive(bytes[i], times[int(i)]);
      out.insert(out.end(), r.begin(), r.end());
    }
    QCOMPARE(out, reply);
    QCOMPARE(diff(before, engine.settings()), changes);
  }

  void faults_data() {
    QTest::addColumn<QStringList>("controls");
    QTest::addColumn<Bytes>("command");
    QTest::addColumn<Bytes>("expected");  // empty row value: nothing sent
    QTest::newRow("silent") << QStringList{"silent on"} << Bytes{0xAA} << Bytes{};
    QTest::newRow("silent off again")
        << QStringList{"silent on", "silent off"} << Bytes{0x01} << Bytes{0x03, 0x01};
    QTest::newRow("short 1 of identify") << QStringList{"short 1"} << Bytes{0x01} << Bytes{0x03};
    QTest::newRow("short longer than reply")
        << QStringList{"short 5"} << Bytes{0x01} << Bytes{0x03, 0x01};
    QTest::newRow("short 0") << QStringList{"short 0"} << Bytes{0x01} << Bytes{};
    QTest::newRow("short off") << QStringList{"short 1", "short off"} << Bytes{0x01}
                               << Bytes{0x03, 0x01};
    QTest::newRow("stray") << QStringList{"stray"} << Bytes{0x01} << Bytes{kStrayByte, 0x03, 0x01};
    QTest::newRow("stray with short")
        << QStringList{"stray", "short 1"} << Bytes{0x01} << Bytes{kStrayByte, 0x03};
    QTest::newRow("no stray without a reply")
        << QStringList{"stray"} << Bytes{0x0A, 0x01} << Bytes{kStrayByte, 0x03, 0x01};
  }

  void faults() {
    QFETCH(QStringList, controls);
    QFETCH(Bytes, command);
    QFETCH(Bytes, expected);
    ProtocolEngine engine(memoryConfig());
    for (const QString& line : controls) {
      std::string error;
      const auto cmd = parseControlLine(line.toStdString(), &error);
      QVERIFY2(cmd.has_value(), error.c_str());
      engine.control(*cmd, 0.5);
    }
    QCOMPARE(feed(engine, command), expected);
  }

  void silentControllerStillObeys() {
    ProtocolEngine::Config config;
    config.faults.silent = true;
    ProtocolEngine engine(config);
    QVERIFY(feed(engine, {0x07, 0x30}).empty());
    QCOMPARE(int(engine.settings()[5]), 0x30);
  }

  void strayOnceAffectsOnlyNextReply() {
    ProtocolEngine engine(memoryConfig());
    engine.control({ControlCommand::Kind::Stray, true, 0}, 0.5);
    QCOMPARE(feed(engine, {0xAA}), (Bytes{kStrayByte, kAck}));
    QCOMPARE(feed(engine, {0xAA}), Bytes{kAck});
  }

  void uncalibratedUntilIdleReferenceArrives() {
    ProtocolEngine::Config config;
    config.faults.uncalibrated = true;
    ProtocolEngine engine(config);
    Bytes block = feed(engine, {0x09});
    QCOMPARE((Bytes{block[32], block[33]}), (Bytes{0x01, 0x01}));

    feed(engine, {0x1F, 0x4E, 0x04});
    block = feed(engine, {0x09});
    QCOMPARE((Bytes{block[32], block[33]}), (Bytes{0x4E, 0x04}));

    // Switched on at run time it hides the reference; off shows it again.
    engine.control({ControlCommand::Kind::Uncalibrated, true, 0}, 2.0);
    QCOMPARE(int(feed(engine, {0x09})[32]), 0x01);
    engine.control({ControlCommand::Kind::Uncalibrated, false, 0}, 2.0);
    QCOMPARE(int(feed(engine, {0x09})[32]), 0x4E);
  }

  // A steady engine answers every 02h alike, at idle or at 3000 rpm, switched by option, by
  // "steady" and by "rev"/"idle"; "steady off" hands the frames back to the varying model.
  void steadyStates() {
    ProtocolEngine::Config config;
    config.idlePeriod = 1250;
    config.steady = SteadyState::Idle;
    ProtocolEngine engine(config);
    const auto frameAt = [&](double t) { return feed(engine, {0x02}, t); };
    const auto periodOf = [](const Bytes& f) { return f[4] | f[5] << 8; };
    // The valve (byte 6) keeps working; everything the calibration averages holds still.
    const auto sensors = [&](double t) {
      const Bytes f = frameAt(t);
      return Bytes(f.begin(), f.begin() + 6);
    };
    const Bytes idle = frameAt(1.0);
    QCOMPARE(idle.size(), std::size_t(8));
    QCOMPARE((Bytes{idle[1], idle[2], idle[3]}), (Bytes{10, 140, 185}));
    QCOMPARE(periodOf(idle), 1250);
    for (double t = 1.1; t < 4.0; t += 0.37)
      QCOMPARE(sensors(t), Bytes(idle.begin(), idle.begin() + 6));
    QCOMPARE(feed(engine, {0x0C}, 4.0), (Bytes{0xE2, 0x04, kAck}));

    using K = ControlCommand::Kind;
    engine.control({K::Steady, true, int(SteadyState::High)}, 5.0);
    const Bytes high = frameAt(5.01);
    QCOMPARE(int(high[1]), 60);
    QCOMPARE(periodOf(high), 333);  // 800 / 3000 of the idle period
    QCOMPARE(sensors(9.0), Bytes(high.begin(), high.begin() + 6));
    engine.control({K::Idle, false, 0}, 10.0);
    QCOMPARE(periodOf(frameAt(10.01)), 1250);
    engine.control({K::Rev, false, 0}, 11.0);
    QCOMPARE(periodOf(frameAt(11.01)), 333);

    engine.control({K::Steady, false, int(SteadyState::Off)}, 12.0);
    bool varies = false;
    const Bytes first = sensors(12.01);
    for (double t = 12.02; t < 14.0; t += 0.05)
      varies = varies || sensors(t) != first;
    QVERIFY(varies);
  }

  // The demo's periodic revving (idle 12 s, rev 6 s): on by option or "rev on", off by "rev off"
  // (the engine then idles, so a fitter can calibrate), ended by anything that sets the throttle.
  void revCycle_data() {
    QTest::addColumn<bool>("fromStart");
    QTest::addColumn<QString>("control");  // at 14 s, in the first rev period
    QTest::addColumn<QString>("revving");  // at 5, 15 and 31 s
    QTest::newRow("from the option") << true << ""
                                     << "011";
    QTest::newRow("rev on") << false << "rev on"
                            << "001";
    QTest::newRow("rev off") << true << "rev off"
                             << "000";
    QTest::newRow("rev holds") << true << "rev"
                               << "011";
    QTest::newRow("idle") << true << "idle"
                          << "000";
    QTest::newRow("steady idle") << true << "steady idle"
                                 << "000";
  }
  void revCycle() {
    QFETCH(bool, fromStart);
    QFETCH(QString, control);
    QFETCH(QString, revving);
    ProtocolEngine::Config config = memoryConfig();
    config.revCycle = fromStart;
    ProtocolEngine engine(config);
    QString seen;
    for (const double t : {5.0, 15.0, 31.0}) {
      if (t == 15.0 && !control.isEmpty())
        engine.control(*parseControlLine(control.toStdString(), nullptr), 14.0);
      engine.engine().advanceTo(t);
      seen += engine.engine().revving() ? '1' : '0';
    }
    QCOMPARE(seen, revving);
  }

  void controlLines_data() {
    using K = ControlCommand::Kind;
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("on");
    QTest::addColumn<int>("value");
    QTest::newRow("rev") << "rev" << true << int(K::Rev) << false << 0;
    QTest::newRow("idle crlf") << "idle\r" << true << int(K::Idle) << false << 0;
    QTest::newRow("rev on") << "rev on" << true << int(K::RevCycle) << true << 0;
    QTest::newRow("rev off") << " rev off" << true << int(K::RevCycle) << false << 0;
    QTest::newRow("rev junk") << "rev fast" << false << 0 << false << 0;
    QTest::newRow("blank") << "   " << true << int(K::Blank) << false << 0;
    QTest::newRow("silent on") << "silent on" << true << int(K::Silent) << true << 0;
    QTest::newRow("short 12") << "short 12" << true << int(K::Short) << true << 12;
    QTest::newRow("short off") << "short off" << true << int(K::Short) << false << 0;
    QTest::newRow("uncalibrated on")
        << "uncalibrated on" << true << int(K::Uncalibrated) << true << 0;
    QTest::newRow("steady idle") << "steady idle" << true << int(K::Steady) << true << 1;
    QTest::newRow("steady high") << " steady  high " << true << int(K::Steady) << true << 2;
    QTest::newRow("steady off") << "steady off" << true << int(K::Steady) << false << 0;
    QTest::newRow("steady alone") << "steady" << false << 0 << false << 0;
    QTest::newRow("wander misfire") << "wander misfire" << true << int(K::Wander) << true << 4;
    QTest::newRow("wander off") << "wander off" << true << int(K::Wander) << false << 0;
    QTest::newRow("wander junk") << "wander wildly" << false << 0 << false << 0;
    QTest::newRow("bit-errors 500") << "bit-errors 500" << true << int(K::BitErrors) << true << 500;
    QTest::newRow("bit-errors off") << "bit-errors off" << true << int(K::BitErrors) << false << 0;
    QTest::newRow("bit-errors 1") << "bit-errors 1" << false << 0 << false << 0;
    QTest::newRow("quit") << "quit" << true << int(K::Quit) << false << 0;
    QTest::newRow("unknown") << "reboot" << false << 0 << false << 0;
    QTest::newRow("short negative") << "short -1" << false << 0 << false << 0;
    QTest::newRow("short junk") << "short 3x" << false << 0 << false << 0;
    QTest::newRow("case matters") << "QUIT" << false << 0 << false << 0;
    QTest::newRow("latency 16") << "latency 16" << true << int(K::Latency) << true << 16;
    QTest::newRow("latency off") << "latency off" << true << int(K::Latency) << false << 0;
    QTest::newRow("latency beyond a chip's timer") << "latency 300" << false << 0 << false << 0;
  }

  void controlLines() {
    QFETCH(QString, line);
    QFETCH(bool, valid);
    std::string error;
    const auto cmd = parseControlLine(line.toStdString(), &error);
    QCOMPARE(cmd.has_value(), valid);
    if (!valid) {
      QVERIFY(!error.empty());
      return;
    }
    QFETCH(int, kind);
    QFETCH(bool, on);
    QFETCH(int, value);
    QCOMPARE(int(cmd->kind), kind);
    QCOMPARE(cmd->on, on);
    QCOMPARE(cmd->value, value);
  }

  // The defaults must read back as sensible settings through the desktop
  // program's own conversions (idle reference 1100 taken as 800 rpm).
  void factoryDefaultsDecode() {
    const SettingsBlock b = factoryDefaults();
    const int ref = get16(b, 32);
    QCOMPARE(ref, 1100);
    QCOMPARE(int(b[0]), 120);
    QCOMPARE(std::lround(get16(b, 1) * 1000 / 244.0), 500L);   // lambda 1 TH, ms
    QCOMPARE(std::lround(get16(b, 3) * 1000 / 244.0), 1000L);  // lambda 1 period
    QCOMPARE(int(b[5]), 20);                                   // TPS 1.00 V
    QCOMPARE(rpmOf(get16(b, 6), ref), 2000);
    QCOMPARE(int(b[8]), 0x51);
    QCOMPARE(int(b[9]), 25);  // lambda 0.50 V
    QCOMPARE(255 - b[10], 210);
    QCOMPARE(255 - b[11], 15);
    QCOMPARE(255 - b[12], 40);
    QCOMPARE(rpmOf(get16(b, 13), ref), 5000);
    QCOMPARE(get16(b, 15), 244);
    // Falling-speed delta: the period at (changeover - delta) less the one at the changeover.
    const int delta = 2000 - rpmOf(get16(b, 17) + get16(b, 6), ref);
    QCOMPARE(int(std::lround(delta / 100.0) * 100), 500);
    QCOMPARE(int(std::lround(rpmOf(get16(b, 19), ref) / 100.0) * 100), 1500);
    QCOMPARE(255 - b[21], 210);
    QCOMPARE(int(b[22]), 10);  // 2 s
    QCOMPARE(get16(b, 23), get16(b, 1));
    QCOMPARE(get16(b, 25), get16(b, 3));
    QCOMPARE(int(b[27]), 5);
    QCOMPARE(std::lround(25 - get16(b, 28) / 2650.0), 10L);
    QCOMPARE(int(b[30]), 5);
    QCOMPARE(int(b[31]), 1);
    QCOMPARE(std::lround(25 - get16(b, 34) / 2650.0), 10L);
  }
};

QTEST_GUILESS_MAIN(TestSimProtocol)
#include "test_sim_protocol.moc"
