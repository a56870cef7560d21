// Measures the workshop archive with 100,000 read-outs kept: storing one more read-out (what an
// F5 read-out adds before the editor opens), opening the archive window (the list read and
// shown), and filtering the list as the fitter types. Prints numbers; it is not a pass/fail test.
#include "ArchiveFill.h"
#include "CpuTime.h"
#include "app/Program.h"
#include "archive/ArchiveWindow.h"
#include "settings/TEdytuj_dane.h"
#include "support/ProgramFixture.h"
#include "ui_TForm1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QVariant>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace orvel;

namespace {

// Wall time and this process's CPU time of each sample: on a machine shared with other work the
// CPU time is what the program itself costs.
struct Sample {
  QElapsedTimer wall;
  double cpu = cpuSeconds();
  Sample() { wall.start(); }
};
std::vector<double> cpuMs;

double done(const Sample& s) {
  cpuMs.push_back((cpuSeconds() - s.cpu) * 1000.0);
  return s.wall.nsecsElapsed() / 1e6;
}

void report(const char* what, std::vector<double> ms, double target) {
  std::sort(ms.begin(), ms.end());
  std::sort(cpuMs.begin(), cpuMs.end());
  double sum = 0;
  double cpuSum = 0;
  for (double x : ms)
    sum += x;
  for (double x : cpuMs)
    cpuSum += x;
  std::printf(
      "%-40s n=%zu  wall mean %.3f ms median %.3f ms max %.3f ms | cpu mean %.3f ms max %.3f ms  "
      "(target < %.0f ms)\n",
      what, ms.size(), sum / ms.size(), ms[ms.size() / 2], ms.back(), cpuSum / cpuMs.size(),
      cpuMs.back(), target);
  cpuMs.clear();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  test::ProgramFixture f;
  const QString path = f.installDir.filePath(ArchiveStore::fileName());
  bench::fillArchive(path, false);
  f.start();

  // Storing per read-out, as the F5 hook does it (a warm store: the first read-out of a run
  // opens the file, once).
  ArchiveStore& store = f.program->archive().store();
  SettingsBlock block{};
  store.add({"Opel Astra", "warm-up"}, ReadoutSource::Read, block, QDateTime::currentDateTimeUtc());
  std::vector<double> add;
  for (int i = 0; i < 200; ++i) {
    block[5] = static_cast<std::uint8_t>(i);
    Sample t;
    store.add({QString("Fiat Punto %1").arg(i % 20), "KR 1234"}, ReadoutSource::Read, block,
              QDateTime::currentDateTimeUtc());
    add.push_back(done(t));
  }
  report("store one read-out (100,000 rows)", add, 5);

  // Opening the window: the list read from the file and the first screen painted.
  ArchiveWindow& window = f.program->archiveWindow();
  std::vector<double> open;
  for (int i = 0; i < 5; ++i) {
    window.hide();
    QApplication::processEvents();
    Sample t;
    f.form().ui().Archiwum1->trigger();
    window.repaint();
    QApplication::processEvents();
    open.push_back(done(t));
  }
  report("open the archive window (100,000 rows)", open, 200);

  // Filtering as the fitter types a registration number, key by key.
  auto* filter = window.findChild<QLineEdit*>("EditSzukaj");
  auto* list = window.findChild<QTableView*>("ListaOdczytow");
  std::vector<double> keys;
  int shown = 0;
  for (int round = 0; round < 5; ++round) {
    filter->clear();
    QApplication::processEvents();
    for (QChar c : QString("wx 12345")) {
      Sample t;
      filter->setText(filter->text() + c);
      list->repaint();
      QApplication::processEvents();
      keys.push_back(done(t));
    }
    shown = window.listModel().rowCount();
  }
  report("filter one key press (100,000 rows)", keys, 200);
  std::printf("rows kept: %zu, rows left by the filter \"wx 12345\": %d\n", store.list().size(),
              shown);
  return 0;
}
