#pragma once

#include "calibration/CalibrationPanel.h"
#include "support/ProgramFixture.h"
#include "support/ScriptedController.h"
#include "ui_PanelKalib.h"
#include "ui_TForm1.h"

#include <QAction>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

#include <QMap>

#include <memory>

namespace orvel::test {

// The choices a walk through the wizard makes with the keyboard, taking every default.
struct WalkPath {
  int probe = 0;
  int direction = 0;  // 0 "rosnące", 1 "malejące"
  int cutoff = 0;     // 0 on, 1 off
  ScriptedController::Frame highFrame{23, 60, 140, 115, 0x25, 0x01, 180};
};

// The whole program on fakes with a controller that answers, and the autocalibration panel at
// hand: what the calibration tests share.
struct CalibrationRig {
  ProgramFixture f;
  std::unique_ptr<ScriptedController> controller;

  CalibrationRig() {
    f.start();
    controller = std::make_unique<ScriptedController>(f.link, f.timers);
  }

  TForm1& form() { return f.form(); }
  Ui::TForm1& mainUi() { return form().ui(); }
  CalibrationPanel& panel() { return *form().findChild<CalibrationPanel*>(); }
  Ui::PanelKalib& ui() { return panel().ui(); }
  CalibrationWizard& wizard() { return panel().wizard(); }
  LinkControl& link() { return f.control(); }
  void advanceMs(double ms) { f.timers.advanceMs(ms); }

  // What has the keyboard gets the key, as it would from the fitter.
  void press(Qt::Key key = Qt::Key_Return) {
    QWidget* target = form().focusWidget();
    QTest::keyClick(target ? target : &form(), key);
  }
  // Types into the entry that has the keyboard; its text was selected, so it is replaced.
  bool type(const QString& text) {
    auto* edit = qobject_cast<QLineEdit*>(form().focusWidget());
    if (!edit) return false;
    QTest::keyClicks(edit, text);
    return true;
  }

  void f5() { mainUi().Zmianaparametrwpracy1->trigger(); }
  void f6() { mainUi().Autokalibracja1->trigger(); }
  void f7() { mainUi().Tryboscyloskopu1->trigger(); }
  void f8() { mainUi().SkalowanieobrotwPB1->trigger(); }

  // Everything written, cut into commands, without the live-data requests of the runs.
  QStringList commands() const {
    QStringList out = splitCommands(f.link.written());
    out.removeAll(QStringLiteral("02"));
    return out;
  }
  int requests() const {
    return static_cast<int>(splitCommands(f.link.written()).count(QStringLiteral("02")));
  }

  // The main commands' enabled states: F5..F8, then the four menu items.
  QString commandStates() {
    Ui::TForm1& u = mainUi();
    QString s;
    for (QToolButton* b : {u.SpeedButton3, u.SpeedButton4, u.Wykresy, u.SpeedButton14})
      s += b->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    s += QLatin1Char(' ');
    for (QAction* a :
         {u.Zmianaparametrwpracy1, u.Autokalibracja1, u.Tryboscyloskopu1, u.SkalowanieobrotwPB1})
      s += a->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    return s;
  }

  // From closed to the given step (18: written), confirming every step with Enter. Where
  // `entries` has a step, its texts are typed first (the entry's own, then Edit3's).
  void walkTo(int target, const WalkPath& path = WalkPath(),
              const QMap<int, QStringList>& entries = {}) {
    f6();
    for (int step = 1; step < target; ++step) {
      if (entries.contains(step)) {
        const QStringList texts = entries.value(step);
        if (texts.size() > 1) ui().Edit3->setText(texts.at(1));
        type(texts.value(0));
      }
      if (step == 1) probeItem(path.probe)->setChecked(true);
      if (step == 7)
        (path.direction ? ui().RadioGroup1Item1 : ui().RadioGroup1Item0)->setChecked(true);
      if (step == 14)
        (path.cutoff ? ui().RadioGroup2Item1 : ui().RadioGroup2Item0)->setChecked(true);
      if (step == 3) controller->frame = path.highFrame;
      press();
      // At a fitter's pace: the acknowledgement of one step is in before the next.
      advanceMs(step == 2 || step == 3 ? 1000 : 50);
      if (step == 14 && path.cutoff == 1) step = 16;  // straight to the write
    }
  }

  QRadioButton* probeItem(int item) {
    return ui().RadioGroup3->findChild<QRadioButton*>(
        QStringLiteral("RadioGroup3Item%1").arg(item));
  }
};

}  // namespace orvel::test
