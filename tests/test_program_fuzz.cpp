// Arbitrary bytes, split arbitrarily, through the whole program's reception and dispatch (live
// display, settings read-out into the editor, the service list) while the fitter's commands and
// time move on at random. Nothing may crash or misbehave under the sanitizers, the receive
// buffer stays bounded, and every message the program shows is one it knows.
#include "link/ReceiveBuffer.h"
#include "monitor/OscilloscopePanel.h"
#include "settings/TEdytuj_dane.h"
#include "support/ProgramFixture.h"
#include "ui_Panel1.h"
#include "ui_TForm1.h"

#include <QRandomGenerator>
#include <QTest>

using namespace orvel;
using orvel::test::ProgramFixture;

namespace {

bool isKnownMessage(const QString& text) {
  static const QStringList known{
      "Sterownik nie ma skalibrowanych wolnych obrotów",
      "Sistema non calibrate giri",
      "Pojawiły się zakłócenia",
      "Sterownik nie został włączony",
      "Sistema non acceso",
      "Odczyt ustawień nieudany",
  };
  for (const QString& k : known) {
    if (text.startsWith(k)) return true;
  }
  return false;
}

}  // namespace

class ProgramFuzzTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void randomTrafficThroughTheWholeProgram() {
    int streams = 0;
    for (quint32 seed = 1; seed <= 200; ++seed) {
      QRandomGenerator rng(seed);
      ProgramFixture f;
      f.start();
      TForm1& form = f.form();
      LinkControl& link = form.link();
      auto* scope = form.findChild<OscilloscopePanel*>();
      QVERIFY(scope);
      for (int step = 0; step < 80; ++step) {
        switch (rng.bounded(12)) {
          case 0:
            form.ui().SpeedButton3->click();  // F5 (ignored while disabled)
            break;
          case 1:
            form.ui().Wykresy->click();  // F7
            break;
          case 2:
            scope->ui().Koniec->click();
            break;
          case 3:
            scope->ui().BtnPauza->click();
            break;
          case 4:
            if (f.program->editor().isVisible()) f.program->editor().close();
            break;
          case 5:
            link.serviceMode = rng.bounded(3) == 0;
            link.idleSampling = rng.bounded(4) == 0;
            link.highRpmSampling = rng.bounded(4) == 0;
            link.samplesRemaining = rng.bounded(11);
            break;
          case 6:
            f.timers.advanceMs(rng.bounded(3000));
            break;
          default: {
            // A live frame or settings block sized burst now and then, else anything.
            const int sizes[] = {1, 7, 8, 9, 36, 37, 38};
            const int n = rng.bounded(4) == 0 ? sizes[rng.bounded(7)] : rng.bounded(1, 64);
            QByteArray bytes;
            for (int i = 0; i < n; ++i)
              bytes.append(char(rng.bounded(256)));
            int at = 0;
            while (at < n) {
              const int piece = rng.bounded(1, n - at + 1);
              f.link.inject(bytes.mid(at, piece));
              at += piece;
            }
            ++streams;
          }
        }
        QVERIFY(link.EditDane.storedBytes() <= ReceiveBuffer::kMaxStoredBytes);
      }
      for (const auto& box : f.dialogs.boxes) {
        QVERIFY2(isKnownMessage(box.text), qPrintable(box.text));
      }
    }
    QVERIFY(streams > 5000);
  }
};

QTEST_MAIN(ProgramFuzzTest)
#include "test_program_fuzz.moc"
