// Serial adapters from a list: the devices with their stable names, the line that names them in
// the start-up message, the choice stored in the registry file, and the port dialog assigning a
// device that takes effect at once.
#include "core/Language.h"
#include "core/Registry.h"
#include "link/PortDeviceDialog.h"
#include "link/PortProbe.h"
#include "link/TtyTransport.h"
#include "support/ProgramFixture.h"
#include "support/PseudoTerminal.h"
#include "ui_PortDeviceDialog.h"
#include "ui_TForm1.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace orvel;
using namespace orvel::test;

namespace {

QList<SerialDevice> twoAdapters(const QString& dir) {
  return {{dir + "/ttyUSB0", QString(), "FT232R USB UART", "FTDI", "A1B2C3"},
          {dir + "/ttyACM0", QString(), QString(), QString(), QString()}};
}

}  // namespace

class PortDevicesTest : public QObject {
  Q_OBJECT

  QTemporaryDir home;

 private Q_SLOTS:
  void init() {
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    qunsetenv("ORVEL_COM1");
    qunsetenv("ORVEL_COM2");
    QFile::remove(Registry::filePath());
    CurrentLanguage::set(Language::Polish);
  }

  void stableNamesFromByIdLinks() {
    QTemporaryDir dev;
    for (const char* name : {"ttyUSB0", "ttyACM0"}) {
      QFile f(dev.filePath(name));
      QVERIFY(f.open(QIODevice::WriteOnly));
    }
    QVERIFY(QDir(dev.path()).mkdir("by-id"));
    const QString byId = dev.filePath("by-id");
    QVERIFY(QFile::link("../ttyUSB0", byId + "/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0"));
    QVERIFY(QFile::link("../gone", byId + "/usb-unplugged"));  // dangling: matches nothing
    QList<SerialDevice> devices = twoAdapters(dev.path());
    addStableNames(devices, byId);
    QCOMPARE(devices[0].stableName, byId + "/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
    QCOMPARE(devices[0].preferredPath(), devices[0].stableName);
    QVERIFY(devices[1].stableName.isEmpty());
    QCOMPARE(devices[1].preferredPath(), dev.path() + "/ttyACM0");
    addStableNames(devices, dev.filePath("no-such-dir"));  // no by-id folder: nothing changes
    QCOMPARE(devices[0].preferredPath(), devices[0].stableName);
  }

  void adaptersLineNamesThemOrSaysNone_data() {
    QTest::addColumn<bool>("polish");
    QTest::addColumn<bool>("none");
    QTest::addColumn<QString>("line");
    QTest::newRow("pl, two") << true << false
                             << "Adaptery w systemie: /d/ttyUSB0 (FT232R USB UART), /d/ttyACM0";
    QTest::newRow("it, two") << false << false
                             << "Adattatori nel sistema: /d/ttyUSB0 (FT232R USB UART), /d/ttyACM0";
    QTest::newRow("pl, none") << true << true
                              << "W systemie nie ma żadnego adaptera portu szeregowego";
    QTest::newRow("it, none") << false << true
                              << "Nel sistema non c'è nessun adattatore di porta seriale";
  }
  void adaptersLineNamesThemOrSaysNone() {
    QFETCH(bool, polish);
    QFETCH(bool, none);
    QFETCH(QString, line);
    CurrentLanguage::set(polish ? Language::Polish : Language::Italian);
    QCOMPARE(adaptersLine(none ? QList<SerialDevice>{} : twoAdapters("/d")), line);
  }

  void mappingInTheRegistryFile() {
    QCOMPARE(Registry::devicePathForPort("COM1"), QString("/dev/ttyS0"));
    QVERIFY(Registry::setDevicePathForPort("COM1", "/dev/serial/by-id/usb-x"));
    QVERIFY(Registry::setDevicePathForPort("COM2", "/dev/pts/7"));
    QVERIFY(!Registry::setDevicePathForPort("COM3", "/dev/null"));
    QCOMPARE(Registry::devicePathForPort("COM1"), QString("/dev/serial/by-id/usb-x"));
    QCOMPARE(Registry::devicePathForPort("COM2"), QString("/dev/pts/7"));
    QFile ini(Registry::filePath());
    QVERIFY(ini.open(QIODevice::ReadOnly));
    QVERIFY(ini.readAll().contains("[ports]"));
    // The environment keeps overriding the file, and the dialog says so.
    qputenv("ORVEL_COM2", "/dev/ttyUSB9");
    QCOMPARE(Registry::devicePathForPort("COM2"), QString("/dev/ttyUSB9"));
    QCOMPARE(Registry::overridingVariable("COM2"), QString("ORVEL_COM2"));
    QVERIFY(Registry::overridingVariable("COM1").isEmpty());
  }

  // A device assigned to the port in use takes effect at once; to the other port, or with the
  // link closed, it waits for the next command.
  void assignedDeviceTakesEffect() {
    PseudoTerminal first;
    PseudoTerminal second;
    TtyTransport link;
    link.setPathResolver(&Registry::devicePathForPort);
    QVERIFY(Registry::setDevicePathForPort("COM1", first.slavePath()));
    link.setPortName("COM1");
    link.open();
    const auto store = &Registry::setDevicePathForPort;
    assignPortDevice(link, "COM2", second.slavePath(), store);
    QCOMPARE(link.devicePath(), first.slavePath());
    assignPortDevice(link, "COM1", second.slavePath(), store);
    QVERIFY(link.isConnected());
    QCOMPARE(link.devicePath(), second.slavePath());
    // A device that cannot be opened: the error, a closed link, the choice kept for later.
    QVERIFY_THROWS_EXCEPTION(AppError,
                             assignPortDevice(link, "COM1", home.filePath("missing"), store));
    QVERIFY(!link.isConnected());
    QCOMPARE(Registry::devicePathForPort("COM1"), home.filePath("missing"));
    QVERIFY_THROWS_EXCEPTION(
        AppError, assignPortDevice(link, "COM1", "/x", [](auto&, auto&) { return false; }));
  }

  void dialogFromTheMenu() {
    QTemporaryDir dev;
    const QList<SerialDevice> devices{
        {dev.path() + "/ttyUSB0", "/dev/serial/by-id/usb-FTDI-if00", "FT232R", "FTDI", "A1"}};
    ProgramFixture f;
    f.serialDevices = [devices] { return devices; };
    f.start();
    TForm1& form = f.form();
    QCOMPARE(form.ui().Urzadzenieportu1->text(), QString("Urządzenie portu..."));
    form.ui().Urzadzenieportu1->trigger();
    auto* dialog = form.findChild<PortDeviceDialog*>("PortDeviceDialog");
    QVERIFY(dialog && dialog->isVisible());
    auto& ui = dialog->ui();
    QCOMPARE(ui.DeviceList->topLevelItemCount(), 1);
    QCOMPARE(ui.DeviceList->topLevelItem(0)->text(1), QString("FT232R"));
    QCOMPARE(ui.PortName->currentText(), f.link.portName());
    ui.PortName->setCurrentText("COM2");
    ui.DeviceList->setCurrentItem(ui.DeviceList->topLevelItem(0));
    QCOMPARE(ui.DevicePath->text(), QString("/dev/serial/by-id/usb-FTDI-if00"));
    ui.DevicePath->clear();  // nothing to assign: OK is off
    QVERIFY(!ui.Buttons->button(QDialogButtonBox::Ok)->isEnabled());
    ui.DevicePath->setText("/dev/pts/3");  // any path may be typed
    ui.Buttons->button(QDialogButtonBox::Ok)->click();
    QVERIFY(!dialog->isVisible());
    QCOMPARE(Registry::devicePathForPort("COM2"), QString("/dev/pts/3"));
    QVERIFY(f.dialogs.boxes.isEmpty());
  }

  // An adapter's latency timer as its driver shows it in sysfs, found through the stable name.
  void adapterLatencyFromSysfs_data() {
    QTest::addColumn<QString>("content");  // of latency_timer; empty: the file is absent
    QTest::addColumn<bool>("byStableName");
    QTest::addColumn<int>("expected");  // -1: none
    QTest::newRow("common chip's default") << "16\n" << true << 16;
    QTest::newRow("low latency taken") << "1\n" << false << 1;
    QTest::newRow("no timer (a built-in port, a pseudo-terminal)") << "" << false << -1;
    QTest::newRow("unreadable value") << "fast\n" << false << -1;
  }
  void adapterLatencyFromSysfs() {
    QFETCH(QString, content);
    QFETCH(bool, byStableName);
    QFETCH(int, expected);
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkpath("dev/serial/by-id") &&
            QDir(root.path()).mkpath("sys/class/tty/ttyUSB0/device"));
    const QString device = root.filePath("dev/ttyUSB0");
    QFile(device).open(QIODevice::WriteOnly);
    const QString stable = root.filePath("dev/serial/by-id/usb-FTDI_FT232R-if00-port0");
    QVERIFY(QFile::link(device, stable));
    if (!content.isEmpty()) {
      QFile timer(root.filePath("sys/class/tty/ttyUSB0/device/latency_timer"));
      QVERIFY(timer.open(QIODevice::WriteOnly));
      timer.write(content.toLatin1());
    }
    const std::optional<int> ms =
        adapterLatencyMs(byStableName ? stable : device, root.filePath("sys"));
    QCOMPARE(ms.value_or(-1), expected);
  }

