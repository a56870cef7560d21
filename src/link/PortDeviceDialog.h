#pragma once

#include "link/SerialDevices.h"

#include <QDialog>

#include <memory>

namespace Ui {
class PortDeviceDialog;
}

namespace orvel {

// "Urządzenie portu...": lists the machine's serial devices and lets the fitter assign one, or
// any path (a pseudo-terminal included), to "COM1" or "COM2". Only collects the choice; storing
// it and reopening the port is the caller's, on accepted().
class PortDeviceDialog : public QDialog {
  Q_OBJECT
 public:
  explicit PortDeviceDialog(SerialDeviceLister listDevices, QWidget* parent = nullptr);
  ~PortDeviceDialog() override;
  Ui::PortDeviceDialog& ui() { return *ui_; }

  // Fills the list afresh, selects the given port and shows what it is mapped to now.
  // mappedPath(portName) gives a port's present device.
  void prepare(const QString& portName, std::function<QString(const QString&)> mappedPath);

  QString portName() const;
  QString devicePath() const;

  // Where the dialog reads an adapter's latency timer (adapterLatencyMs by default).
  using LatencyReader = std::function<std::optional<int>(const QString& devicePath)>;
  void setLatencyReader(LatencyReader reader) { latencyOf_ = std::move(reader); }

  // Every text again in the interface language, as it is now.
  void retranslate();

 private:
  void refresh();
  void showMapping();
  void showNote();
  void showLatency();

  std::unique_ptr<Ui::PortDeviceDialog> ui_;
  SerialDeviceLister listDevices_;
  std::function<QString(const QString&)> mappedPath_;
  LatencyReader latencyOf_;
};

}  // namespace orvel
