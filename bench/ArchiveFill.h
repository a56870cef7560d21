#pragma once

#include "archive/ArchiveStore.h"
#include "link/Protocol.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <cstdio>

namespace orvel::bench {

constexpr int kRows = 100000;
constexpr int kCars = 5000;

// 100,000 read-outs over 5,000 cars, written in one go as a workshop's years of work would leave
// them: past the store, as no program would, and in one transaction. distinctBlocks: every
// read-out's block differs from the one before, as a transfer of real read-outs carries them.
inline void fillArchive(const QString& path, bool distinctBlocks) {
  ArchiveStore(path).open();
  {
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "fill");
    db.setDatabaseName(path);
    db.open();
    QSqlQuery q(db);
    q.exec("BEGIN");
    q.prepare("INSERT INTO cars(id, line1, line2) VALUES(?, ?, ?)");
    for (int c = 1; c <= kCars; ++c) {
      q.addBindValue(c);
      q.addBindValue(QString("Opel Astra %1 WX %2").arg(1990 + c % 30).arg(10000 + c));
      q.addBindValue(QString("Klient %1, tel. 600 %2").arg(c).arg(100000 + c));
      q.exec();
    }
    q.prepare("INSERT INTO readouts(car_id, taken_at, source, block, note) VALUES(?, ?, ?, ?, ?)");
    const QDateTime start = QDateTime::currentDateTimeUtc().addYears(-10);
    for (int r = 0; r < kRows; ++r) {
      q.addBindValue(1 + r % kCars);
      q.addBindValue(start.addSecs(r * 3000LL).toString(Qt::ISODate));
      q.addBindValue(r % 7 == 0 ? "import" : "read");
      q.addBindValue(QByteArray(kSettingsBlockLength, distinctBlocks ? char(r) : '\x05'));
      q.addBindValue(r % 11 == 0 ? QString("po wymianie reduktora") : QString(""));
      if (!q.exec()) {
        std::printf("filling failed at row %d: %s\n", r, qPrintable(q.lastError().text()));
        break;
      }
    }
    q.exec("COMMIT");
  }
  QSqlDatabase::removeDatabase("fill");
}

}  // namespace orvel::bench
