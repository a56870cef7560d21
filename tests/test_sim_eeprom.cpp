// The simulated controller's EEPROM: what survives a restart, what an erase
// does, and how a damaged state file is treated.
#include <QtTest>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "sim/Eeprom.h"
#include "sim/ProtocolEngine.h"

using namespace orvel::sim;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes feed(ProtocolEngine& engine, const Bytes& bytes) {
  return engine.receive(bytes, 1.0);
}

ProtocolEngine::Config stateConfig(const QString& path) {
  ProtocolEngine::Config config;
  config.statePath = path.toStdString();
  return config;
}

void writeFile(const QString& path, const QByteArray& content) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(content);
}

QByteArray validImage() {
  SettingsBlock block = factoryDefaults();
  block[0] = 0x42;
  return QByteArray::fromStdString(encodeEepromImage(block));
}

}  // namespace

class TestSimEeprom : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void writtenSettingsSurviveRestart() {
    QTemporaryDir dir;
    const QString state = dir.filePath("eeprom.txt");
    {
      ProtocolEngine engine(stateConfig(state));
      QVERIFY(!engine.loadedFromStore());
      feed(engine, {0xAA, 0x05, 0x42, 0x12, 0x40, 0xE0, 0x1F, 0x4E, 0x04});
      QCOMPARE(feed(engine, {0x11}), Bytes{kAck});
      feed(engine, {0x07, 0x33});  // changed after the write: lost on restart
    }
    ProtocolEngine restarted(stateConfig(state));
    QVERIFY(restarted.loadedFromStore());
    SettingsBlock expected = factoryDefaults();
    expected[0] = 0x42;
    expected[10] = 0x40;
    expected[11] = 0xE0;
    put16(expected, field::kIdlePeriodRef, 0x044E);
    QVERIFY(restarted.settings() == expected);
  }

  void eraseTakesEffectAtRestart() {
    QTemporaryDir dir;
    const QString state = dir.filePath("eeprom.txt");
    writeFile(state, validImage());
    ProtocolEngine engine(stateConfig(state));
    QCOMPARE(int(engine.settings()[0]), 0x42);

    QCOMPARE(feed(engine, {0x10}), Bytes{kAck});
    QCOMPARE(int(engine.settings()[0]), 0x42);  // still running on the old settings
    QVERIFY(!QFile::exists(state));

    ProtocolEngine restarted(stateConfig(state));
    QVERIFY(!restarted.loadedFromStore());
    QVERIFY(restarted.settings() == factoryDefaults());
  }

  void memoryOnlyEepromWithoutStateFile() {
    Eeprom eeprom;
    SettingsBlock block = factoryDefaults();
    block[9] = 0x30;
    QVERIFY(eeprom.write(block, nullptr));
    QVERIFY(eeprom.load().fromStore);
    QVERIFY(eeprom.load().block == block);
    QVERIFY(eeprom.erase(nullptr));
    QVERIFY(!eeprom.load().fromStore);
  }

  void writeReplacesWholeFileWithoutLeftovers() {
    QTemporaryDir dir;
    const QString state = dir.filePath("eeprom.txt");
    writeFile(state, QByteArray(4000, 'x'));  // longer than any image
    Eeprom eeprom(state.toStdString());
    SettingsBlock block = factoryDefaults();
    block[27] = 9;
    std::string error;
    QVERIFY2(eeprom.write(block, &error), error.c_str());

    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"eeprom.txt"});
    QFile file(state);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const auto decoded = decodeEepromImage(file.readAll().toStdString());
    QVERIFY(decoded && *decoded == block);
  }

  void failedWriteIsReportedAndStillAcknowledged() {
    QTemporaryDir dir;
    const QString state = dir.filePath("missing-dir/eeprom.txt");
    ProtocolEngine engine(stateConfig(state));
    QStringList notices;
    engine.setNoticeHandler(
        [&](const std::string& text) { notices << QString::fromStdString(text); });
    QCOMPARE(feed(engine, {0x11}), Bytes{kAck});
    QVERIFY(!QFile::exists(state));
    QVERIFY2(notices.last().contains("missing-dir"), qPrintable(notices.join('|')));
  }

  void damagedFilesFallBackToDefaults_data() {
    QTest::addColumn<QByteArray>("content");
    const QByteArray good = validImage();
    const QList<QByteArray> lines = good.split('\n');
    QByteArray flipped = good;
    flipped[lines[0].size() + 1] = flipped[lines[0].size() + 1] == '7' ? '6' : '7';

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("header only") << lines[0] + '\n';
    QTest::newRow("truncated bytes") << good.left(lines[0].size() + 1 + 50);
    QTest::newRow("35 bytes") << lines[0] + '\n' + lines[1].left(lines[1].size() - 3) + '\n' +
                                     lines[2] + '\n';
    QTest::newRow("37 bytes") << lines[0] + '\n' + lines[1] + " 00\n" + lines[2] + '\n';
    QTest::newRow("not hex") << QByteArray(good).replace(lines[0].size() + 1, 2, "ZZ");
    QTest::newRow("checksum mismatch") << flipped;
    QTest::newRow("wrong header") << QByteArray(good).replace(0, 5, "xxxxx");
    QTest::newRow("extra line") << good + "more\n";
    QTest::newRow("binary junk") << QByteArray(36, '\xFF');
    QTest::newRow("large file") << good + QByteArray(100000, '\n');
  }

  void damagedFilesFallBackToDefaults() {
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    const QString state = dir.filePath("eeprom.txt");
    writeFile(state, content);
    const Eeprom::Loaded loaded = Eeprom(state.toStdString()).load();
    QVERIFY(!loaded.fromStore);
    QVERIFY(loaded.block == factoryDefaults());
    QVERIFY(!loaded.note.empty());
  }

  void acceptsWindowsLineEndings() {
    QTemporaryDir dir;
    const QString state = dir.filePath("eeprom.txt");
    writeFile(state, QByteArray(validImage()).replace("\n", "\r\n"));
    const Eeprom::Loaded loaded = Eeprom(state.toStdString()).load();
    QVERIFY(loaded.fromStore);
    QCOMPARE(int(loaded.block[0]), 0x42);
  }

  void imageRoundTripsEveryByteValue() {
    for (int start = 0; start < 256; start += 36) {
      SettingsBlock block{};
      for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = std::uint8_t((start + i) & 0xFF);
      const auto decoded = decodeEepromImage(encodeEepromImage(block));
      QVERIFY(decoded && *decoded == block);
    }
  }
};

QTEST_GUILESS_MAIN(TestSimEeprom)
#include "test_sim_eeprom.moc"
