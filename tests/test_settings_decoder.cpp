// Decoding the settings block into what the editor shows, and the flags byte's radio mapping.
#include <QtTest>

#include "settings/SettingsDecoder.h"

using namespace orvel;

using Expected = QMap<QString, QString>;
Q_DECLARE_METATYPE(SettingsBlock)

namespace {

void setWord(SettingsBlock& b, int k, int value) {
  b[k] = static_cast<std::uint8_t>(value & 0xFF);
  b[k + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

SettingsBlock filled(int value) {
  SettingsBlock b;
  b.fill(static_cast<std::uint8_t>(value));
  return b;
}

// A controller as a fitter usually finds it, idle period reference 1100.
SettingsBlock typical() {
  SettingsBlock b = filled(0);
  setWord(b, 1, 122);  // lambda 1: 500 ms high in a 1000 ms period
  setWord(b, 3, 244);
  b[5] = 20;            // TPS 1.00 V
  setWord(b, 6, 1100);  // changeover at 800 rpm
  b[8] = 0x51;          // TPS falling, cutoff, dynamic mode
  b[9] = 25;            // lambda 0.50 V
  b[10] = 45;           // stepper max 210
  b[11] = 240;          // min 15
  b[12] = 215;          // start 40
  setWord(b, 13, 176);  // max 5000 rpm
  setWord(b, 15, 244);  // changeover delay about 1 s
  setWord(b, 17, 367);  // delta 200 rpm below 800
  setWord(b, 19, 800);  // cutoff 1100 rpm
  b[21] = 45;           // cutoff position 210
  b[22] = 10;           // 2 s after power-on
  setWord(b, 23, 122);  // lambda 2 as lambda 1
  setWord(b, 25, 244);
  b[27] = 5;
  setWord(b, 28, 39750);  // speed 10
  b[31] = 1;              // 1 V probe
  setWord(b, 32, 1100);
  setWord(b, 34, 2650);  // speed 24
  b[36] = 1;
  return b;
}

SettingsBlock with(SettingsBlock b, std::initializer_list<std::pair<int, int>> bytes) {
  for (const auto& [k, v] : bytes)
    b[k] = static_cast<std::uint8_t>(v);
  return b;
}

SettingsBlock withWord(SettingsBlock b, int k, int value) {
  setWord(b, k, value);
  return b;
}

QString yesNo(bool b) {
  return b ? QStringLiteral("yes") : QStringLiteral("no");
}

// Everything the decoder produces, by the name of the control it goes to.
Expected shown(const DecodedSettings& d) {
  QStringList items;
  for (int item : d.radioItems)
    items << QString::number(item);
  return {
      {"EditThLambda", d.EditThLambda},
      {"EditOkresLambda", d.EditOkresLambda},
      {"CheckBox2", yesNo(d.lambda1Bosch)},
      {"EditThLambda2", d.EditThLambda2},
      {"EditOkresLambda2", d.EditOkresLambda2},
      {"EditProgTPS", d.EditProgTPS},
      {"EditProgGB", d.EditProgGB},
      {"flags", QString::number(d.installationFlags, 16)},
      {"items", items.join(QLatin1Char(','))},
      {"CheckBox1", yesNo(d.cutoffOn)},
      {"EditProgLambda", d.EditProgLambda},
      {"Editsilnikmax", d.Editsilnikmax},
      {"EditSilnikmin", d.EditSilnikmin},
      {"EditSilnikopt", d.EditSilnikopt},
      {"CheckBox3", yesNo(d.maxSpeedOff)},
      {"Editobrotymax", d.Editobrotymax},
      {"Edit3", d.Edit3},
      {"Edit2", d.Edit2},
      {"Edit1", d.Edit1},
      {"Edit5", d.Edit5},
      {"Edit4", d.Edit4},
      {"Edit7", d.Edit7},
      {"Edit8", d.Edit8},
      {"Editdelay", d.Editdelay},
      {"line33", d.lambdaRangeLine.value_or(QStringLiteral("(kept)"))},
  };
}

}  // namespace

class TestSettingsDecoder : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void decodes_data();
  void decodes();
  void flagRadioMapping_data();
  void flagRadioMapping();
};

void TestSettingsDecoder::decodes_data() {
  QTest::addColumn<SettingsBlock>("block");
  QTest::addColumn<int>("reference");
  QTest::addColumn<bool>("fieldShowsOff");
  QTest::addColumn<Expected>("expected");

  // Items are TPS, speed signal, gas sensor, operating mode.
  // clang-format off
  QTest::newRow("typical") << typical() << 1100 << false << Expected{
      {"EditThLambda", "500"}, {"EditOkresLambda", "500"}, {"CheckBox2", "no"},
      {"EditThLambda2", "500"}, {"EditOkresLambda2", "500"}, {"EditProgTPS", "1.00"},
      {"EditProgGB", "800"}, {"flags", "51"}, {"items", "1,0,0,0"}, {"CheckBox1", "yes"},
      {"EditProgLambda", "0.50"}, {"Editsilnikmax", "210"}, {"EditSilnikmin", "15"},
      {"EditSilnikopt", "40"}, {"CheckBox3", "no"}, {"Editobrotymax", "5000"}, {"Edit3", "200"},
      {"Edit2", "1100"}, {"Edit1", "210"}, {"Edit5", "2"}, {"Edit4", "5"}, {"Edit7", "10"},
      {"Edit8", "24"}, {"Editdelay", "1000"}, {"line33", "51"}};
  QTest::newRow("all 00h, reference 0") << filled(0) << 0 << false << Expected{
      {"EditThLambda", "0"}, {"EditOkresLambda", "0"}, {"CheckBox2", "yes"},
      {"EditProgTPS", "0.00"}, {"EditProgGB", "0"}, {"items", "0,0,0,1"}, {"CheckBox1", "no"},
      {"EditProgLambda", "0.00"}, {"Editsilnikmax", "255"}, {"Editobrotymax", "0"},
      {"CheckBox3", "no"}, {"Edit3", "0"}, {"Edit2", "0"}, {"Edit5", "0"}, {"Edit7", "25"},
      {"Edit8", "25"}, {"Editdelay", "0"}, {"line33", "255"}};
  // Zero periods are read as 1 (6-7, 19-20) and 2 (13-14); nothing is cut to the field length.
  QTest::newRow("all 00h, reference 1100") << filled(0) << 1100 << false << Expected{
      {"EditProgGB", "880000"}, {"Editobrotymax", "440000"}, {"Edit2", "880000"}, {"Edit3", "0"}};
  QTest::newRow("all FFh") << filled(0xFF) << 65535 << false << Expected{
      {"EditThLambda", "268600"}, {"EditOkresLambda", "0"}, {"CheckBox2", "no"},
      {"EditThLambda2", "268600"}, {"EditProgTPS", "12.75"}, {"EditProgGB", "800"},
      {"flags", "ff"}, {"items", "1,1,1,0"}, {"CheckBox1", "yes"}, {"EditProgLambda", "5.00"},
      {"Editsilnikmax", "0"}, {"Editobrotymax", "800"}, {"Edit3", "400"}, {"Edit1", "0"},
      {"Edit5", "51"}, {"Edit4", "255"}, {"Edit7", "0"}, {"Edit8", "0"},
      {"Editdelay", "268430"}, {"line33", "(kept)"}};
  // clang-format on
  QTest::newRow("reference 0: every rpm is 0")
      << typical() << 0 << false
      << Expected{{"EditProgGB", "0"}, {"Editobrotymax", "0"}, {"Edit3", "0"}, {"Edit2", "0"}};
  QTest::newRow("max speed 1 is OFF") << withWord(typical(), 13, 1) << 1100 << false
                                      << Expected{{"CheckBox3", "yes"}, {"Editobrotymax", "OFF"}};
  QTest::newRow("a field left at OFF stays OFF")
      << typical() << 1100 << true << Expected{{"CheckBox3", "no"}, {"Editobrotymax", "OFF"}};
  QTest::newRow("lambda count 55: one rounding for lambda 2")
      << withWord(withWord(typical(), 1, 55), 23, 55) << 1100 << false
      << Expected{{"EditThLambda", "200"},
                  {"EditOkresLambda", "800"},
                  {"EditThLambda2", "250"},
                  {"EditOkresLambda2", "800"}};
  QTest::newRow("lambda 1 high time 0 alone is not BOSH")
      << withWord(typical(), 1, 0) << 1100 << false
      << Expected{{"EditThLambda", "0"}, {"EditOkresLambda", "1000"}, {"CheckBox2", "no"}};
  QTest::newRow("lambda 1 both 0 is BOSH") << withWord(withWord(typical(), 1, 0), 3, 0) << 1100
                                           << false << Expected{{"CheckBox2", "yes"}};
  QTest::newRow("TPS 255, lambda 50 carries into the volts")
      << with(typical(), {{5, 255}, {9, 50}}) << 1100 << false
      << Expected{{"EditProgTPS", "12.75"}, {"EditProgLambda", "1.00"}};
  QTest::newRow("stepper speed codes 2650 and 24 x 2650")
      << withWord(withWord(typical(), 28, 2650), 34, 63600) << 1100 << false
      << Expected{{"Edit7", "24"}, {"Edit8", "1"}};
  QTest::newRow("850 rpm shows 800: halves go to even")
      << withWord(typical(), 6, 1600) << 1700 << false << Expected{{"EditProgGB", "800"}};
  QTest::newRow("delta 0") << withWord(typical(), 17, 0) << 1100 << false
                           << Expected{{"Edit3", "0"}};
  QTest::newRow("flags 04h: rising TPS, falling speed, economic, no cutoff")
      << with(typical(), {{8, 0x04}}) << 1100 << false
      << Expected{{"items", "0,1,0,1"}, {"CheckBox1", "no"}};
  QTest::newRow("flags 08h: gas sensor present")
      << with(typical(), {{8, 0x08}}) << 1100 << false << Expected{{"items", "0,0,1,1"}};
  QTest::newRow("1.6 V probe") << with(typical(), {{31, 2}}) << 1100 << false
                               << Expected{{"line33", "82"}};
  QTest::newRow("unknown probe range")
      << with(typical(), {{31, 3}}) << 1100 << false << Expected{{"line33", "(kept)"}};
}

void TestSettingsDecoder::decodes() {
  QFETCH(SettingsBlock, block);
  QFETCH(int, reference);
  QFETCH(bool, fieldShowsOff);
  QFETCH(Expected, expected);
  const Expected actual = shown(decodeSettingsBlock(block, reference, fieldShowsOff));
  for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
    QVERIFY2(actual.contains(it.key()), qPrintable(it.key()));
    QCOMPARE(QStringLiteral("%1=%2").arg(it.key(), actual.value(it.key())),
             QStringLiteral("%1=%2").arg(it.key(), it.value()));
  }
}

