// The drive log's CSV: one table of lines, each either a well-formed row (parsed into its
// fields and formatted back to the same line, so the people's columns are what the display
// showed for the bytes and settings of the row) or a malformed one that the parser refuses;
// then whole files, with what a replay plays and what it skips.
#include <QtTest>

#include "monitor/DriveLogFormat.h"

using namespace orvel;

Q_DECLARE_METATYPE(orvel::TpsRange)

namespace {

QByteArray hexOf(const RawLiveFrame& raw) {
  QByteArray out;
  for (std::uint8_t b : raw)
    out += QByteArray::number(b, 16).rightJustified(2, '0').toUpper() + ' ';
  return out.trimmed();
}

const QByteArray kHeader =
    "time_s,rpm,lambda1_V,tps_V,lambda2_V,valve,raw_hex,lambda_key,tps_range,lambda_bar_range,"
    "lambda_low,lambda_high,idle_reference";

}  // namespace

class TestDriveLogFormat : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void header() { QCOMPARE(driveLogHeader(), kHeader + "\r\n"); }

  // valid: the parsed fields below; canonical: the line as the program writes that row (empty:
  // the line itself).
  void rows_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QByteArray>("canonical");
    QTest::addColumn<qint64>("timeMs");
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QString>("key");
    QTest::addColumn<TpsRange>("tps");
    QTest::addColumn<QList<int>>("numbers");  // bar range, lambda low, lambda high, reference

    const auto good = [](const char* name, const QByteArray& line, qint64 ms, const QByteArray& raw,
                         const char* key, TpsRange tps, const QList<int>& numbers,
                         const QByteArray& canonical = {}) {
      QTest::newRow(name) << line << true << canonical << ms << raw << QString::fromLatin1(key)
                          << tps << numbers;
    };
    const auto bad = [](const char* name, const QByteArray& line) {
      QTest::newRow(name) << line << false << QByteArray() << qint64(0) << QByteArray() << QString()
                          << TpsRange::Rising12V << QList<int>();
    };
    const QByteArray idle =
        "0.020,800,1.00,1.00,2.50,55,33 14 07 80 4C 04 C8 01,255,0/12,255,0,0,1100";

    good("idle at 800 rpm", idle, 20, "33 14 07 80 4C 04 C8 01", "255", TpsRange::Rising12V,
         {255, 0, 0, 1100});
    good("no idle reference: no rpm",
         "12.345,,0.03,0.05,0.00,255,02 01 00 00 4C 04 00 01,51,0/5,51,0,51,0", 12345,
         "02 01 00 00 4C 04 00 01", "51", TpsRange::Rising5V, {51, 0, 51, 0});
    good("period 0: no rpm",
         "1.000,,1.00,1.00,2.50,55,33 14 07 80 00 00 C8 01,255,0/12,255,0,0,1100", 1000,
         "33 14 07 80 00 00 C8 01", "255", TpsRange::Rising12V, {255, 0, 0, 1100});
    good("below 300 rpm shows 0",
         "1.000,0,1.00,1.00,2.50,55,33 14 07 80 30 11 C8 01,255,0/12,255,0,0,1100", 1000,
         "33 14 07 80 30 11 C8 01", "255", TpsRange::Rising12V, {255, 0, 0, 1100});
    good("825 rpm: the bar's value, not the read-out's steps of 50",
         "0.021,825,1.00,1.00,2.50,55,33 14 07 80 2B 04 C8 01,255,0/12,255,0,0,1100", 21,
         "33 14 07 80 2B 04 C8 01", "255", TpsRange::Rising12V, {255, 0, 0, 1100});
    good("10000 rpm, full scales",
         "3599.999,10000,5.00,12.75,5.00,0,FF FF FF FF 58 00 FF 01,82,5\\0,41,41,82,1100", 3599999,
         "FF FF FF FF 58 00 FF 01", "82", TpsRange::Falling5V, {41, 41, 82, 1100});
    good("truncated volts", "0.000,,0.03,0.05,0.01,254,02 01 00 01 00 00 01 01,?,12\\0,0,0,0,0", 0,
         "02 01 00 01 00 00 01 01", "?", TpsRange::Falling12V, {0, 0, 0, 0});
    good("over an hour", "4000.5,,1.00,1.00,2.50,55,33 14 07 80 4C 04 C8 01,0,0/12,255,0,0,0",
         4000500, "33 14 07 80 4C 04 C8 01", "0", TpsRange::Rising12V, {255, 0, 0, 0},
         "4000.500,,1.00,1.00,2.50,55,33 14 07 80 4C 04 C8 01,0,0/12,255,0,0,0");
    good("the largest idle reference",
         "0.020,47662,1.00,1.00,2.50,55,33 14 07 80 4C 04 C8 01,255,0/12,255,0,0,65535", 20,
         "33 14 07 80 4C 04 C8 01", "255", TpsRange::Rising12V, {255, 0, 0, 65535});
    good("whole seconds, lower-case hex",
         "7,800,1.00,1.00,2.50,55,33 14 07 80 4c 04 c8 01,255,0/12,255,0,0,1100", 7000,
         "33 14 07 80 4C 04 C8 01", "255", TpsRange::Rising12V, {255, 0, 0, 1100},
         "7.000,800,1.00,1.00,2.50,55,33 14 07 80 4C 04 C8 01,255,0/12,255,0,0,1100");

    bad("empty", "");
    bad("the header", kHeader);
    bad("a column short", "0.020,800,1.00,1.00,2.50,55,33 14 07 80 4C 04 C8 01,255,0/12,255,0,0");
    bad("a column more", idle + ",7");
    bad("semicolons", QByteArray(idle).replace(',', ';'));
    bad("time not a number", QByteArray(idle).replace("0.020", "abc"));
    bad("negative time", QByteArray(idle).replace("0.020", "-0.020"));
    bad("time with 4 decimals", QByteArray(idle).replace("0.020", "0.0201"));
    bad("time with a bare dot", QByteArray(idle).replace("0.020", "0."));
    bad("rpm not a number", QByteArray(idle).replace(",800,", ",8OO,"));
    bad("volts with three decimals", QByteArray(idle).replace(",2.50,", ",2.500,"));
    bad("volts without a dot", QByteArray(idle).replace(",2.50,", ",2,"));
    bad("valve above 255", QByteArray(idle).replace(",55,", ",256,"));
    bad("seven bytes", QByteArray(idle).replace("33 14 07 80 4C 04 C8 01", "33 14 07 80 4C 04 C8"));
    bad("not hex", QByteArray(idle).replace("C8 01", "G8 01"));
    bad("bytes run together",
        QByteArray(idle).replace("33 14 07 80 4C 04 C8 01", "331407804C04C801"));
    bad("bytes with two spaces", QByteArray(idle).replace("33 14", "33  14").replace(" 01,", ","));
    bad("key with a space", QByteArray(idle).replace(",255,0/12", ",2 55,0/12"));
    bad("key too long", QByteArray(idle).replace(",255,0/12", ",2555555555555,0/12"));
    bad("unknown TPS class", QByteArray(idle).replace("0/12", "0/7"));
    bad("bar range not a number", QByteArray(idle).replace("0/12,255,", "0/12,x,"));
    bad("lambda low above 255", QByteArray(idle).replace("255,0,0,1100", "255,256,0,1100"));
    bad("reference beyond 32 bits", QByteArray(idle).replace(",1100", ",2147483648"));
    bad("reference beyond 16 bits", QByteArray(idle).replace(",1100", ",65536"));
    bad("a trailing blank", idle + " ");
    bad("quoted fields", "\"0.020\"" + idle.mid(5));
  }
  void rows() {
    QFETCH(QByteArray, line);
    QFETCH(bool, valid);
    QFETCH(QByteArray, canonical);
    const std::optional<DriveLogRow> row = parseDriveLogRow(line);
    QCOMPARE(row.has_value(), valid);
    if (!valid) return;
    QFETCH(qint64, timeMs);
    QFETCH(QByteArray, raw);
    QFETCH(QString, key);
    QFETCH(TpsRange, tps);
    QFETCH(QList<int>, numbers);
    QCOMPARE(row->timeMs, timeMs);
    QCOMPARE(hexOf(row->raw), raw);
    QCOMPARE(row->settings.lambdaKey, key);
    QCOMPARE(row->settings.tpsRange, tps);
    QCOMPARE(row->settings.lambdaBarRange, numbers[0]);
    QCOMPARE(row->settings.lambdaLow, numbers[1]);
    QCOMPARE(row->settings.lambdaHigh, numbers[2]);
    QCOMPARE(row->settings.idlePeriodReference, numbers[3]);
    // The columns for people follow from the bytes and settings.
    QCOMPARE(formatDriveLogRow(*row), (canonical.isEmpty() ? line : canonical) + "\r\n");
  }

  // A key the template may hold that is not a plain token is written as "?", which the display
  // treats as it treats any key other than "51", "82" and "255".
  void keys_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("column");
    QTest::newRow("255") << "255" << QByteArray("255");
    QTest::newRow("0") << "0" << QByteArray("0");
    QTest::newRow("empty") << "" << QByteArray("?");
    QTest::newRow("blank inside") << " 255" << QByteArray("?");
    QTest::newRow("a comma") << "2,5" << QByteArray("?");
    QTest::newRow("Polish letter") << QStringLiteral("ł") << QByteArray("?");
    QTest::newRow("too long") << "1234567890123" << QByteArray("?");
  }
  void keys() {
    QFETCH(QString, key);
    QFETCH(QByteArray, column);
    QCOMPARE(driveLogKey(key), column);
    DriveLogRow row;
    row.settings.lambdaKey = key;
    const auto back = parseDriveLogRow(formatDriveLogRow(row).chopped(2));
    QVERIFY(back);
    QCOMPARE(back->settings.lambdaKey.toLatin1(), column);
  }

  void files_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("recognised");
    QTest::addColumn<QList<qint64>>("times");
    QTest::addColumn<int>("skipped");

    const QByteArray h = kHeader + "\r\n";
    const auto row = [](const char* time) {
      return QByteArray(time) +
             ",800,1.00,1.00,2.50,55,33 14 07 80 4C 04 C8 01,255,0/12,255,0,0,1100\r\n";
    };
    QTest::newRow("as written") << h + row("0.000") + row("0.020") + row("0.040") << true
                                << QList<qint64>{0, 20, 40} << 0;
    QTest::newRow("header only") << h << true << QList<qint64>{} << 0;
    QTest::newRow("LF line ends and blank lines")
        << QByteArray(h + "\n" + row("0.000") + "\r\n" + row("1.5")).replace("\r\n", "\n") << true
        << QList<qint64>{0, 1500} << 0;
    QTest::newRow("byte order mark")
        << "\xEF\xBB\xBF" + h + row("0.5") << true << QList<qint64>{500} << 0;
    QTest::newRow("malformed rows are skipped and counted")
        << h + row("0.000") + "garbage\r\n" + row("x") + row("0.040") + "0.060,1\r\n"
        << true << QList<qint64>{0, 40} << 3;
    QTest::newRow("a row back in time is skipped")
        << h + row("0.000") + row("0.040") + row("0.020") + row("0.040") + row("0.060") << true
        << QList<qint64>{0, 40, 40, 60} << 1;
    QTest::newRow("a second header (files joined)")
        << h + row("5.000") + h + row("0.000") + row("6.000") << true << QList<qint64>{5000, 6000}
        << 2;
    QTest::newRow("last row cut off")
        << h + row("0.000") + row("0.020").left(30) << true << QList<qint64>{0} << 1;
    QTest::newRow("no header: not a log")
        << row("0.000") + row("0.020") << false << QList<qint64>{} << 0;
    QTest::newRow("another file") << QByteArray("[orvel]\r\ncom1\r\n") << false << QList<qint64>{}
                                  << 0;
    QTest::newRow("empty file") << QByteArray() << false << QList<qint64>{} << 0;
    QTest::newRow("binary") << QByteArray("\x00\x01\x02\xff\r\n\n", 6) << false << QList<qint64>{}
                            << 0;
  }
  void files() {
    QFETCH(QByteArray, file);
    QFETCH(bool, recognised);
    QFETCH(QList<qint64>, times);
    QFETCH(int, skipped);
    const ParsedDriveLog log = parseDriveLog(file);
    QCOMPARE(log.recognised, recognised);
    QList<qint64> got;
    for (const DriveLogRow& r : log.rows)
      got << r.timeMs;
    QCOMPARE(got, times);
    QCOMPARE(log.skipped, skipped);
  }
};

QTEST_APPLESS_MAIN(TestDriveLogFormat)
#include "test_drivelog_format.moc"
