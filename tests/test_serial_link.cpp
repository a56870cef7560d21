// The serial link on its own descriptor against real pseudo-terminals: what opens, what fails with
// which operating-system error, bytes both ways (0 included), notifications that are never
// re-entered, replies gathered into one notification, and a device that hangs up.
#include "link/LinkError.h"
#include "link/TtyTransport.h"
#include "support/PseudoTerminal.h"
#include "support/RecordingDialogs.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace orvel;
using orvel::test::PseudoTerminal;
using orvel::test::RecordingDialogs;

namespace {

// A transport whose "COM1"/"COM2" are the given paths.
std::unique_ptr<TtyTransport> transportFor(const QString& com1, const QString& com2 = {}) {
  auto t = std::make_unique<TtyTransport>();
  t->setPathResolver([com1, com2](const QString& name) {
    if (name == "COM1") return com1;
    if (name == "COM2") return com2;
    return name;
  });
  return t;
}

QString openFailure(SerialTransport& t) {
  try {
    t.open();
  } catch (const LinkError& e) {
    return e.text();
  }
  return QStringLiteral("<opened>");
}

}  // namespace

class SerialLinkTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void opensAPseudoTerminalDespiteMissingModemLines() {
    PseudoTerminal pty;
    QVERIFY(pty.isValid());
    auto t = transportFor(pty.slavePath());
    t->setPortName("COM1");
    t->open();
    QVERIFY(t->isConnected());
    QCOMPARE(t->devicePath(), pty.slavePath());
    t->open();  // already open: nothing
    QVERIFY(t->isConnected());
    t->close();
    QVERIFY(!t->isConnected());
    t->close();  // not open: nothing, no error
  }

  void failuresCarryTheSystemErrorNumber_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("missing device")
        << "/dev/orvel-no-such-port"
        << QString("Unable to open com port (win error code: %1)").arg(ENOENT);
    QTest::newRow("not a terminal")
        << "/dev/null" << QString("Unable to open com port (win error code: %1)").arg(ENOTTY);
    QTest::newRow("a directory")
        << "/tmp" << QString("Unable to open com port (win error code: %1)").arg(EISDIR);
  }
  void failuresCarryTheSystemErrorNumber() {
    QFETCH(QString, path);
    QFETCH(QString, expected);
    auto t = transportFor(path);
    t->setPortName("COM1");
    QCOMPARE(openFailure(*t), expected);
    QVERIFY(!t->isConnected());
  }

  void regularFileIsNoSerialPort() {
    QTemporaryDir dir;
    const QString file = dir.path() + "/plain";
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    auto t = transportFor(file);
    t->setPortName("COM1");
    QCOMPARE(openFailure(*t), QString("Unable to open com port (win error code: %1)").arg(ENOTTY));
  }

  void aPortInUseCannotBeOpenedTwice() {
    PseudoTerminal pty;
    auto first = transportFor(pty.slavePath());
    auto second = transportFor(pty.slavePath());
    first->setPortName("COM1");
    second->setPortName("COM1");
    first->open();
    QCOMPARE(openFailure(*second),
             QString("Unable to open com port (win error code: %1)").arg(EBUSY));
    QVERIFY(!second->isConnected());
    first->close();
    second->open();  // free again
    QVERIFY(second->isConnected());
  }

  // Exclusive use holds also against programs that take no lock file: their open fails with
  // EBUSY (root is let through by the kernel, but then sees the exclusive flag set).
  void anOpenPortIsExclusiveWithoutLockFiles() {
    PseudoTerminal pty;
    auto t = transportFor(pty.slavePath());
    t->setPortName("COM1");
    t->open();
    const auto exclusive = [&pty]() -> int {
      const int fd = ::open(qPrintable(pty.slavePath()), O_RDWR | O_NOCTTY | O_NONBLOCK);
      if (fd < 0) return errno == EBUSY ? 1 : -errno;
      int flag = -1;
      const int rc = ::ioctl(fd, TIOCGEXCL, &flag);
      ::close(fd);
      return rc == 0 ? flag : -errno;
    };
    QCOMPARE(exclusive(), 1);
    t->close();
    QCOMPARE(exclusive(), 0);
  }

  void permissionRefusedSaysWhatToDo() {
    const QString text = LinkError(LinkFailure::Open, EACCES).text();
    QVERIFY(text.startsWith("Unable to open com port (win error code: 13).\r\n"));
    QVERIFY(text.contains("dialout"));
    QVERIFY(!LinkError(LinkFailure::Open, ENOENT).text().contains("dialout"));
    QVERIFY(!LinkError(LinkFailure::Write, EACCES).text().contains("dialout"));
  }

  void writeOrReadOnAClosedLinkFails() {
    auto t = transportFor("/dev/orvel-no-such-port");
    try {
      t->write(QByteArray(1, '\x02'));
      QFAIL("write on a closed link succeeded");
    } catch (const LinkError& e) {
      QCOMPARE(e.text(), QString("WriteFile function failed (win error code: %1)").arg(EBADF));
    }
    try {
      t->read(1);
      QFAIL("read on a closed link succeeded");
    } catch (const LinkError& e) {
      QCOMPARE(e.failure(), LinkFailure::Read);
    }
  }

  void portNameChanges() {
    PseudoTerminal one;
    PseudoTerminal two;
    auto t = transportFor(one.slavePath(), two.slavePath());
    t->setPortName("COM1");
    t->open();
    t->setPortName("COM1");  // same name: stays connected, no reopen
    QCOMPARE(t->devicePath(), one.slavePath());
    t->setPortName("COM2");  // connected: closed and opened on the new name
    QVERIFY(t->isConnected());
    QCOMPARE(t->devicePath(), two.slavePath());
    t->close();
    t->setPortName("COM1");  // not connected: only stored
    QVERIFY(!t->isConnected());
    QCOMPARE(t->portName(), QString("COM1"));

    // A reopen that fails raises and leaves the link closed with the new name.
    auto u = transportFor(one.slavePath(), "/dev/orvel-no-such-port");
    u->setPortName("COM1");
    u->open();
    QVERIFY_THROWS_EXCEPTION(LinkError, u->setPortName("COM2"));
    QVERIFY(!u->isConnected());
    QCOMPARE(u->portName(), QString("COM2"));
  }

  void bytesPassBothWaysIncludingZero() {
    PseudoTerminal pty;
    auto t = transportFor(pty.slavePath());
    t->setPortName("COM1");
    t->open();
    const QByteArray out("\x00\xAA\x0A\x0D\xFF\x11\x13", 7);
    for (char c : out)
      t->write(QByteArray(1, c));
    QCOMPARE(pty.read(out.size()), out);

    QByteArray received;
    QList<int> counts;
    t->setRxHandler([&](int count) {
      counts << count;
      received += t->read(count);
    });
    const QByteArray in("\x00\x01\x00\xFF\x0D\x0A\x11\x13", 8);
    pty.write(in);
    QTRY_COMPARE(received, in);
    for (int c : counts)
      QVERIFY(c > 0);
  }

  void notificationsAreNeverReentered() {
    PseudoTerminal pty;
    auto t = transportFor(pty.slavePath());
    t->setPortName("COM1");
    t->open();
    int depth = 0;
    int maxDepth = 0;
    QByteArray received;
    t->setRxHandler([&](int count) {
      ++depth;
      maxDepth = qMax(maxDepth, depth);
      received += t->read(count);
      if (received.size() == 1) {
        // A handler that runs a nested event loop (as a modal message box does) while more
        // bytes arrive.
        pty.write("BC");
        QTest::qWait(100);
        t->write("x");  // a write inside a handler may see data too
      }
      --depth;
    });
    pty.write("A");
    QTRY_COMPARE(received, QByteArray("ABC"));
    QCOMPARE(maxDepth, 1);
  }

  void aHangUpClosesTheLinkWithOneMessage() {
    RecordingDialogs dialogs;
    PseudoTerminal pty;
    auto t = transportFor(pty.slavePath());
    t->setPortName("COM1");
    t->open();
    pty.hangUp();
    QTRY_VERIFY(!t->isConnected());
    QTest::qWait(100);
    QCOMPARE(dialogs.boxes.size(), 1);
    QCOMPARE(dialogs.boxes.first().text,
             QString("ReadFile function failed (win error code: %1).").arg(EIO));
    QCOMPARE(dialogs.boxes.first().title, QString("Orvel 2001-2.2"));
    QCOMPARE(dialogs.boxes.first().icon, MessageIcon::Error);
    // Later writes fail with the write error, as on any closed link.
    QVERIFY_THROWS_EXCEPTION(LinkError, t->write("\x02"));
  }

  // Read reports that are no loss of the device: a notification finding nothing to read (the
  // bytes went elsewhere) must neither drop the link nor leave it deaf.
  void aReadThatFindsNothingKeepsTheLink() {
    RecordingDialogs dialogs;
    PseudoTerminal pty;
    auto t = transportFor(pty.slavePath());
    t->setPortName("COM1");
    t->open();
    QByteArray received;
    t->setRxHandler([&](int count) { received += t->read(count); });
    for (int round = 0; round < 20; ++round) {
      pty.write("noise");
      QThread::msleep(5);
      // Handled in the same pass of the event loop as the port's read notification, but
      // before it: the notification then finds nothing, as when a write waiting for the line
      // has already read what came in.
      QMetaObject::invokeMethod(
          t.get(), [&pty] { pty.stealFromSlave(); }, Qt::QueuedConnection);
      QCoreApplication::processEvents();
      QTest::qWait(5);
    }
    QTest::qWait(300);
    QVERIFY(t->isConnected());
    QVERIFY2(dialogs.boxes.isEmpty(), qPrintable(dialogs.texts().join('|')));
    received.clear();
    pty.write("frame");
    QTRY_COMPARE(received, QByteArray("frame"));
  }

  // A reply the program waits for reaches the handler in one notification once it could have
  // crossed the line, and nothing is held back: a short reply, one that starts after the gather
  // ended, or one whose gather a reopened link cut off, still reaches the handler whole. The
  // controller writes at the line's pace; a byte it writes after the gather's end (a late
  // start, or a loaded machine) may cost one notification more, and no more than that.
  void repliesAreGatheredNeverHeldBack_data() {
    QTest::addColumn<int>("sent");
    QTest::addColumn<int>("startsAfterMs");
    QTest::addColumn<bool>("reopen");
    QTest::newRow("whole settings block") << 37 << 0 << false;
    QTest::newRow("short reply") << 3 << 0 << false;
    QTest::newRow("reply after the gather") << 8 << 60 << false;
    QTest::newRow("link reopened meanwhile") << 8 << 0 << true;
  }
  void repliesAreGatheredNeverHeldBack() {
    using Clock = std::chrono::steady_clock;
    QFETCH(int, sent);
    QFETCH(int, startsAfterMs);
    QFETCH(bool, reopen);
    PseudoTerminal pty;
    auto t = transportFor(pty.slavePath());
    t->setPortName("COM1");
    t->open();
    QByteArray reply, received;
    for (int i = 0; i < sent; ++i)
      reply += char(0x10 + i);
    int notifications = 0;
    t->setRxHandler([&](int count) {
      ++notifications;
      received += t->read(count);
    });
    t->expectReply(37);
    const Clock::time_point requested = Clock::now();
    t->write("\x02");
    // The gather lasts the line time of request and block, and a millisecond.
    const Clock::time_point gatherEnd =
        requested + (1 + 37) * kCharacterTime + std::chrono::milliseconds(1);
    QCOMPARE(pty.read(1), QByteArray("\x02"));
    if (reopen) {
      t->close();
      t->open();
    }
    std::vector<Clock::time_point> writtenAt;
    std::thread controller([&] {
      const Clock::time_point first = Clock::now() + std::chrono::milliseconds(startsAfterMs);
      for (int i = 0; i < reply.size(); ++i) {
        std::this_thread::sleep_until(first + i * kCharacterTime);
        pty.write(reply.mid(i, 1));
        writtenAt.push_back(Clock::now());
      }
    });
    // A real event loop, which wakes for every notification; QTest's waits poll every few ms.
    QEventLoop loop;
    QTimer::singleShot(150, &loop, &QEventLoop::quit);
    loop.exec();
    controller.join();
    QCOMPARE(received, reply);
    const auto late = std::count_if(writtenAt.begin(), writtenAt.end(),
                                    [&](Clock::time_point at) { return at >= gatherEnd; });
    const bool gathered = !reopen;
    QVERIFY2(!gathered || notifications <= 1 + late,
             qPrintable(QString("%1 notifications, %2 bytes late").arg(notifications).arg(late)));
  }

  void deviceStateSeenOnTheDescriptor() {
    PseudoTerminal pty;
    auto t = transportFor(pty.slavePath());
    t->setPortName("COM1");
    t->open();
    const int fd = ::open(qPrintable(pty.slavePath()), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    bool hungUp = true;
    QCOMPARE(deviceGoneErrno(fd, &hungUp), 0);
    QVERIFY(!hungUp);
    pty.hangUp();
    const int gone = deviceGoneErrno(fd, &hungUp);
    QVERIFY2(gone == EIO || hungUp, qPrintable(QString::number(gone)));
    ::close(fd);
    QCOMPARE(deviceGoneErrno(fd, &hungUp), EBADF);
    QCOMPARE(deviceGoneErrno(-1, nullptr), EBADF);
  }
};

QTEST_MAIN(SerialLinkTest)
#include "test_serial_link.moc"
