// An archive kept by an earlier version opened by this one: every read-out keeps what it was,
// gains an identity for the workshop server and is waiting to be sent.
#include "archive/ArchiveStore.h"
#include "sync/ArchiveSync.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

using namespace orvel;

namespace {

// The first column of a query's rows, on a connection of its own.
QStringList column(const QString& path, const QStringList& statements) {
  QStringList out;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "look");
    db.setDatabaseName(path);
    db.open();
    QSqlQuery q(db);
    for (const QString& sql : statements) {
      out.clear();
      if (!q.exec(sql)) out << "failed: " + sql;
      while (q.next())
        out << q.value(0).toString();
    }
  }
  QSqlDatabase::removeDatabase("look");
  return out;
}

// An archive as version 1 made it, with read-outs of two cars, every other one with a note.
QStringList version1(int rows, int version) {
  QStringList sql{
      "BEGIN",
      "CREATE TABLE cars(id INTEGER PRIMARY KEY, line1 TEXT NOT NULL, line2 TEXT NOT NULL, "
      "UNIQUE(line1, line2))",
      "CREATE TABLE readouts(id INTEGER PRIMARY KEY, car_id INTEGER NOT NULL REFERENCES cars(id), "
      "taken_at TEXT NOT NULL, source TEXT NOT NULL CHECK(source IN ('read', 'import', "
      "'write')), block BLOB NOT NULL CHECK(length(block) = 37), note TEXT NOT NULL DEFAULT '')",
      "CREATE INDEX readouts_by_time ON readouts(taken_at, id, car_id)",
      "INSERT INTO cars(line1, line2) VALUES('Fiat Punto', 'KR 1234'), ('Opel Astra', '')"};
  for (int i = 0; i < rows; ++i)
    sql << QString(
               "INSERT INTO readouts(car_id, taken_at, source, block, note) VALUES(%1, "
               "'2019-05-%2T10:00:00Z', '%3', zeroblob(37), '%4')")
               .arg(1 + i % 2)
               .arg(1 + i % 28, 2, 10, QChar('0'))
               .arg(i % 3 ? "read" : "import")
               .arg(i % 2 ? QString("po wymianie reduktora %1").arg(i) : QString());
  return sql << QString("PRAGMA user_version = %1").arg(version) << "COMMIT";
}

}  // namespace

class ArchiveMigrationTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  // Versions 1 and 2, empty or with years of read-outs, and one file copied to two PCs before
  // either was updated: both copies give each read-out the same identity.
  void olderArchiveMigrates_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("copied");
    QTest::newRow("version 1, empty") << 1 << 0 << false;
    QTest::newRow("version 1, read-outs and notes") << 1 << 300 << false;
    QTest::newRow("version 2") << 2 << 20 << false;
    QTest::newRow("version 1 on two PCs") << 1 << 50 << true;
  }
  void olderArchiveMigrates() {
    QFETCH(int, version);
    QFETCH(int, rows);
    QFETCH(bool, copied);
    QTemporaryDir dir;
    const QString path = dir.filePath(ArchiveStore::fileName());
    const QString copy = dir.filePath("copy.sqlite");
    column(path, version1(rows, version));
    QVERIFY(QFile::copy(path, copy));
    const QString content =
        "SELECT id || taken_at || source || hex(block) || note || car_id "
        "FROM readouts ORDER BY id";
    const QStringList before = column(path, {content});
    QCOMPARE(before.size(), rows);

    ArchiveStore store(path);
    QVERIFY2(store.open(), qPrintable(store.error()));
    QCOMPARE(column(path, {"PRAGMA user_version"}), QStringList{"3"});
    QCOMPARE(column(path, {content}), before);
    QVERIFY(
        column(path, {"SELECT 1 FROM readouts WHERE site <> '' OR note_changed <> ''"}).isEmpty());
    const QStringList uuids = column(path, {"SELECT uuid FROM readouts ORDER BY id"});
    QCOMPARE(QSet<QString>(uuids.begin(), uuids.end()).size(), rows);
    for (const QString& uuid : uuids)
      QCOMPARE(QUuid(uuid).version(), QUuid::Sha1);
    QCOMPARE(ArchiveSync(path, QString(), QString()).waiting(), rows);
    if (copied) {
      QVERIFY(ArchiveStore(copy).open());
      QCOMPARE(column(copy, {"SELECT uuid FROM readouts ORDER BY id"}), uuids);
    }

    // Read-outs kept from now on are new everywhere, and their notes carry their time.
    const auto id = store.add({"Fiat Punto", "KR 1234"}, ReadoutSource::Read, SettingsBlock{},
                              QDateTime::currentDateTimeUtc());
    QVERIFY(id && store.setNote(*id, "nowy"));
    const QStringList fresh = column(
        path, {QString("SELECT uuid || ' ' || note_changed FROM readouts WHERE id = %1").arg(*id)});
    QCOMPARE(QUuid(fresh.value(0).section(' ', 0, 0)).version(), QUuid::Random);
    QVERIFY(!fresh.value(0).section(' ', 1).isEmpty());
    QCOMPARE(ArchiveSync(path, QString(), QString()).waiting(), rows + 1);
  }
};

QTEST_MAIN(ArchiveMigrationTest)
#include "test_archive_migration.moc"
