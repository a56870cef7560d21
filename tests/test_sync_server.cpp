// The workshop server for real: a PostgreSQL 15 of the test's own, and PCs with archives of their
// own that keep in step through it over a line cut at any byte, a server that goes away in the
// middle of a transfer, a network gone for a day, and a server that refuses.
#include "app/Program.h"
#include "archive/ArchiveRecorder.h"
#include "archive/ArchiveWindow.h"
#include "core/Registry.h"
#include "support/CuttingProxy.h"
#include "support/PgServer.h"
#include "support/ProgramFixture.h"
#include "sync/ArchiveSync.h"
#include "sync/SyncWorker.h"

#include <QDir>
#include <QLabel>
#include <QLoggingCategory>
#include <QMap>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

using namespace orvel;
using test::CuttingProxy;
using test::PgServer;

namespace {

const QString kSchemaFile = QStringLiteral(ORVEL_SOURCE_DIR "/resources/server-schema.sql");

// A PC of the workshop: its own archive, in step with the server through its line.
struct Pc {
  QTemporaryDir dir;
  ArchiveStore store{dir.filePath(ArchiveStore::fileName())};
  QString site;
  QString line;
  Pc(QString name, QString serverLine) : site(std::move(name)), line(std::move(serverLine)) {
    store.open();
  }
  // One pass, on the connection this PC keeps, or on one of its own through another line.
  ArchiveSync::Result sync(const QString& through = QString()) {
    if (!engine) engine = std::make_unique<ArchiveSync>(store.path(), line, site);
    std::unique_ptr<ArchiveSync> once;
    if (!through.isEmpty()) once = std::make_unique<ArchiveSync>(store.path(), through, site);
    return (once ? once : engine)->pass();
  }
  std::unique_ptr<ArchiveSync> engine;
  void take(int count) {
    for (int i = 0; i < count; ++i)
      store.add({site, QString::number(i)}, ReadoutSource::Read, SettingsBlock{},
                QDateTime::currentDateTimeUtc());
  }
  qint64 newest() { return store.listOrder().front().id; }
  // Every read-out's uuid and note.
  QMap<QString, QString> rows() {
    QMap<QString, QString> out;
    {
      QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "look");
      db.setDatabaseName(store.path());
      db.open();
      QSqlQuery q("SELECT uuid, note FROM readouts", db);
      while (q.next())
        out.insert(q.value(0).toString(), q.value(1).toString());
    }
    QSqlDatabase::removeDatabase("look");
    return out;
  }
};

}  // namespace

class SyncServerTest : public QObject {
  Q_OBJECT

  PgServer pg;
  int databases_ = 0;

  // A database of its own for each case; made by the administrator's file when asked.
  QString database(bool administered) {
    const QString name = QString("archive%1").arg(++databases_);
    if (!pg.exec("CREATE DATABASE " + name)) return QString();
    if (administered && !pg.runFile(kSchemaFile, name)) return QString();
    return name;
  }
  QMap<QString, QString> serverRows(const QString& db) {
    QMap<QString, QString> out;
    for (const QString& row : pg.query("SELECT uuid || '|' || note FROM readouts", db))
      out.insert(row.section('|', 0, 0), row.section('|', 1));
    return out;
  }

 private Q_SLOTS:
  void initTestCase() {
    // Qt's driver says so each time a line is cut, as it is here on purpose.
    QLoggingCategory::setFilterRules("qt.sql.postgresql.warning=false");
    QVERIFY2(pg.start(), qPrintable(pg.error()));
    QVERIFY(
        pg.exec("CREATE ROLE orvel_pc NOLOGIN; CREATE ROLE bay1 LOGIN IN ROLE orvel_pc; "
                "CREATE ROLE bay2 LOGIN IN ROLE orvel_pc; "
                "CREATE ROLE pwuser LOGIN PASSWORD 'secret' IN ROLE orvel_pc"));
    QVERIFY(pg.requirePassword("pwuser"));
  }