  // The port dialog's line on the latency timer, in the interface language.
  void dialogTellsWhatTheLatencyCosts_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("latency");  // -1: the device has none
    QTest::addColumn<QString>("text");
    QTest::newRow("Polish, 16 ms") << int(Language::Polish) << 16
                                   << "Adapter oddaje odebrane bajty co 16 ms (zegar opóźnienia): "
                                      "tryb oscyloskopu pokaże co najmniej 39 zamiast 50 "
                                      "odczytów na sekundę.";
    QTest::newRow("English, 1 ms") << int(Language::English) << 1
                                   << "The adapter hands received bytes over every 1 ms (its "
                                      "latency timer): the oscilloscope mode keeps its 50 "
                                      "readings a second.";
    QTest::newRow("no timer: no line") << int(Language::Polish) << -1 << QString();
  }
  void dialogTellsWhatTheLatencyCosts() {
    QFETCH(int, language);
    QFETCH(int, latency);
    QFETCH(QString, text);
    CurrentLanguage::set(static_cast<Language>(language));
    PortDeviceDialog dialog({});
    dialog.setLatencyReader([latency](const QString& path) -> std::optional<int> {
      if (path == "/dev/ttyUSB0" && latency >= 0) return latency;
      return std::nullopt;
    });
    dialog.prepare("COM1", [](const QString&) { return QString("/dev/ttyUSB0"); });
    QCOMPARE(dialog.ui().LatencyNote->isVisibleTo(&dialog), !text.isEmpty());
    if (!text.isEmpty()) QCOMPARE(dialog.ui().LatencyNote->text(), text);
    CurrentLanguage::set(Language::Polish);
  }

  void startupMessageNamesTheAdapters() {
    ProgramFixture f;
    f.link.failingPorts = {"COM1", "COM2"};
    f.serialDevices = [] { return twoAdapters("/dev"); };
    f.start();
    QCOMPARE(f.dialogs.boxes.size(), 1);
    QVERIFY2(f.dialogs.boxes.first().text.endsWith(
                 "\r\nAdaptery w systemie: /dev/ttyUSB0 (FT232R USB UART), /dev/ttyACM0."),
             qPrintable(f.dialogs.boxes.first().text));
  }
};

QTEST_MAIN(PortDevicesTest)
#include "test_port_devices.moc"
