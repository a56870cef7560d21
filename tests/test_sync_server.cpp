// The workshop server for real: a PostgreSQL 15 of the test's own, and PCs with archives of their
// own that keep in step through it over a line cut at any byte, a server that goes away in the
// middle of a transfer, a network gone for a day, and a server that refuses.
#include "app/Program.h"
#include "archive/ArchiveRecorder.h"
#include "archive/ArchiveWindow.h"
#include "core/Registry.h"
#include "support/PgServer.h"
#include "support/ProgramFixture.h"
#include "sync/ArchiveSync.h"
#include "sync/SyncWorker.h"

#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QtEndian>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>

using namespace orvel;
using test::PgServer;

namespace {

int unixSocket(const QString& path, bool listen) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const QByteArray name = QFile::encodeName(path);
  std::memcpy(address.sun_path, name.constData(), std::min<std::size_t>(name.size(), 100));
  const auto* raw = reinterpret_cast<const sockaddr*>(&address);
  if (listen ? ::bind(fd, raw, sizeof address) == 0 && ::listen(fd, 16) == 0
             : ::connect(fd, raw, sizeof address) == 0)
    return fd;
  ::close(fd);
  return -1;
}

// A connection through the proxy: per side its socket, what it sent that is not a whole
// message yet, and whether its next message is the client's first, which has no type byte.
struct Pair {
  int fd[2];  // the client's, the server's
  QByteArray held[2];
  bool untyped[2] = {true, false};
};

// The size of the whole message at the start of `bytes`; 0 while it is not all there.
int wholeMessage(const QByteArray& bytes, bool untyped) {
  const int type = untyped ? 0 : 1;
  if (bytes.size() < type + 4) return 0;
  const int size = type + qFromBigEndian<qint32>(bytes.constData() + type);
  return bytes.size() >= size ? size : 0;
}

// Stands between a PC and the server on Unix sockets, passing every byte on, and cuts the line
// at an exact place in the protocol's messages: after the k-th message one side sent, or in the
// middle of the one after it.
class CuttingProxy {
 public:
  enum class Side { Client, Server };

  CuttingProxy(QString upstreamFolder, int port)
      : upstream_(std::move(upstreamFolder)),
        name_(QStringLiteral("/.s.PGSQL.%1").arg(port)),
        listener_(unixSocket(dir_.path() + name_, true)),
        thread_([this] { serve(); }) {}
  ~CuttingProxy() {
    quit_ = true;
    thread_.join();
  }
  // The socket folder to give libpq instead of the server's.
  QString folder() const { return dir_.path(); }
  // The next cut: counting the messages `side` sends from now on, over every connection.
  void arm(Side side, int messages, bool inside) {
    std::lock_guard<std::mutex> lock(mutex_);
    armed_ = true;
    cut_ = false;
    side_ = side;
    messages_ = messages;
    inside_ = inside;
  }
  // Whether the armed cut happened; disarms it.
  bool cutHappened() {
    std::lock_guard<std::mutex> lock(mutex_);
    armed_ = false;
    return cut_;
  }

 private:
  void serve() {
    std::vector<Pair> pairs;
    const auto hangUp = [](Pair& p) {
      ::close(p.fd[0]);
      ::close(p.fd[1]);
      p.fd[0] = p.fd[1] = -1;
    };
    while (!quit_) {
      pairs.erase(
          std::remove_if(pairs.begin(), pairs.end(), [](const Pair& p) { return p.fd[0] < 0; }),
          pairs.end());
      std::vector<pollfd> fds{{listener_, POLLIN, 0}};
      for (const Pair& p : pairs)
        for (int fd : p.fd)
          fds.push_back({fd, POLLIN, 0});
      if (::poll(fds.data(), fds.size(), 50) <= 0) continue;
      for (std::size_t i = 0; i < fds.size() / 2; ++i) {
        Pair& p = pairs[i];
        for (int from = 0; from < 2 && p.fd[0] >= 0; ++from) {
          if (!fds[1 + 2 * i + from].revents) continue;
          char buffer[65536];
          const ssize_t n = ::read(p.fd[from], buffer, sizeof buffer);
          if (n <= 0) {
            hangUp(p);
            break;
          }
          // Passed on a whole message at a time, so that the cut falls where it is meant to.
          p.held[from].append(buffer, n);
          std::lock_guard<std::mutex> lock(mutex_);
          const bool counting = armed_ && !cut_ && (from == 0) == (side_ == Side::Client);
          while (const int size = wholeMessage(p.held[from], p.untyped[from])) {
            const QByteArray message = p.held[from].left(size);
            p.held[from].remove(0, size);
            p.untyped[from] = false;
            // The server's reports of its settings at start-up follow one another unanswered: a
            // cut between two of them is a cut between any others.
            bool cutHere = false;
            int through = size;
            if (counting && !(from == 1 && message.at(0) == 'S')) {
              if (messages_ == 0) {  // the cut falls on this message: none of it, or half
                through = inside_ ? size / 2 : 0;
                cutHere = true;
              } else {  // or right after it
                cutHere = --messages_ == 0 && !inside_;
              }
            }
            cut_ = cut_ || cutHere;
            if (::send(p.fd[1 - from], message.constData(), through, MSG_NOSIGNAL) != through ||
                cutHere) {
              hangUp(p);
              break;
            }
          }
        }
      }
      if (fds[0].revents & POLLIN) {
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        const int server = unixSocket(upstream_ + name_, false);
        if (client >= 0 && server >= 0) {
          pairs.push_back({{client, server}, {}});
        } else {
          ::close(client);
          ::close(server);
        }
      }
    }
    std::for_each(pairs.begin(), pairs.end(), [&](Pair& p) {
      if (p.fd[0] >= 0) hangUp(p);
    });
    ::close(listener_);
  }

