#pragma once

#include "link/ReceiveBuffer.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>

class QAbstractButton;
class QGroupBox;
class QLineEdit;
namespace Ui {
class ServiceConsole;
}

namespace orvel {

class LinkControl;
class WorkArea;

// The main window's controls the console works with, besides the group box it fills.
struct ServiceControls {
  QGroupBox* box = nullptr;                 // GroupBox1: the console
  QAbstractButton* revealButton = nullptr;  // Button2 "S"
  QLineEdit* password = nullptr;            // MaskEdit1, takes the access phrase
  QWidget* picture = nullptr;               // Image1, hidden while the console is open
  QWidget* statusBar = nullptr;             // StatusBar1
};

// The hidden service console: an experienced fitter sends single raw bytes typed in decimal and
// reads every byte that comes back, one per line. While it is open the link's service-mode flag
// sends every received byte here instead of to the reply dispatch.
class ServiceConsole : public QObject {
  Q_OBJECT
 public:
  // Builds the console into the group box and binds its controls and the way in. reference is
  // the direct-commands window that "Lista poleceń" shows.
  ServiceConsole(const ServiceControls& controls, WorkArea& area, LinkControl& link,
                 QWidget& reference);
  ~ServiceConsole() override;

  Ui::ServiceConsole& ui() { return *ui_; }
  bool isOpen() const;
  // What was received since the last "Wyślij", each byte as three digits and CR LF, up to the
  // receive buffer's limit; the list beside it shows every byte.
  const ReceiveBuffer& replies() const { return replies_; }
  // Bytes that gave way at the top of the list since the last "Wyślij".
  long long droppedBytes() const { return dropped_; }
  // Top of line k of the reply list in the group box's coordinates, for the line numbers.
  qreal replyLineTop(int k) const;
  // The list line of the first byte listed: 1 once a note on trimmed bytes heads the list.
  int firstByteLine() const;

  void Button2Click();
  void MaskEdit1Change();
  void Button1Click();        // "Wyślij"
  void SpeedButton13Click();  // "Lista poleceń"
  void SpeedButton7Click();   // "Koniec"

  // The dispatch's hook: a byte received while the service-mode flag is set.
  void serviceByte(std::uint8_t value);

  // The console has just opened: from now on every byte goes to it.
  std::function<void()> opened;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void open();
  void clearReplies();
  void dropOldest();
  void fitListFont();
  void alignLineNumbers();

  ServiceControls controls_;
  WorkArea& area_;
  LinkControl& link_;
  QWidget& reference_;
  std::unique_ptr<Ui::ServiceConsole> ui_;
  ReceiveBuffer replies_;
  int listed_ = 0;         // byte lines in the list
  long long dropped_ = 0;  // bytes that gave way at the top
};

}  // namespace orvel
