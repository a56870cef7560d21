// What each of the editor's OK buttons sends for the texts of its fields, or why it refuses.
#include <QtTest>

#include "core/Dialogs.h"
#include "settings/Conversions.h"
#include "settings/SettingsSends.h"

using namespace orvel;

namespace {

enum class Op {
  Tps,
  Lambda,
  Changeover,
  StartDelay,
  MaxSpeed,
  Acceleration,
  Delta,
  IdleSpeed,
  SecondSpeed,
  Lambda1,
  Lambda2,
  StepperRange,
  StepperStart,
  CutoffPosition,
  CutoffSpeed,
};

SendOutcome run(Op op, const QStringList& t, long long r) {
  switch (op) {
    case Op::Tps:
      return sends::tpsThreshold(t.at(0));
    case Op::Lambda:
      return sends::lambdaThreshold(t.at(0));
    case Op::Changeover:
      return sends::changeoverSpeed(t.at(0), r);
    case Op::StartDelay:
      return sends::startDelay(t.at(0));
    case Op::MaxSpeed:
      return sends::maxSpeed(t.at(0), r);
    case Op::Acceleration:
      return sends::accelerationSteps(t.at(0));
    case Op::Delta:
      return sends::fallingDelta(t.at(0), t.at(1), r);
    case Op::IdleSpeed:
      return sends::idleStepperSpeed(t.at(0));
    case Op::SecondSpeed:
      return sends::secondStepperSpeed(t.at(0));
    case Op::Lambda1:
      return sends::lambda1Shape(t.at(0), t.at(1));
    case Op::Lambda2:
      return sends::lambda2Shape(t.at(0), t.at(1));
    case Op::StepperRange:
      return sends::stepperRange(t.at(0), t.at(1));
    case Op::StepperStart:
      return sends::stepperStart(t.at(0));
    case Op::CutoffPosition:
      return sends::cutoffPosition(t.at(0));
    case Op::CutoffSpeed:
      return sends::cutoffSpeed(t.at(0), r);
  }
  return {};
}

// The outcome as one line: the boxes with the inputs each empties, then the bytes sent,
// "nothing" when there are neither.
QString describe(Op op, const QStringList& texts, long long reference) {
  {
    const SendOutcome out = run(op, texts, reference);
    QStringList parts;
    for (const auto& notice : out.notices) {
      QStringList cleared;
      for (int i : notice.clearInputs)
        cleared << QString::number(i);
      parts << QStringLiteral("[%1]").arg(notice.text) +
                   (cleared.isEmpty() ? QString() : QStringLiteral(" clear ") + cleared.join(','));
    }
    if (out.command) parts << toHexText(out.command->bytes());
    return parts.isEmpty() ? QStringLiteral("nothing") : parts.join(QStringLiteral("; "));
  }
}

// The refusal of a value: what is allowed, the inputs emptied.
QString invalid(const QString& allowed, const QString& cleared = QStringLiteral("0")) {
  return QStringLiteral("[Nieprawidłowa wartość\r\nDozwolone: %1]").arg(allowed) +
         (cleared.isEmpty() ? QString() : QStringLiteral(" clear ") + cleared);
}
const QString kTps = invalid("0.00...10.00 V");
const QString kLambda = invalid("0.00...5.00 V");
const QString kRpm = invalid("14...9999 rpm");
const QString kPosition = invalid("0...255");
const QString kSpeedRange = QStringLiteral("[Prędkość w granicach 1...24] clear 0");
const QString kBadShape = QStringLiteral("[Niepoprawne dane]");
const QString kShapeRange =
    QStringLiteral("[Dane poza zakresem   TH, TL - 0...4000ms\r\nTH+TL max 4000ms]");

}  // namespace

class TestSettingsSends : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void sends_data();
  void sends();
  void shapes();
  void integers_data();
  void integers();
};

