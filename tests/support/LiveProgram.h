#pragma once

#include "app/Program.h"
#include "link/Timers.h"
#include "link/TtyTransport.h"
#include "support/RecordingDialogs.h"

#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <memory>

namespace orvel::test {

// The whole program on its real serial link and timers, with COM1 and COM2 mapped to the given
// devices (a simulator's pseudo-terminal), a temporary installation directory and recorded
// message boxes.
struct LiveProgram {
  QtTimerService timers;
  TtyTransport link;
  RecordingDialogs dialogs;
  QTemporaryDir installDir;
  std::unique_ptr<Program> program;

  explicit LiveProgram(const QString& com1, const QString& com2 = "/dev/orvel-test-no-com2") {
    qputenv("ORVEL_COM1", com1.toLocal8Bit());
    qputenv("ORVEL_COM2", com2.toLocal8Bit());
    Environment env;
    env.link = &link;
    env.timers = &timers;
    const QString dir = installDir.path();
    env.installationDirectory = [dir] { return dir; };
    env.openUrl = [](const QUrl&) { return true; };
    program = std::make_unique<Program>(std::move(env));
  }
  TForm1& form() { return program->form1(); }
  // Enter from the keyboard, to whatever has it.
  void enter() {
    QWidget* w = form().focusWidget();
    QTest::keyClick(w ? w : &form(), Qt::Key_Return);
  }
};

// Runs the event loop as the program does. QTest::qWait would not do: it handles events in
// passes with 10 ms sleeps between them, which delays every timer of the live loop by up to
// 10 ms and makes the program look late.
inline void runEventLoop(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace orvel::test