  QTemporaryDir dir_;
  QString upstream_;
  QString name_;
  int listener_;
  std::mutex mutex_;
  bool armed_ = false;
  bool cut_ = false;
  Side side_ = Side::Client;
  int messages_ = 0;
  bool inside_ = false;
  std::atomic<bool> quit_{false};
  std::thread thread_;
};

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
  // One pass, on the connection this PC keeps.
  ArchiveSync::Result sync() {
    if (!engine) engine = std::make_unique<ArchiveSync>(store.path(), line, site);
    return engine->pass();
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
      b.store.setNote(b.newest(), QString("note %1 from B").arg(cuts));
      QCOMPARE(b.sync().status.state, ServerStatus::State::Synced);
      proxy.arm(CuttingProxy::Side(side), cuts, inside);
      ArchiveSync(a.store.path(), cutLine, a.site).pass();
      cut = proxy.cutHappened();
      QCOMPARE(a.sync().status.state, ServerStatus::State::Synced);
      QCOMPARE(b.sync().status.state, ServerStatus::State::Synced);
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
    const auto row = [](const char* name, const char* sql, bool allowed, bool evenOwner) {
      QTest::newRow(name) << QString(sql) << allowed << evenOwner;
    };
    row("add a read-out",
        "INSERT INTO readouts (uuid, taken_at, source, block, car_line1, car_line2, site) VALUES "
        "(gen_random_uuid(), now(), 'read', decode(repeat('00', 37), 'hex'), 'Fiat', '', 'B')",
        true, false);
    row("change a note", "UPDATE readouts SET note = 'x', note_changed = now()", true, false);
    row("change a block", "UPDATE readouts SET block = decode(repeat('01', 37), 'hex')", false,
        true);
    row("change the time", "UPDATE readouts SET taken_at = now()", false, true);
    row("delete a read-out", "DELETE FROM readouts", false, false);
    row("empty the table", "TRUNCATE readouts", false, false);
    row("change the schema version", "UPDATE archive_schema SET version = 1", false, false);
    row("drop the table", "DROP TABLE readouts", false, false);
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
    const auto row = [](const char* name, const char* user, const char* db, const char* extra,
                        bool newer, R refusal) {
      QTest::newRow(name) << user << db << extra << newer << int(refusal);
    };
    row("wrong password", "pwuser", "", "", false, R::Login);
    row("no such database", "postgres", "nowhere", "", false, R::Login);
    row("schema newer than the program", "postgres", "", "", true, R::Newer);
    row("no tables and no right to make them", "bay1", "", "", false, R::NoSchema);
    row("a password in the line", "postgres", "", " password=secret", false, R::Password);
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

    // Another PC fetches them all while the fitter keeps read-outs there: its transactions give
    // way and are done again, nothing is lost.
    Pc other("Bay 2", pg.line(db));
    SyncWorker fetching(other.store.path(), other.line, other.site, {60000, 200, 1000});
    other.store.setChangeListener([&fetching] { fetching.kick(); });
    for (int i = 0; i < 50; ++i, QTest::qWait(10))
      other.take(1);
    QTRY_COMPARE_WITH_TIMEOUT(serverRows(db).size(), 20050, 30000);
    QTRY_COMPARE_WITH_TIMEOUT(other.rows().keys(), serverRows(db).keys(), 30000);
  }

  // The program itself, its server gone for a day's read-outs: they are kept at once, the
  // archive window counts them, and they go out when the server is back. The other PC's
  // read-out shows where it was taken.
  void serverGoneForADay() {
    const QString db = database(false);
    Pc other("Bay 2", pg.line(db));
    other.take(1);
    QCOMPARE(other.sync().status.state, ServerStatus::State::Synced);
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QDir().mkpath(config.filePath("orvel2001"));
    QVERIFY(Registry::setArchiveServer(pg.line(db), "Bay 1"));
    test::ProgramFixture f;
    f.start();
    ArchiveWindow& window = f.program->archiveWindow();
    auto* status = window.findChild<QLabel*>("LabelSerwer");
    QTRY_COMPARE_WITH_TIMEOUT(status->text(), QString("Serwer: połączono, wszystko wysłane"),
                              10000);
    // A line with a password in it never reaches registry.ini.
    f.form().findChild<QAction*>("SerwerArchiwum1")->trigger();
    auto* dialog = f.form().findChild<QDialog*>("ServerDialog");
    dialog->findChild<QLineEdit*>("EditSerwer")->setText(pg.line(db) + " password=secret");
    dialog->accept();
    QVERIFY(dialog->isVisible());
    QCOMPARE(Registry::archiveServer(), pg.line(db));
    dialog->reject();

    QVERIFY(pg.stop());
    for (int i = 0; i < 200; ++i)
      QVERIFY(f.program->archive().keep({"Opel Astra", QString::number(i)}, ReadoutSource::Read,
                                        SettingsBlock{}));
    QTRY_COMPARE_WITH_TIMEOUT(status->text(), QString("Serwer nieosiągalny: 200 odczytów czeka"),
                              10000);
    QVERIFY(pg.start());
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
