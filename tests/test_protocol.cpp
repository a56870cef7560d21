// The command catalogue as bytes on the line, and the unit conversions behind the arguments.
#include "core/Dialogs.h"
#include "link/Protocol.h"
#include "settings/Conversions.h"
#include "support/FakeTransport.h"

#include <QTest>

using namespace orvel;

Q_DECLARE_METATYPE(orvel::Command)

class ProtocolTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void catalogue_data() {
    QTest::addColumn<Command>("command");
    QTest::addColumn<QByteArray>("bytes");
    using namespace commands;
    const auto row = [](const char* name, const Command& c, const QByteArray& b) {
      QTest::newRow(name) << c << b;
    };
    row("AAh start", startCommunication(), QByteArray("\xAA"));
    row("0Ah end", endCommunication(), QByteArray("\x0A"));
    row("01h identify", identify(), QByteArray("\x01"));
    row("02h live data", liveData(), QByteArray("\x02"));
    row("03h open valve", openValve(5), QByteArray("\x03\x05"));
    row("04h close valve cut to a byte", closeValve(0x1FF), QByteArray("\x04\xFF"));
    row("05h gas threshold", gasThreshold(120), QByteArray("\x05\x78"));
    row("06h lambda 1 shape", lambda1Shape(122, 244), QByteArray("\x06\x7A\x00\xF4\x00", 5));
    row("07h TPS threshold", tpsThreshold(20), QByteArray("\x07\x14"));
    row("08h changeover period", changeoverSpeed(1100), QByteArray("\x08\x4C\x04"));
    row("08h 256 is 00h 01h", changeoverSpeed(256), QByteArray("\x08\x00\x01", 3));
    row("08h cut to 16 bits", changeoverSpeed(0x12345), QByteArray("\x08\x45\x23"));
    row("09h read settings", readSettings(), QByteArray("\x09"));
    row("0Bh flags", installationFlags(0x51), QByteArray("\x0B\x51"));
    row("0Ch read period", readPeriod(), QByteArray("\x0C"));
    row("0Dh read stepper", readStepper(), QByteArray("\x0D"));
    row("0Eh set stepper", setStepper(40), QByteArray("\x0E\x28"));
    row("0Fh lambda threshold", lambdaThreshold(25), QByteArray("\x0F\x19"));
    row("10h erase", eraseEeprom(), QByteArray("\x10"));
    row("11h write", writeEeprom(), QByteArray("\x11"));
    row("12h range inverted, max first", stepperRange(210, 15), QByteArray("\x12\x2D\xF0"));
    row("13h start inverted", stepperStart(40), QByteArray("\x13\xD7"));
    row("13h position 0 is FFh", stepperStart(0), QByteArray("\x13\xFF"));
    row("13h position 255 is 00h", stepperStart(255), QByteArray("\x13\x00", 2));
    row("13h position 256 wraps like its low byte", stepperStart(256), QByteArray("\x13\xFF"));
    row("14h max speed", maxSpeedOnGas(176), QByteArray("\x14\xB0\x00", 3));
    row("14h off is 1", maxSpeedOff(), QByteArray("\x14\x01\x00", 3));
    row("15h changeover delay", changeoverDelay(244), QByteArray("\x15\xF4\x00", 3));
    row("16h falling delta", fallingDelta(147), QByteArray("\x16\x93\x00", 3));
    row("16h negative difference as 16 bits", fallingDelta(-1), QByteArray("\x16\xFF\xFF"));
    row("17h cutoff position inverted", cutoffPosition(210), QByteArray("\x17\x2D"));
    row("18h cutoff period", cutoffSpeed(587), QByteArray("\x18\x4B\x02"));
    row("19h power-on delay", powerOnDelay(10), QByteArray("\x19\x0A"));
    row("1Ah lambda 2 shape", lambda2Shape(0, 0), QByteArray("\x1A\x00\x00\x00\x00", 5));
    row("1Bh acceleration", accelerationSteps(2), QByteArray("\x1B\x02"));
    row("1Ch idle stepper speed", idleStepperSpeed(2650), QByteArray("\x1C\x5A\x0A"));
    row("1Dh low gas steps", lowGasSteps(5), QByteArray("\x1D\x05"));
    row("1Eh lambda range", lambda1Range(2), QByteArray("\x1E\x02"));
    row("1Fh idle reference", idlePeriodReference(1100), QByteArray("\x1F\x4C\x04"));
    row("20h second stepper speed", secondStepperSpeed(24 * 2650), QByteArray("\x20\x70\xF8"));
  }
  void catalogue() {
    QFETCH(Command, command);
    QFETCH(QByteArray, bytes);
    QCOMPARE(command.bytes(), bytes);
  }

  void sendWritesEveryByteOnItsOwn() {
    test::FakeTransport link;
    link.setPortName("COM1");
    link.open();
    int writes = 0;
    link.onWrite = [&](std::uint8_t) { ++writes; };
    send(link, commands::lambda1Shape(122, 244));
    QCOMPARE(link.written(), QByteArray("\x06\x7A\x00\xF4\x00", 5));
    QCOMPARE(writes, 5);
  }

  void aFailingWriteEndsTheSend() {
    test::FakeTransport link;
    link.setPortName("COM1");
    link.open();
    link.failWritesFrom = 2;
    QVERIFY_THROWS_EXCEPTION(AppError, send(link, commands::lambda1Shape(122, 244)));
    QCOMPARE(link.written(), QByteArray("\x06\x7A"));
  }

  void hexText() { QCOMPARE(toHexText(QByteArray("\x06\x7A\x00", 3)), QString("06h 7Ah 00h")); }

  void roundingIsHalfToEven_data() {
    QTest::addColumn<double>("x");
    QTest::addColumn<long long>("rounded");
    QTest::newRow("0.5") << 0.5 << 0LL;
    QTest::newRow("1.5") << 1.5 << 2LL;
    QTest::newRow("2.5") << 2.5 << 2LL;
    QTest::newRow("-2.5") << -2.5 << -2LL;
    QTest::newRow("16.5") << 16.5 << 16LL;
    QTest::newRow("17.5") << 17.5 << 18LL;
    QTest::newRow("2.4999") << 2.4999 << 2LL;
  }
  void roundingIsHalfToEven() {
    QFETCH(double, x);
    QFETCH(long long, rounded);
    QCOMPARE(roundHalfEven(x), rounded);
  }

  void conversions() {
    // Engine speed against the idle reference.
    QCOMPARE(*rpmFromPeriod(1100, 1100), 800LL);
    QCOMPARE(*rpmFromPeriod(1100, 88), 10000LL);
    QCOMPARE(*rpmFromPeriod(1100, 1067), 825LL);
    QVERIFY(!rpmFromPeriod(1100, 0));
    QCOMPARE(*periodFromRpm(1100, 800), 1100LL);
    QCOMPARE(*periodFromRpm(1100, 2000), 440LL);
    QVERIFY(!periodFromRpm(1100, 0));
    // Lambda times: 1/244 s per count; the editor's way rounds halves down.
    QCOMPARE(lambdaCountFromMs(500), 122LL);
    QCOMPARE(lambdaCountFromMs(1000), 244LL);
    QCOMPARE(lambdaCountFromMs(0), 0LL);
    QCOMPARE(lambdaCountFromMsRounded(500), 122LL);
    QVERIFY(qAbs(lambdaMsFromCount(244) - 1000.0) < 1e-9);
    // Delays.
    QCOMPARE(int(powerOnDelayCount(2)), 10);
    QCOMPARE(int(powerOnDelayCount(52)), 4);  // 260 cut to a byte
    QCOMPARE(powerOnDelaySeconds(10), 2LL);
    QCOMPARE(changeoverDelayCountFromSeconds(1.0), 244LL);
    // Stepper speed codes.
    QCOMPARE(stepperSpeedCode(24), 2650LL);
    QCOMPARE(stepperSpeedCode(1), 24LL * 2650);
    QCOMPARE(stepperSpeedFromCode(2650), 24LL);
    QCOMPARE(stepperSpeedFromCode(24 * 2650), 1LL);
  }

  void voltTexts_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("raw");
    QTest::addColumn<QString>("text");
    QTest::newRow("TPS 20") << "tps-threshold" << 20 << "1.00";
    QTest::newRow("TPS 255") << "tps-threshold" << 255 << "12.75";
    QTest::newRow("TPS 0") << "tps-threshold" << 0 << "0.00";
    QTest::newRow("lambda 25") << "lambda-threshold" << 25 << "0.50";
    QTest::newRow("lambda 50 carries") << "lambda-threshold" << 50 << "1.00";
    QTest::newRow("live lambda 51") << "live-lambda" << 51 << "1.00";
    QTest::newRow("live lambda 2") << "live-lambda" << 2 << "0.03";
    QTest::newRow("live lambda 41") << "live-lambda" << 41 << "0.80";
    QTest::newRow("live TPS 255") << "live-tps" << 255 << "12.75";
    QTest::newRow("live TPS 1") << "live-tps" << 1 << "0.05";
    QTest::newRow("live TPS 20") << "live-tps" << 20 << "1.00";
    QTest::newRow("live TPS 23 exactly 1.15") << "live-tps" << 23 << "1.15";
    QTest::newRow("live TPS 229 exactly 11.45") << "live-tps" << 229 << "11.45";
    QTest::newRow("live lambda 25") << "live-lambda" << 25 << "0.49";
    QTest::newRow("live lambda 255") << "live-lambda" << 255 << "5.00";
  }
  void voltTexts() {
    QFETCH(QString, kind);
    QFETCH(int, raw);
    QFETCH(QString, text);
    if (kind == "tps-threshold") QCOMPARE(thresholdVoltText(tpsVolts(raw)), text);
    if (kind == "lambda-threshold") QCOMPARE(thresholdVoltText(lambdaVolts(raw)), text);
    if (kind == "live-lambda") QCOMPARE(lambdaVoltText(raw), text);
    if (kind == "live-tps") QCOMPARE(tpsVoltText(raw), text);
  }

  void voltTextsReadBack_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("hundredths");  // -1: refused
    QTest::newRow("1.00") << "1.00" << 100;
    QTest::newRow("2.5 missing hundredths") << "2.5" << 250;
    QTest::newRow("0.50") << "0.50" << 50;
    QTest::newRow("10.0 whole part of two digits") << "10.0" << -1;
    QTest::newRow("letters") << "ab" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("one digit") << "1" << -1;
    QTest::newRow("sign") << "-1.0" << -1;
  }
  void voltTextsReadBack() {
    QFETCH(QString, text);
    QFETCH(int, hundredths);
    const auto h = hundredthsFromVoltText(text);
    QCOMPARE(h.value_or(-1), hundredths);
  }
};

QTEST_MAIN(ProtocolTest)
#include "test_protocol.moc"
