// Measures the workshop server's transfers against a PostgreSQL 15 of its own on this machine
// (fsync on, as installed): the first transfer of a PC with 100,000 read-outs to an empty
// server, a day's 200 read-outs afterwards both ways, and how long keeping a read-out takes
// while a long transfer runs in the background, sending and fetching. Prints numbers; it is not
// a pass/fail test.
#include "ArchiveFill.h"
#include "archive/ArchiveStore.h"
#include "support/PgServer.h"
#include "sync/ArchiveSync.h"
#include "sync/SyncWorker.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

using namespace orvel;

namespace {

constexpr int kDay = 200;

void take(ArchiveStore& store, int count) {
  for (int i = 0; i < count; ++i)
    store.add({QString("Fiat Punto %1").arg(i % 20), "KR 1234"}, ReadoutSource::Read,
              SettingsBlock{}, QDateTime::currentDateTimeUtc());
}

void timed(const char* what, const std::function<ArchiveSync::Result()>& pass, double targetMs) {
  QElapsedTimer t;
  t.start();
  const ArchiveSync::Result r = pass();
  std::printf("%-46s %9.1f ms  sent %6d fetched %6d  %s  (target < %.0f ms)\n", what,
              t.nsecsElapsed() / 1e6, r.sent, r.fetched, qPrintable(serverStatusText(r.status)),
              targetMs);
}

void report(const char* what, std::vector<double> ms, double seconds) {
  std::sort(ms.begin(), ms.end());
  std::printf("%-46s n=%zu  median %.3f ms  p99 %.3f ms  max %.3f ms  (%.1f s; target < 5 ms)\n",
              what, ms.size(), ms[ms.size() / 2], ms[ms.size() * 99 / 100], ms.back(), seconds);
}

// Keeps a read-out every 20 ms while a worker transfers in the background, until it is done;
// without a line, 200 of them with nothing else running, to compare.
void readOutsDuring(const char* what, ArchiveStore& store, const QString& line,
                    const QString& site) {
  std::unique_ptr<SyncWorker> worker;
  if (!line.isEmpty()) worker = std::make_unique<SyncWorker>(store.path(), line, site);
  store.setChangeListener([&worker] {
    if (worker) worker->kick();
  });
  std::vector<double> ms;
  QElapsedTimer whole;
  whole.start();
  while (worker ? worker->status().state != ServerStatus::State::Synced && whole.elapsed() < 300000
                : ms.size() < 200) {
    QElapsedTimer t;
    t.start();
    store.add({"Skoda Fabia", "WX 999"}, ReadoutSource::Read, SettingsBlock{},
              QDateTime::currentDateTimeUtc());
    ms.push_back(t.nsecsElapsed() / 1e6);
    QCoreApplication::processEvents();
    QThread::msleep(20);
  }
  store.setChangeListener({});
  report(what, ms, whole.elapsed() / 1000.0);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  test::PgServer pg(true);
  if (!pg.start() || !pg.exec("CREATE DATABASE first") || !pg.exec("CREATE DATABASE busy")) {
    std::printf("no server: %s\n", qPrintable(pg.error()));
    return 1;
  }
  QTemporaryDir dir;
  const QString a = dir.filePath("a.sqlite");
  const QString b = dir.filePath("b.sqlite");
  const QString c = dir.filePath("c.sqlite");
  bench::fillArchive(a, true);
  QFile::copy(a, c);  // another PC with as long a past, for the background transfers
  ArchiveStore(b).open();

  // As the worker keeps it: one engine, one connection, pass after pass.
  ArchiveSync pcA(a, pg.line("first"), "Bay 1");
  ArchiveSync pcB(b, pg.line("first"), "Bay 2");
  timed(
      "first transfer, 100,000 read-outs", [&] { return pcA.pass(); }, 30000);
  ArchiveStore storeA(a);
  ArchiveStore storeB(b);
  timed(
      "the other PC's first fetch of them", [&] { return pcB.pass(); }, 30000);
  take(storeA, kDay);
  timed(
      "a day's 200 read-outs sent", [&] { return pcA.pass(); }, 1000);
  take(storeB, kDay);
  pcB.pass();
  timed(
      "another PC's day of 200 fetched", [&] { return pcA.pass(); }, 1000);

  ArchiveStore storeC(c);
  readOutsDuring("keep a read-out, nothing else running", storeC, QString(), QString());
  readOutsDuring("keep a read-out while 100,000 are sent", storeC, pg.line("busy"), "Bay 3");
  QTemporaryDir fresh;
  ArchiveStore storeD(fresh.filePath("d.sqlite"));
  storeD.open();
  readOutsDuring("keep a read-out while 100,000 are fetched", storeD, pg.line("busy"), "Bay 4");
  return 0;
}