void TestSettingsSends::sends_data() {
  QTest::addColumn<Op>("op");
  QTest::addColumn<QStringList>("texts");
  QTest::addColumn<int>("reference");
  QTest::addColumn<QString>("expected");
  const auto row = [](const char* name, Op op, QStringList texts, int reference,
                      const QString& expected) {
    QTest::newRow(name) << op << texts << reference << expected;
  };

  // Volts are read as people type them: a comma or a point, up to two decimals.
  row("TPS 1.00", Op::Tps, {"1.00"}, 0, "07h 14h");
  row("TPS 3", Op::Tps, {"3"}, 0, "07h 3Ch");
  row("TPS 3,0", Op::Tps, {"3,0"}, 0, "07h 3Ch");
  row("TPS 3.0", Op::Tps, {"3.0"}, 0, "07h 3Ch");
  row("TPS 3.00", Op::Tps, {"3.00"}, 0, "07h 3Ch");
  row("TPS 3.", Op::Tps, {"3."}, 0, "07h 3Ch");
  row("TPS ,5", Op::Tps, {",5"}, 0, "07h 0Ah");
  row("TPS 2.5: one decimal is tenths", Op::Tps, {"2.5"}, 0, "07h 32h");
  row("TPS 1,25", Op::Tps, {"1,25"}, 0, "07h 19h");
  row("TPS 1.02 rounds down, 1.03 up", Op::Tps, {"1.02"}, 0, "07h 14h");
  row("TPS 1.03", Op::Tps, {"1.03"}, 0, "07h 15h");
  row("TPS 9.99", Op::Tps, {"9.99"}, 0, "07h C8h");
  row("TPS 10: top of the range", Op::Tps, {"10"}, 0, "07h C8h");
  row("TPS 10.0", Op::Tps, {"10.0"}, 0, "07h C8h");
  row("TPS 10.00", Op::Tps, {"10.00"}, 0, "07h C8h");
  row("TPS 10.01", Op::Tps, {"10.01"}, 0, kTps);
  row("TPS 11", Op::Tps, {"11"}, 0, kTps);
  row("TPS -1.0", Op::Tps, {"-1.0"}, 0, kTps);
  row("TPS 1.0x", Op::Tps, {"1.0x"}, 0, kTps);
  row("TPS 1.005: three decimals", Op::Tps, {"1.005"}, 0, kTps);
  row("TPS 1.2.3", Op::Tps, {"1.2.3"}, 0, kTps);
  row("TPS point alone", Op::Tps, {"."}, 0, kTps);
  row("TPS blank", Op::Tps, {" 1.0"}, 0, kTps);
  row("TPS empty", Op::Tps, {""}, 0, "nothing");
  row("lambda 0.50: a half rounds down", Op::Lambda, {"0.50"}, 0, "0Fh 19h");
  row("lambda 1.00", Op::Lambda, {"1.00"}, 0, "0Fh 33h");
  row("lambda 5", Op::Lambda, {"5"}, 0, "0Fh FFh");
  row("lambda 5.01 would wrap", Op::Lambda, {"5.01"}, 0, kLambda);
  row("lambda O.50", Op::Lambda, {"O.50"}, 0, kLambda);

  // rpm travel as periods against the idle period reference.
  row("changeover 800", Op::Changeover, {"800"}, 1100, "08h 4Ch 04h");
  row("changeover +800", Op::Changeover, {"+800"}, 1100, "08h 4Ch 04h");
  row("changeover 3000", Op::Changeover, {"3000"}, 1100, "08h 25h 01h");
  row("changeover 14: largest period that fits", Op::Changeover, {"14"}, 1100, "08h 89h F5h");
  row("changeover 9999", Op::Changeover, {"9999"}, 1100, "08h 58h 00h");
  row("changeover 10000", Op::Changeover, {"10000"}, 1100, kRpm);
  row("changeover 13: period over 16 bits", Op::Changeover, {"13"}, 1100, kRpm);
  row("changeover 0", Op::Changeover, {"0"}, 1100, kRpm);
  row("changeover -800", Op::Changeover, {"-800"}, 1100, kRpm);
  row("changeover with reference 0", Op::Changeover, {"800"}, 0, "[Nieprawidłowa wartość] clear 0");
  row("changeover 8OO", Op::Changeover, {"8OO"}, 1100, kRpm);
  row("changeover with a blank", Op::Changeover, {" 800"}, 1100, kRpm);
  row("changeover beyond 32 bits", Op::Changeover, {"2147483648"}, 1100, kRpm);
  row("changeover empty", Op::Changeover, {""}, 1100, "nothing");
  row("max speed 5000", Op::MaxSpeed, {"5000"}, 1100, "14h B0h 00h");
  row("max speed OFF", Op::MaxSpeed, {"OFF"}, 1100, kRpm);
  row("cutoff speed 1100", Op::CutoffSpeed, {"1100"}, 1100, "18h 20h 03h");
  row("cutoff speed 0", Op::CutoffSpeed, {"0"}, 1100, kRpm);

  row("start delay 2", Op::StartDelay, {"2"}, 0, "19h 0Ah");
  row("start delay 0", Op::StartDelay, {"0"}, 0, "19h 00h");
  row("start delay 51", Op::StartDelay, {"51"}, 0, "19h FFh");
  row("start delay 52 does not fit", Op::StartDelay, {"52"}, 0, invalid("0...51 s"));
  row("start delay -1", Op::StartDelay, {"-1"}, 0, invalid("0...51 s"));
  row("start delay 2147483647", Op::StartDelay, {"2147483647"}, 0, invalid("0...51 s"));
  row("start delay 2s", Op::StartDelay, {"2s"}, 0, invalid("0...51 s"));

  row("acceleration 2", Op::Acceleration, {"2"}, 0, "1Bh 02h");
  row("acceleration 50", Op::Acceleration, {"50"}, 0, "1Bh 32h");
  row("acceleration 51", Op::Acceleration, {"51"}, 0, invalid("2...50"));
  row("acceleration 1", Op::Acceleration, {"1"}, 0, invalid("2...50"));
  row("acceleration 258", Op::Acceleration, {"258"}, 0, invalid("2...50"));
  row("acceleration ab", Op::Acceleration, {"ab"}, 0, invalid("2...50"));

  row("delta 200 below 800", Op::Delta, {"800", "200"}, 1100, "16h 6Fh 01h");
  row("delta 0", Op::Delta, {"800", "0"}, 1100, "16h 00h 00h");
  const QString kDelta = invalid("0...786 rpm", "1");
  row("delta 786: down to the lowest speed", Op::Delta, {"800", "786"}, 1100, "16h 3Dh F1h");
  row("delta equal to changeover", Op::Delta, {"800", "800"}, 1100, kDelta);
  row("delta above changeover", Op::Delta, {"800", "900"}, 1100, kDelta);
  row("delta negative", Op::Delta, {"800", "-100"}, 1100, kDelta);
  row("delta to 10 rpm: period over 16 bits", Op::Delta, {"1000", "990"}, 1100,
      invalid("0...986 rpm", "1"));
  row("delta with reference 0", Op::Delta, {"800", "200"}, 0, "[Nieprawidłowa wartość]");
  row("delta with changeover empty", Op::Delta, {"", "200"}, 1100, "nothing");
  row("delta empty", Op::Delta, {"800", ""}, 1100, kDelta);
  row("delta with changeover x: named, kept", Op::Delta, {"x", "200"}, 1100,
      invalid("14...9999 rpm", ""));
  row("delta y", Op::Delta, {"800", "y"}, 1100, kDelta);

  // Stepper speeds have their own messages, each emptying the field.
  row("idle speed 24", Op::IdleSpeed, {"24"}, 0, "1Ch 5Ah 0Ah");
  row("idle speed +5", Op::IdleSpeed, {"+5"}, 0, "1Ch 08h CFh");
  row("second speed 1", Op::SecondSpeed, {"1"}, 0, "20h 70h F8h");
  row("idle speed 25", Op::IdleSpeed, {"25"}, 0, kSpeedRange);
  row("idle speed 0", Op::IdleSpeed, {"0"}, 0, kSpeedRange);
  row("second speed -3", Op::SecondSpeed, {"-3"}, 0, kSpeedRange);
  row("idle speed x", Op::IdleSpeed, {"x"}, 0,
      QStringLiteral("[Błędna dana] clear 0; ") + kSpeedRange);
  row("second speed empty", Op::SecondSpeed, {""}, 0,
      QStringLiteral("[Błędna dana] clear 0; ") + kSpeedRange);

  // Lambda shapes: counts are the nearest with halves down.
  row("lambda 1 500/500", Op::Lambda1, {"500", "500"}, 0, "06h 7Ah 00h F4h 00h");
  row("lambda 2 500/500", Op::Lambda2, {"500", "500"}, 0, "1Ah 7Ah 00h F4h 00h");
  row("lambda 1 0/0", Op::Lambda1, {"0", "0"}, 0, "06h 00h 00h 00h 00h");
  row("lambda 1 4000/0", Op::Lambda1, {"4000", "0"}, 0, "06h D0h 03h D0h 03h");
  row("lambda 1 2/2: halves down", Op::Lambda1, {"2", "2"}, 0, "06h 00h 00h 01h 00h");
  row("lambda 1 3000/1500", Op::Lambda1, {"3000", "1500"}, 0, kShapeRange);
  row("lambda 1 4001/0", Op::Lambda1, {"4001", "0"}, 0, kShapeRange);
  row("lambda 1 -1/0 is 65535", Op::Lambda1, {"-1", "0"}, 0, kShapeRange);
  row("lambda 1 100/-36: no 16-bit wrap of the sum", Op::Lambda1, {"100", "-36"}, 0, kShapeRange);
  // An unreadable time is reported and nothing is sent.
  row("lambda 1 x/500", Op::Lambda1, {"x", "500"}, 0, kBadShape);
  row("lambda 1 500/x", Op::Lambda1, {"500", "x"}, 0, kBadShape);
  row("lambda 1 5oo/500", Op::Lambda1, {"5oo", "500"}, 0, kBadShape);
  row("lambda 1 empty TH", Op::Lambda1, {"", "500"}, 0, kBadShape);
  row("lambda 2 empty TL", Op::Lambda2, {"500", ""}, 0, kBadShape);

  // Positions travel inverted; 0 is a position too.
  row("stepper 210/15", Op::StepperRange, {"210", "15"}, 0, "12h 2Dh F0h");
  row("stepper 0/255", Op::StepperRange, {"0", "255"}, 0, "12h FFh 00h");
  row("stepper max 256", Op::StepperRange, {"256", "15"}, 0, kPosition);
  row("stepper min -1", Op::StepperRange, {"210", "-1"}, 0, invalid("0...255", "1"));
  row("stepper both out", Op::StepperRange, {"300", "-1"}, 0, invalid("0...255", "0,1"));
  row("stepper max x", Op::StepperRange, {"x", "15"}, 0, kPosition);
  row("stepper min empty", Op::StepperRange, {"210", ""}, 0, "nothing");
  row("start position 40", Op::StepperStart, {"40"}, 0, "13h D7h");
  row("start position 0", Op::StepperStart, {"0"}, 0, "13h FFh");
  row("start position 256", Op::StepperStart, {"256"}, 0, kPosition);
  row("cutoff position 210", Op::CutoffPosition, {"210"}, 0, "17h 2Dh");
  row("cutoff position -1", Op::CutoffPosition, {"-1"}, 0, kPosition);
  row("cutoff position 2l0", Op::CutoffPosition, {"2l0"}, 0, kPosition);
}

