#pragma once

#include "core/ConfigFile.h"
#include "core/ControllerState.h"
#include "core/Language.h"
#include "core/WorkArea.h"
#include "link/LinkControl.h"
#include "link/SerialDevices.h"

#include <QMainWindow>
#include <QUrl>

#include <functional>
#include <map>
#include <memory>

class QLabel;
namespace Ui {
class TForm1;
}

namespace orvel {

class HelpWindow;
class PortDeviceDialog;
class QtTranslations;
class SerialTransport;
class TimerService;

// What the program gets from the outside world; tests pass fakes.
struct Environment {
  SerialTransport* link = nullptr;
  TimerService* timers = nullptr;
  std::function<QString()> installationDirectory;
  // The desktop's browser, for the help page; false when there is none to show it.
  std::function<bool(const QUrl&)> openUrl;
  SerialDeviceLister serialDevices;  // the machine's serial adapters
  // The folder of the workshop archive; unset: a folder "archiwum" in the installation directory.
  std::function<QString()> archiveDirectory;
};

// The main window: the frame (menu, toolbar, status bar, logo), start-up and shut-down, the port
// choice, help and About. The conversations with the controller live in LinkControl, which the
// window owns as it owns everything shared; the panels of the work area are bound by their own
// classes.
class TForm1 : public QMainWindow, public LinkView, public WorkArea {
  Q_OBJECT
 public:
  explicit TForm1(Environment environment, QWidget* parent = nullptr);
  ~TForm1() override;

  Ui::TForm1& ui() { return *ui_; }
  LinkControl& link() { return *link_; }
  ControllerState& controller() { return state_; }
  const QString& installationDirectory() const { return installDir_; }
  const QStringList& configLines() const { return ConfigEdit; }

  // Windows created after this one that the frame shows or hides.
  void setAboutBox(QWidget* about) { aboutBox_ = about; }

  // ---- LinkView
  void setStatusText(const QString& text) override;
  void setStatusTextFrom(std::function<QString()> make) override;
  void setCommandsEnabled(MainCommands commands, bool enabled) override;
  bool calibrationPanelVisible() const override;
  bool oscilloscopePanelVisible() const override;
  QString statusText() const;

  // The status bar's second field, beside the status text: what the fitter needs in order to go
  // on (why the speed read-out is unknown, why F8 stays off). Each kind is set and cleared by its
  // owner (an empty function clears it); its text is asked for again when the language changes,
  // and the first kind set is shown. While the pointer rests on a command with a status tip,
  // the field shows the tip instead.
  enum class StatusHint { SpeedUnknown, RpmScaled };
  void setStatusHint(StatusHint hint, std::function<QString()> text);
  QString statusHint() const;

  // A close that nobody attends (a logout, `kill`): every modal window ends as its Escape would,
  // no box waits for an answer from now on, and a failure (a config.cfg that cannot be written)
  // goes to standard error.
  void closeUnattended();

  // ---- Handlers of the frame
  void SpeedButton9Click();
  void COM11Click();
  void COM21Click();
  void Urzadzenieportu1Click();
  void Opis1Click();
  void Oprogramie1Click();
  void Polski1Click();
  void Angielski1Click();
  void Woski1Click();
  void StatusBar1DblClick();
  void Zmianaparametrwpracy1Click();
  void Timer7Timer();

  // Applies a language as its menu item does. Windows that carry captions of their own register
  // here so that a change of language reaches them.
  void selectLanguage(Language language);
  using CaptionTable = std::function<void(Language)>;
  void addCaptionTable(CaptionTable table) { captionTables_.push_back(std::move(table)); }

  // ---- WorkArea
  QWidget* windowWidget() override { return this; }
  int clientWidth() const override;
  int clientHeight() const override;
  int statusBarHeight() const override;
  void relayout() override { SpeedButton9Click(); }
  int toolBarHeight() const;
  // Sets the outer (frame) size of the window.
  void setOuterSize(int width, int height);

  WindowTimer& timer7() { return *Timer7; }
  // The help shown inside the program; null until a page was shown there.
  HelpWindow* helpWindow() const { return help_; }

 Q_SIGNALS:
  void closed();
  void commandsChanged();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void FormCreate();
  void FormClose();
  void alignBars();
  void choosePort(const QString& name);
  void bindMenu();
  ConfigFile::WindowState currentWindowState() const;
  // The outer size of the normal state and the centred position need the window's frame, which
  // exists only once the window is shown (and with some window managers a moment later).
  void placeOnScreen();
  void showHint();

  std::unique_ptr<Ui::TForm1> ui_;
  Environment env_;
  ControllerState state_;
  std::unique_ptr<LinkControl> link_;
  std::unique_ptr<WindowTimer> Timer7;
  QLabel* statusPanel_ = nullptr;
  std::function<QString()> statusMaker_;
  QLabel* hintPanel_ = nullptr;
  std::map<StatusHint, std::function<QString()>> hints_;
  QString statusTip_;
  std::unique_ptr<QtTranslations> qtTexts_;
  bool unattended_ = false;
  QWidget* aboutBox_ = nullptr;
  PortDeviceDialog* portDialog_ = nullptr;
  HelpWindow* help_ = nullptr;
  QString installDir_;
  QStringList ConfigEdit;
  std::vector<CaptionTable> captionTables_;
  bool laying_ = false;
  bool shownOnce_ = false;
  bool frameSettled_ = false;
  QMargins framePlaced_;
  bool closedOnce_ = false;
};

}  // namespace orvel