  // Two PCs, each as a role that may only add read-outs and change notes. One's line is cut at
  // every message either side sends, and in the middle of each; repeated, the transfer leaves
  // each read-out once on the server and on both PCs, with the same notes.
  void transferCutAndRepeated_data() {
    QTest::addColumn<int>("side");
    QTest::addColumn<bool>("inside");
    QTest::newRow("after a message of the PC") << int(CuttingProxy::Side::Client) << false;
    QTest::newRow("inside a message of the PC") << int(CuttingProxy::Side::Client) << true;
    QTest::newRow("after a message of the server") << int(CuttingProxy::Side::Server) << false;
    QTest::newRow("inside a message of the server") << int(CuttingProxy::Side::Server) << true;
  }
  void transferCutAndRepeated() {
    QFETCH(int, side);
    QFETCH(bool, inside);
    const QString db = database(true);
    QVERIFY(!db.isEmpty());
    CuttingProxy proxy(pg.socketFolder(), PgServer::kPort);
    Pc a("Bay 1", pg.line(db, "bay1"));
    Pc b("Bay 2", pg.line(db, "bay2"));
    const QString cutLine = pg.line(db, "bay1", proxy.folder());
    int taken = 0;
    int cuts = 0;
    for (bool cut = true; cut; ++cuts) {
      a.take(2);
      b.take(1);
      taken += 3;
      a.store.setNote(a.newest(), QString("note %1 from A").arg(cuts));
      QCOMPARE(b.sync().status.state, ServerStatus::State::Synced);
      b.store.setNote(b.newest(), QString("note %1 from B").arg(cuts));
      proxy.arm(CuttingProxy::Side(side), cuts, inside);
      a.sync(cutLine);
      cut = proxy.cutHappened();
      QCOMPARE(a.sync(cutLine).status.state, ServerStatus::State::Synced);
      QCOMPARE(b.sync().status.state, ServerStatus::State::Synced);
      QCOMPARE(a.sync().status.state, ServerStatus::State::Synced);
      const QMap<QString, QString> server = serverRows(db);
      QCOMPARE(server.size(), taken);
      QCOMPARE(a.rows(), server);
      QCOMPARE(b.rows(), server);
    }
    // The cuts went through a whole pass, from the first byte to the last.
    QVERIFY2(cuts > 10, qPrintable(QString::number(cuts)));
  }

  // A note changed on both PCs before either sends it: the later change wins on both, whichever
  // PC reaches the server first.
  void noteChangedOnBothPcs_data() {
    QTest::addColumn<bool>("laterOnA");
    QTest::addColumn<bool>("aFirst");
    QTest::newRow("later on A, A sends first") << true << true;
    QTest::newRow("later on A, B sends first") << true << false;
    QTest::newRow("later on B, A sends first") << false << true;
    QTest::newRow("later on B, B sends first") << false << false;
  }
  void noteChangedOnBothPcs() {
    QFETCH(bool, laterOnA);
    QFETCH(bool, aFirst);
    const QString db = database(false);
    Pc a("Bay 1", pg.line(db));
    Pc b("Bay 2", pg.line(db));
    a.take(1);
    QCOMPARE(a.sync().status.state, ServerStatus::State::Synced);
    QCOMPARE(b.sync().fetched, 1);
    Pc& earlier = laterOnA ? b : a;
    Pc& later = laterOnA ? a : b;
    earlier.store.setNote(earlier.newest(), "wymieniony filtr");
    QTest::qSleep(5);  // the change times have milliseconds
    later.store.setNote(later.newest(), "wymieniony reduktor");
    for (Pc* pc : aFirst ? std::vector<Pc*>{&a, &b, &a} : std::vector<Pc*>{&b, &a, &b})
      QCOMPARE(pc->sync().status.state, ServerStatus::State::Synced);
    QCOMPARE(a.rows().values(), QStringList{"wymieniony reduktor"});
    QCOMPARE(b.rows().values(), QStringList{"wymieniony reduktor"});
    QCOMPARE(serverRows(db).values(), QStringList{"wymieniony reduktor"});
  }