void TestSettingsDecoder::flagRadioMapping_data() {
  QTest::addColumn<FlagRadio>("radio");
  QTest::addColumn<int>("flags");
  QTest::addColumn<int>("item");
  QTest::addColumn<int>("expected");
  // Only the group's own bit changes; bits 1, 5 and 7 travel back untouched.
  QTest::newRow("economic mode from 51h") << FlagRadio::OperatingMode << 0x51 << 1 << 0x11;
  QTest::newRow("dynamic mode from A2h") << FlagRadio::OperatingMode << 0xA2 << 0 << 0xE2;
  QTest::newRow("TPS rising from FFh") << FlagRadio::Tps << 0xFF << 0 << 0xFE;
  QTest::newRow("speed falling from 00h") << FlagRadio::SpeedSignal << 0x00 << 1 << 0x04;
  QTest::newRow("gas sensor present from 22h") << FlagRadio::GasSensor << 0x22 << 1 << 0x2A;
  QTest::newRow("same item, same byte") << FlagRadio::Tps << 0x51 << 1 << 0x51;
}

void TestSettingsDecoder::flagRadioMapping() {
  QFETCH(FlagRadio, radio);
  QFETCH(int, flags);
  QFETCH(int, item);
  QFETCH(int, expected);
  const std::uint8_t changed = flagsWithRadioItem(radio, static_cast<std::uint8_t>(flags), item);
  QCOMPARE(int(changed), expected);
  // Reading the item back from the changed byte gives the item chosen.
  QCOMPARE(flagRadioItem(radio, changed), item);
}

QTEST_APPLESS_MAIN(TestSettingsDecoder)
#include "test_settings_decoder.moc"
