#include "link/PortDeviceDialog.h"

#include "core/Language.h"
#include "core/Registry.h"
#include "ui_PortDeviceDialog.h"

#include <QPushButton>

namespace orvel {

namespace {

// Polish, English, Italian: the dialog is part of the interface, so it follows all three
// languages as the captions of the windows do.
struct Caption {
  const char* pl;
  const char* en;
  const char* it;
};

QString pick(const Caption& c) {
  return tr3(c.pl, c.en, c.it);
}

const Caption kTitle{"Urządzenie portu", "Port device", "Dispositivo porta"};
const Caption kPort{"Port:", "Port:", "Porta:"};
const Caption kList{"Urządzenia szeregowe w systemie:", "Serial devices of this machine:",
                    "Dispositivi seriali nel sistema:"};
const Caption kPath{"Ścieżka urządzenia:", "Device path:", "Percorso del dispositivo:"};
const Caption kRefresh{"Odśwież listę", "Refresh", "Aggiorna"};
const Caption kCancel{"Anuluj", "Cancel", "Annulla"};
const Caption kColumns[] = {{"Urządzenie", "Device", "Dispositivo"},
                            {"Opis", "Description", "Descrizione"},
                            {"Producent", "Manufacturer", "Produttore"},
                            {"Numer seryjny", "Serial number", "Numero di serie"},
                            {"Nazwa stała", "Stable name", "Nome stabile"}};
const Caption kNone{"Nie znaleziono żadnego urządzenia szeregowego. Można wpisać dowolną ścieżkę.",
                    "No serial device found. Any path may be typed in.",
                    "Nessun dispositivo seriale trovato. Si può scrivere qualsiasi percorso."};
const Caption kOverride{
    "Zmienna środowiskowa %1 jest ustawiona i ma pierwszeństwo przed tym "
    "wyborem, dopóki nie zostanie usunięta.",
    "The environment variable %1 is set and takes precedence over this "
    "choice until it is removed.",
    "La variabile d'ambiente %1 è impostata e prevale su questa scelta finché "
    "non viene rimossa."};

// The adapter's latency timer, and what it does to the live view's 50 readings a second.
const Caption kLatencyQuick{
    "Adapter oddaje odebrane bajty co %1 ms (zegar opóźnienia): tryb oscyloskopu zachowuje "
    "50 odczytów na sekundę.",
    "The adapter hands received bytes over every %1 ms (its latency timer): the oscilloscope "
    "mode keeps its 50 readings a second.",
    "L'adattatore consegna i byte ricevuti ogni %1 ms (timer di latenza): la modalità "
    "oscilloscopio mantiene 50 letture al secondo."};
const Caption kLatencySlow{
    "Adapter oddaje odebrane bajty co %1 ms (zegar opóźnienia): tryb oscyloskopu pokaże "
    "co najmniej %2 zamiast 50 odczytów na sekundę.",
    "The adapter hands received bytes over every %1 ms (its latency timer): the oscilloscope "
    "mode shows at least %2 instead of 50 readings a second.",
    "L'adattatore consegna i byte ricevuti ogni %1 ms (timer di latenza): la modalità "
    "oscilloscopio mostra almeno %2 invece di 50 letture al secondo."};

}  // namespace

PortDeviceDialog::PortDeviceDialog(SerialDeviceLister listDevices, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::PortDeviceDialog>()),
      listDevices_(std::move(listDevices)),
      latencyOf_([](const QString& path) { return adapterLatencyMs(path); }) {
  ui_->setupUi(this);
  ui_->LatencyNote->hide();
  connect(ui_->Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(ui_->Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(ui_->Refresh, &QPushButton::clicked, this, &PortDeviceDialog::refresh);
  connect(ui_->PortName, &QComboBox::currentIndexChanged, this, &PortDeviceDialog::showMapping);
  // Choosing a device fills in the path; the stable name is preferred, as it survives plugging
  // the adapter into another socket.
  connect(ui_->DeviceList, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (item) ui_->DevicePath->setText(item->data(0, Qt::UserRole).toString());
  });
  connect(ui_->DeviceList, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);
  connect(ui_->DevicePath, &QLineEdit::textChanged, this, [this](const QString& text) {
    ui_->Buttons->button(QDialogButtonBox::Ok)->setEnabled(!text.trimmed().isEmpty());
    showLatency();
  });
}

PortDeviceDialog::~PortDeviceDialog() = default;

void PortDeviceDialog::prepare(const QString& portName,
                               std::function<QString(const QString&)> mappedPath) {
  mappedPath_ = std::move(mappedPath);
  retranslate();
  ui_->PortName->setCurrentIndex(portName == QLatin1String("COM2") ? 1 : 0);
  refresh();
  showMapping();
}

QString PortDeviceDialog::portName() const {
  return ui_->PortName->currentText();
}

QString PortDeviceDialog::devicePath() const {
  return ui_->DevicePath->text().trimmed();
}

void PortDeviceDialog::retranslate() {
  setWindowTitle(pick(kTitle));
  ui_->PortLabel->setText(pick(kPort));
  ui_->ListLabel->setText(pick(kList));
  ui_->PathLabel->setText(pick(kPath));
  ui_->Refresh->setText(pick(kRefresh));
  ui_->Buttons->button(QDialogButtonBox::Cancel)->setText(pick(kCancel));
  QStringList headers;
  for (const Caption& c : kColumns)
    headers << pick(c);
  ui_->DeviceList->setHeaderLabels(headers);
  showNote();
  showLatency();
}

void PortDeviceDialog::showLatency() {
  const std::optional<int> ms = latencyOf_ ? latencyOf_(devicePath()) : std::nullopt;
  ui_->LatencyNote->setVisible(ms.has_value());
  if (!ms) return;
  const int rate = liveRateWithLatency(*ms);
  ui_->LatencyNote->setText(rate >= 50 ? pick(kLatencyQuick).arg(*ms)
                                       : pick(kLatencySlow).arg(*ms).arg(rate));
}

void PortDeviceDialog::refresh() {
  ui_->DeviceList->clear();
  const QList<SerialDevice> devices = listDevices_ ? listDevices_() : QList<SerialDevice>();
  for (const SerialDevice& d : devices) {
    auto* item = new QTreeWidgetItem(
        ui_->DeviceList, {d.path, d.description, d.manufacturer, d.serialNumber, d.stableName});
    item->setData(0, Qt::UserRole, d.preferredPath());
  }
  for (int c = 0; c < ui_->DeviceList->columnCount(); ++c)
    ui_->DeviceList->resizeColumnToContents(c);
  showMapping();
}

void PortDeviceDialog::showNote() {
  const QString variable = Registry::overridingVariable(portName());
  ui_->Note->setText(!variable.isEmpty()                         ? pick(kOverride).arg(variable)
                     : ui_->DeviceList->topLevelItemCount() == 0 ? pick(kNone)
                                                                 : QString());
}

void PortDeviceDialog::showMapping() {
  const QString port = portName();
  if (mappedPath_) ui_->DevicePath->setText(mappedPath_(port));
  // The device already assigned is selected, so Enter keeps it.
  for (int i = 0; i < ui_->DeviceList->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = ui_->DeviceList->topLevelItem(i);
    if (item->data(0, Qt::UserRole).toString() == devicePath() || item->text(0) == devicePath()) {
      QSignalBlocker block(ui_->DeviceList);
      ui_->DeviceList->setCurrentItem(item);
    }
  }
  showNote();
}

}  // namespace orvel