  // What the administrator's role allows a PC, and what it does not allow even the owner.
  void roleRights_data() {
    QTest::addColumn<QString>("statement");
    QTest::addColumn<bool>("allowed");
    QTest::addColumn<bool>("evenOwner");  // refused to the owner too
    const QString add =
        "INSERT INTO readouts (uuid, taken_at, source, block, car_line1, "
        "car_line2, site) VALUES (gen_random_uuid(), now(), 'read', "
        "decode(repeat('00', 37), 'hex'), 'Fiat', 'KR 1', 'Bay 1')";
    QTest::newRow("add a read-out") << add << true << false;
    QTest::newRow("change a note")
        << "UPDATE readouts SET note = 'x', note_changed = now()" << true << false;
    QTest::newRow("change a block")
        << "UPDATE readouts SET block = decode(repeat('01', 37), 'hex')" << false << true;
    QTest::newRow("change the time") << "UPDATE readouts SET taken_at = now()" << false << true;
    QTest::newRow("delete a read-out") << "DELETE FROM readouts" << false << false;
    QTest::newRow("empty the table") << "TRUNCATE readouts" << false << false;
    QTest::newRow("change the schema version")
        << "UPDATE archive_schema SET version = 1" << false << false;
    QTest::newRow("drop the table") << "DROP TABLE readouts" << false << false;
  }
  void roleRights() {
    QFETCH(QString, statement);
    QFETCH(bool, allowed);
    QFETCH(bool, evenOwner);
    const QString db = database(true);
    Pc pc("Bay 1", pg.line(db, "bay1"));
    pc.take(1);
    QCOMPARE(pc.sync().status.state, ServerStatus::State::Synced);
    bool done = false;
    {
      QSqlDatabase bay = QSqlDatabase::addDatabase("QPSQL", "bay1");
      bay.setConnectOptions(pg.line(db, "bay1"));
      QVERIFY(bay.open());
      done = QSqlQuery(bay).exec(statement);
    }
    QSqlDatabase::removeDatabase("bay1");
    QCOMPARE(done, allowed);
    if (evenOwner) QVERIFY(!pg.exec(statement, db));
  }