void TestSettingsSends::sends() {
  QFETCH(Op, op);
  QFETCH(QStringList, texts);
  QFETCH(int, reference);
  QFETCH(QString, expected);
  QCOMPARE(describe(op, texts, reference), expected);
}

void TestSettingsSends::shapes() {
  // What is drawn is what was sent; nothing is drawn for a shape that was not sent.
  QCOMPARE(sends::lambda1Shape("300", "700").shape, (LambdaShape{300, 700}));
  QVERIFY(!sends::lambda2Shape("x", "700").shape);
  QVERIFY(!sends::lambda1Shape("3000", "1500").shape);
}

void TestSettingsSends::integers_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("expected");
  QTest::newRow("plain") << "42"
                         << "42";
  QTest::newRow("plus") << "+7"
                        << "7";
  QTest::newRow("minus") << "-7"
                         << "-7";
  QTest::newRow("leading zeros") << "007"
                                 << "7";
  QTest::newRow("lowest") << "-2147483648"
                          << "-2147483648";
  QTest::newRow("below lowest") << "-2147483649"
                                << "none";
  QTest::newRow("sign alone") << "-"
                              << "none";
  QTest::newRow("two signs") << "--1"
                             << "none";
  QTest::newRow("blank after") << "1 "
                               << "none";
  QTest::newRow("hex") << "$FF"
                       << "none";
  QTest::newRow("other script digit") << QString::fromUtf8("\u0663") << "none";
}

void TestSettingsSends::integers() {
  QFETCH(QString, text);
  QFETCH(QString, expected);
  const auto value = parseInteger(text);
  QCOMPARE(value ? QString::number(*value) : QStringLiteral("none"), expected);
}

QTEST_APPLESS_MAIN(TestSettingsSends)
#include "test_settings_sends.moc"