  // A server that refuses gives one status, the same pass after pass, and the read-outs stay
  // on the PC, counted.
  void refusingServer_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("database");  // empty: one of the case's own
    QTest::addColumn<QString>("extra");     // added to the line
    QTest::addColumn<bool>("newerSchema");
    QTest::addColumn<int>("refusal");
    using R = ServerStatus::Refusal;
    QTest::newRow("wrong password") << "pwuser"
                                    << ""
                                    << "" << false << int(R::Login);
    QTest::newRow("no such database") << "postgres"
                                      << "nowhere"
                                      << "" << false << int(R::Login);
    QTest::newRow("schema newer than the program") << "postgres"
                                                   << ""
                                                   << "" << true << int(R::Newer);
    QTest::newRow("no tables and no right to make them") << "bay1"
                                                         << ""
                                                         << "" << false << int(R::NoSchema);
    QTest::newRow("a password in the line") << "postgres"
                                            << ""
                                            << " password=secret" << false << int(R::Password);
  }
  void refusingServer() {
    QFETCH(QString, user);
    QFETCH(QString, database);
    QFETCH(QString, extra);
    QFETCH(bool, newerSchema);
    QFETCH(int, refusal);
    const QString db = database.isEmpty() ? this->database(newerSchema) : database;
    if (newerSchema) QVERIFY(pg.exec("UPDATE archive_schema SET version = 2", db));
    qputenv("PGPASSFILE", "/nonexistent");
    Pc pc("Bay 1", pg.line(db, user) + extra);
    pc.take(3);
    const ServerStatus first = pc.sync().status;
    QCOMPARE(first.state, ServerStatus::State::Refused);
    QCOMPARE(int(first.refusal), refusal);
    QCOMPARE(first.waiting, 3);
    pc.take(1);
    ServerStatus again = pc.sync().status;
    QCOMPARE(again.waiting, 4);
    again.waiting = first.waiting;
    QCOMPARE(again, first);
  }

  // The server stopped with a first transfer half done: the worker says so, and when the
  // server is back it finishes on its own, each read-out once.
  void serverStoppedInTheMiddle() {
    const QString db = database(false);
    Pc pc("Bay 1", pg.line(db));
    {
      QSqlDatabase file = QSqlDatabase::addDatabase("QSQLITE", "fill");
      file.setDatabaseName(pc.store.path());
      QVERIFY(file.open());
      QSqlQuery q(file);
      QVERIFY(q.exec("INSERT INTO cars(line1, line2) VALUES('Fiat Punto', 'KR 1234')"));
      QVERIFY(
          q.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                 "WHERE i < 20000) INSERT INTO readouts(car_id, taken_at, source, block) "
                 "SELECT 1, '2024-03-01T10:00:00Z', 'read', zeroblob(37) FROM n"));
    }
    QSqlDatabase::removeDatabase("fill");
    SyncWorker worker(pc.store.path(), pc.line, pc.site, {60000, 200, 1000});
    QTRY_VERIFY_WITH_TIMEOUT(pg.query("SELECT count(*) FROM readouts", db).value(0).toInt() > 0,
                             20000);
    QVERIFY(pg.stop(true));
    QTRY_COMPARE_WITH_TIMEOUT(worker.status().state, ServerStatus::State::Unreachable, 20000);
    QVERIFY(worker.status().waiting > 0);
    QVERIFY2(pg.start(), qPrintable(pg.error()));
    QTRY_COMPARE_WITH_TIMEOUT(worker.status().state, ServerStatus::State::Synced, 30000);
    QCOMPARE(serverRows(db).keys(), pc.rows().keys());
    QCOMPARE(pc.rows().size(), 20000);
  }

  // The program itself on a line that goes dead for a day's read-outs: they are kept at once,
  // the archive window counts them, and they go out when the network is back. The other PC's
  // read-out shows where it was taken.
  void networkGoneForADay() {
    const QString db = database(false);
    CuttingProxy proxy(pg.socketFolder(), PgServer::kPort);
    Pc other("Bay 2", pg.line(db));
    other.take(1);
    QCOMPARE(other.sync().status.state, ServerStatus::State::Synced);
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QDir().mkpath(config.filePath("orvel2001"));
    QVERIFY(Registry::setArchiveServer(pg.line(db, "postgres", proxy.folder()), "Bay 1"));
    test::ProgramFixture f;
    f.start();
    ArchiveWindow& window = f.program->archiveWindow();
    auto* status = window.findChild<QLabel*>("LabelSerwer");
    QTRY_COMPARE_WITH_TIMEOUT(status->text(), QString("Serwer: połączono, wszystko wysłane"),
                              10000);

    proxy.setDown(true);
    for (int i = 0; i < 200; ++i)
      QVERIFY(f.program->archive().keep({"Opel Astra", QString::number(i)}, ReadoutSource::Read,
                                        SettingsBlock{}));
    QTRY_COMPARE_WITH_TIMEOUT(status->text(), QString("Serwer nieosiągalny: 200 odczytów czeka"),
                              10000);
    proxy.setDown(false);
    f.program->archive().keep({"Opel Astra", "next day"}, ReadoutSource::Read, SettingsBlock{});
    QTRY_COMPARE_WITH_TIMEOUT(status->text(), QString("Serwer: połączono, wszystko wysłane"),
                              10000);
    QCOMPARE(other.sync().fetched, 201);
    QCOMPARE(serverRows(db).size(), 202);

    window.open();
    ArchiveListModel& list = window.listModel();
    QCOMPARE(list.rowCount(), 202);
    QStringList sites;
    for (int row = 0; row < list.rowCount(); ++row)
      sites << list.data(list.index(row, ArchiveListModel::Site), Qt::DisplayRole).toString();
    QCOMPARE(sites.count("Bay 2"), 1);
    QCOMPARE(sites.count(""), 201);

    // The server tells the program at once when another PC sends, and the open list follows.
    other.take(1);
    QCOMPARE(other.sync().sent, 1);
    QTRY_COMPARE_WITH_TIMEOUT(list.rowCount(), 203, 10000);
  }
};

QTEST_MAIN(SyncServerTest)
#include "test_sync_server.moc"
