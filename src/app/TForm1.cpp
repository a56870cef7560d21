#include "app/TForm1.h"

#include "app/HelpPage.h"
#include "app/HelpWindow.h"
#include "app/QtTranslations.h"
#include "core/Artwork.h"
#include "core/Dialogs.h"
#include "core/Handlers.h"
#include "core/Registry.h"
#include "core/WindowPlacement.h"
#include "link/PortDeviceDialog.h"
#include "link/PortProbe.h"
#include "link/SerialTransport.h"
#include "settings/Conversions.h"
#include "ui_TForm1.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QWindow>

namespace orvel {

namespace {

const QString kConfigFileName = QStringLiteral("config.cfg");
const QString kHelpTopic = QStringLiteral("IDH_5310");

}  // namespace

TForm1::TForm1(Environment environment, QWidget* parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui::TForm1>()), env_(std::move(environment)) {
  ui_->setupUi(this);
  // The language menu starts with Polish checked; the message rule follows the check marks, and
  // Qt's own dialogs speak it too.
  CurrentLanguage::set(Language::Polish);
  qtTexts_ = std::make_unique<QtTranslations>();
  qtTexts_->apply(Language::Polish);

  statusPanel_ = new QLabel(ui_->StatusBar1);
  statusPanel_->setObjectName(QStringLiteral("StatusPanel0"));
  QFont bold = statusPanel_->font();
  bold.setBold(true);
  statusPanel_->setFont(bold);
  // 210 wide as designed; a longer text (where a printout's PDF file went) widens the panel
  // rather than being cut off.
  statusPanel_->setMinimumWidth(210);
  statusPanel_->setFrameShape(QFrame::Panel);
  statusPanel_->setFrameShadow(QFrame::Sunken);
  ui_->StatusBar1->addWidget(statusPanel_);
  hintPanel_ = new QLabel(ui_->StatusBar1);
  hintPanel_->setObjectName(QStringLiteral("StatusPanel1"));
  hintPanel_->setTextFormat(Qt::PlainText);
  ui_->StatusBar1->addWidget(hintPanel_, 1);
  // The bar is 19 pixels high as designed, unless the bold text with its sunken frame needs
  // more: descenders (an underscore in a file name) must not be cut off.
  ui_->StatusBar1->setFixedHeight(
      qMax(ui_->StatusBar1->height(), ui_->StatusBar1->minimumSizeHint().height()));

  ui_->Image1->setPixmap(logoPicture(ui_->Image1->size()));
  ui_->SpeedButton3->setIcon(commandIcon(CommandPicture::Settings));
  ui_->SpeedButton4->setIcon(commandIcon(CommandPicture::Calibration));
  ui_->Wykresy->setIcon(commandIcon(CommandPicture::Oscilloscope));
  ui_->SpeedButton14->setIcon(commandIcon(CommandPicture::RpmScaling));
  for (QToolButton* b : {ui_->SpeedButton3, ui_->SpeedButton4, ui_->Wykresy, ui_->SpeedButton14}) {
    b->setIconSize(QSize(22, 22));
  }

  link_ = std::make_unique<LinkControl>(*env_.link, *env_.timers, *this, state_);
  Timer7 = std::make_unique<WindowTimer>(*env_.timers, 200, 3, [this] { Timer7Timer(); });

  bindMenu();
  ui_->StatusBar1->installEventFilter(this);
  ui_->ClientArea->installEventFilter(this);

  // The design's client area, below the menu.
  resize(621, 452 + menuBar()->sizeHint().height());
  alignBars();
  FormCreate();
}

TForm1::~TForm1() {
  // The next program made in this process (the tests make many) starts attended.
  if (unattended_) Dialogs::setUnattended(false);
}

void TForm1::bindMenu() {
  onEvent(ui_->Zamknijprogram1, &QAction::triggered, this, [this] { close(); });
  // Check marks are set by the handlers alone (a failed port change must leave them as they
  // were), so the toggle Qt makes on a click is undone first.
  const auto checkedItem = [this](QAction* item, void (TForm1::*handler)()) {
    connect(item, &QAction::triggered, this, [this, item, handler](bool checked) {
      item->setChecked(!checked);
      guarded([this, handler] { (this->*handler)(); });
    });
  };
  checkedItem(ui_->COM11, &TForm1::COM11Click);
  checkedItem(ui_->COM21, &TForm1::COM21Click);
  onEvent(ui_->Urzadzenieportu1, &QAction::triggered, this, [this] { Urzadzenieportu1Click(); });
  checkedItem(ui_->Polski1, &TForm1::Polski1Click);
  checkedItem(ui_->Angielski1, &TForm1::Angielski1Click);
  checkedItem(ui_->Woski1, &TForm1::Woski1Click);
  onEvent(ui_->Opis1, &QAction::triggered, this, [this] { Opis1Click(); });
  onEvent(ui_->Oprogramie1, &QAction::triggered, this, [this] { Oprogramie1Click(); });
  onEvent(ui_->Zmianaparametrwpracy1, &QAction::triggered, this,
          [this] { Zmianaparametrwpracy1Click(); });
  onEvent(ui_->SpeedButton3, &QToolButton::clicked, this, [this] { Zmianaparametrwpracy1Click(); });
}

// ---------------------------------------------------------------------------------------------
// Start-up and shut-down

void TForm1::FormCreate() {
  // 1. The link state starts cleared (LinkControl and the timers are new).
  // 2. Installation directory.
  installDir_ = env_.installationDirectory ? env_.installationDirectory() : QString();
  // 3. Configuration.
  ConfigEdit = ConfigFile::load(installationFile(installDir_, kConfigFileName));
  // 4. Window state.
  if (ConfigFile::value(ConfigEdit, ConfigFile::kWindowStateLine) == QLatin1String("wsnormal")) {
    setWindowState(Qt::WindowNoState);
    setOuterSize(ui_->Panel1->width() + 20,
                 ui_->Panel1->height() + toolBarHeight() + statusBarHeight() + 80);
  } else {
    setWindowState(Qt::WindowMaximized);
  }
  // 5. The stored language is applied once all windows exist.
  const QString language = ConfigFile::value(ConfigEdit, ConfigFile::kLanguageLine);
  if (language == QLatin1String("1") || language == QLatin1String("2")) Timer7->start();
  // 6. Serial port: probe the configured one silently, fall back to the other.
  const StartupPort port = openAtStartup(
      *env_.link, ConfigFile::value(ConfigEdit, ConfigFile::kPortLine) == QLatin1String("com1"),
      env_.serialDevices);
  ui_->COM11->setChecked(port.name == QLatin1String("COM1"));
  ui_->COM21->setChecked(port.name != QLatin1String("COM1"));
  if (port.error) {
    // Neither opened: a command later tries the configured port too, not only the fallback.
    link_->setChosenPort(ConfigFile::value(ConfigEdit, ConfigFile::kPortLine) ==
                                 QLatin1String("com1")
                             ? QStringLiteral("COM1")
                             : QStringLiteral("COM2"));
    link_->hooks.portChanged = [this](const QString& name) {
      ui_->COM11->setChecked(name == QLatin1String("COM1"));
      ui_->COM21->setChecked(name != QLatin1String("COM1"));
    };
    showErrorBox(*port.error);
    return;
  }
  // 7. Centre the logo.
  ui_->Image1->move(halfRounded(clientWidth()) - halfRounded(ui_->Image1->width()),
                    static_cast<int>(roundHalfEven(
                        (clientHeight() + statusBarHeight() - ui_->Image1->height()) * 0.5)));
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (!closedOnce_) {
    closedOnce_ = true;
    FormClose();
  }
  event->accept();
  Q_EMIT closed();
}

ConfigFile::WindowState TForm1::currentWindowState() const {
  if (isMinimized()) return ConfigFile::WindowState::Minimized;
  if (isMaximized()) return ConfigFile::WindowState::Maximized;
  return ConfigFile::WindowState::Normal;
}

void TForm1::closeUnattended() {
  unattended_ = true;
  Dialogs::setUnattended(true);
  endModalWindows();
  close();
}

void TForm1::FormClose() {
  LinkControl& link = *link_;
  // A close in the middle of an exchange (F5, the wizard, the archive's write) ends it as the
  // exchange itself would, so that the controller is not left in its setting mode.
  link.endCommunicationOnClose();
  if (ui_->Panel1->isVisible()) {
    link.Timer1.stop();
    link.Timer2.stop();
    link.Timer3.stop();
    link.sweepPaused = true;
    ui_->Panel1->hide();
    link.oscilloscopeMode = false;
    setCommandsEnabled(kButtonF7 | kItemScope, true);
    setStatusText(QString());
    try {
      env_.link->close();
    } catch (const AppError&) {
    }
  }
  ConfigFile::storeOnClose(ConfigEdit, ui_->COM11->isChecked(), currentWindowState(),
                           CurrentLanguage::get());
  // A file that cannot be written is reported, but the program still closes: the previous file
  // is left intact by the atomic replacement.
  guarded([this] { ConfigFile::save(installationFile(installDir_, kConfigFileName), ConfigEdit); });
}

// ---------------------------------------------------------------------------------------------
// Layout

int TForm1::clientWidth() const {
  return width();
}

int TForm1::clientHeight() const {
  const QWidget* menu = menuWidget();
  const int menuHeight = menu && !menu->isHidden() ? menu->sizeHint().height() : 0;
  return height() - menuHeight;
}

int TForm1::toolBarHeight() const {
  return ui_->ToolBar1->height();
}
int TForm1::statusBarHeight() const {
  return ui_->StatusBar1->height();
}

void TForm1::setOuterSize(int width, int height) {
  const QSize frame = frameGeometry().size() - geometry().size();
  resize(width - frame.width(), height - frame.height());
}

void TForm1::alignBars() {
  const QSize area = ui_->ClientArea->size();
  ui_->ToolBar1->setGeometry(0, 0, area.width(), ui_->ToolBar1->height());
  const int sb = ui_->StatusBar1->height();
  ui_->StatusBar1->setGeometry(0, area.height() - sb, area.width(), sb);
}

void TForm1::SpeedButton9Click() {
  if (laying_) return;
  laying_ = true;
  if (!(windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen))) {
    setOuterSize(ui_->Panel1->width() + 20,
                 ui_->Panel1->height() + toolBarHeight() + statusBarHeight() + 80);
  }
  const int cw = clientWidth();
  const int ch = clientHeight();
  const int sb = statusBarHeight();
  QWidget* panel = ui_->Panel1;
  panel->move(halfRounded(cw) - halfRounded(panel->width()) - 5,
              static_cast<int>(roundHalfEven((ch - panel->height()) * 0.5)));
  QWidget* logo = ui_->Image1;
  logo->move(halfRounded(cw) - halfRounded(logo->width()),
             static_cast<int>(roundHalfEven((ch + sb - logo->height()) * 0.5)));
  QWidget* kalib = ui_->PanelKalib;
  kalib->move(halfRounded(cw) - halfRounded(kalib->width()) - 5,
              static_cast<int>(roundHalfEven((ch + sb - kalib->height()) * 0.5)));
  laying_ = false;
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui_->ClientArea && event->type() == QEvent::Resize) {
    alignBars();
    guarded([this] { SpeedButton9Click(); });
  } else if (watched == ui_->StatusBar1 && event->type() == QEvent::MouseButtonDblClick) {
    guarded([this] { StatusBar1DblClick(); });
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shownOnce_) return;
  shownOnce_ = true;
  placeOnScreen();
}

bool TForm1::event(QEvent* event) {
  // The frame's status bar is one of its own, not QMainWindow's: the tips of the commands under
  // the pointer are shown in its second field.
  if (event->type() == QEvent::StatusTip) {
    statusTip_ = static_cast<QStatusTipEvent*>(event)->tip();
    showHint();
    return true;
  }
  const bool handled = QMainWindow::event(event);
  // The window manager tells the frame after the window is mapped; until a frame has been
  // seen, every change of it places the window again.
  if (shownOnce_ && !frameSettled_ &&
      (event->type() == QEvent::Move || event->type() == QEvent::Resize) && windowHandle() &&
      windowHandle()->frameMargins() != framePlaced_) {
    guarded([this] { placeOnScreen(); });
  }
  return handled;
}

void TForm1::placeOnScreen() {
  framePlaced_ = windowHandle() ? windowHandle()->frameMargins() : QMargins();
  frameSettled_ = !framePlaced_.isNull();
  if (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)) return;
  SpeedButton9Click();
  centreOnScreen(this);
}

void TForm1::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange) guarded([this] { SpeedButton9Click(); });
}

// ---------------------------------------------------------------------------------------------
// Main window state seen by the link

void TForm1::setStatusText(const QString& text) {
  statusMaker_ = nullptr;
  statusPanel_->setText(text);
}

void TForm1::setStatusTextFrom(std::function<QString()> make) {
  statusMaker_ = std::move(make);
  statusPanel_->setText(statusMaker_ ? statusMaker_() : QString());
}
QString TForm1::statusText() const {
  return statusPanel_->text();
}

void TForm1::setStatusHint(StatusHint hint, std::function<QString()> text) {
  if (text) {
    hints_[hint] = std::move(text);
  } else {
    hints_.erase(hint);
  }
  showHint();
}

QString TForm1::statusHint() const {
  return hints_.empty() ? QString() : hints_.begin()->second();
}

void TForm1::showHint() {
  hintPanel_->setText(statusTip_.isEmpty() ? statusHint() : statusTip_);
  // A narrow window cuts the line off; the pointer on it shows it whole.
  hintPanel_->setToolTip(hintPanel_->text());
}

void TForm1::setCommandsEnabled(MainCommands commands, bool enabled) {
  if (commands & kButtonF5) ui_->SpeedButton3->setEnabled(enabled);
  if (commands & kButtonF6) ui_->SpeedButton4->setEnabled(enabled);
  if (commands & kButtonF7) ui_->Wykresy->setEnabled(enabled);
  if (commands & kButtonF8) ui_->SpeedButton14->setEnabled(enabled);
  if (commands & kItemSettings) ui_->Zmianaparametrwpracy1->setEnabled(enabled);
  if (commands & kItemAutocal) ui_->Autokalibracja1->setEnabled(enabled);
  if (commands & kItemScope) ui_->Tryboscyloskopu1->setEnabled(enabled);
  if (commands & kItemScaling) ui_->SkalowanieobrotwPB1->setEnabled(enabled);
  Q_EMIT commandsChanged();
}

bool TForm1::calibrationPanelVisible() const {
  return !ui_->PanelKalib->isHidden();
}
bool TForm1::oscilloscopePanelVisible() const {
  return !ui_->Panel1->isHidden();
}

// ---------------------------------------------------------------------------------------------
// Menu commands

void TForm1::choosePort(const QString& name) {
  SerialTransport& port = *env_.link;
  const QString previous = port.portName();
  const bool wasConnected = port.isConnected();
  const auto check = [this](const QString& chosen) {
    ui_->COM11->setChecked(chosen == QLatin1String("COM1"));
    ui_->COM21->setChecked(chosen != QLatin1String("COM1"));
  };
  link_->setChosenPort(QString());
  try {
    port.setPortName(name);
    // Choosing a port also brings back a link that was lost or never opened, the same port
    // chosen again included.
    port.open();
  } catch (const AppError&) {
    if (wasConnected) {
      // The marks keep showing the port that worked, and the name follows them, so that the
      // next command reopens that port rather than the one that failed.
      port.setPortName(previous);
    } else {
      check(name);
    }
    throw;
  }
  check(name);
}

void TForm1::COM11Click() {
  choosePort(QStringLiteral("COM1"));
}
void TForm1::COM21Click() {
  choosePort(QStringLiteral("COM2"));
}

void TForm1::Urzadzenieportu1Click() {
  if (!portDialog_) {
    portDialog_ = new PortDeviceDialog(env_.serialDevices, this);
    portDialog_->setObjectName(QStringLiteral("PortDeviceDialog"));
    onEvent(portDialog_, &QDialog::accepted, this, [this] {
      assignPortDevice(*env_.link, portDialog_->portName(), portDialog_->devicePath(),
                       &Registry::setDevicePathForPort);
    });
  }
  portDialog_->prepare(env_.link->portName(),
                       [this](const QString& port) { return env_.link->deviceFor(port); });
  // Window-modal without a nested event loop: the live loop and the tests go on meanwhile.
  portDialog_->open();
}

void TForm1::Opis1Click() {
  const Language language = CurrentLanguage::get();
  const QString found =
      findHelpPage(language, helpFolders(installDir_, QCoreApplication::applicationDirPath()));
  if (found.isEmpty()) {
    const QString expected = QDir::toNativeSeparators(
        QFileInfo(installationFile(installDir_, helpPageName(Language::Polish)))
            .absoluteFilePath());
    showMessage(tr3("Nie znaleziono pliku pomocy:\r\n%1", "Help file not found:\r\n%1",
                    "File di aiuto non trovato:\r\n%1")
                    .arg(expected),
                warningTitle(), MessageIcon::Warning);
    return;
  }
  QUrl url = QUrl::fromLocalFile(found);
  url.setFragment(kHelpTopic);
  // Without a browser the page is shown here rather than nothing happening.
  const auto showHere = [this, found](bool opened) {
    if (opened) return;
    if (!help_) help_ = new HelpWindow(this);
    help_->showPage(found, kHelpTopic);
  };
  if (env_.openUrl) {
    showHere(env_.openUrl(url));
  } else {
    openInBrowser(url, this, showHere);
  }
}

void TForm1::Oprogramie1Click() {
  if (!aboutBox_) return;
  setEnabled(false);
  aboutBox_->show();
  aboutBox_->raise();
  aboutBox_->activateWindow();
}

void TForm1::selectLanguage(Language language) {
  ui_->Polski1->setChecked(language == Language::Polish);
  ui_->Angielski1->setChecked(language == Language::English);
  ui_->Woski1->setChecked(language == Language::Italian);
  CurrentLanguage::set(language);
  qtTexts_->apply(language);
  for (const CaptionTable& table : captionTables_)
    table(language);
  if (statusMaker_) statusPanel_->setText(statusMaker_());
  showHint();
  ui_->Image1->setPixmap(logoPicture(ui_->Image1->size()));
  if (portDialog_) portDialog_->retranslate();
  // A help window left open turns to the page of the new language.
  if (help_ && help_->isVisible()) {
    const QString found =
        findHelpPage(language, helpFolders(installDir_, QCoreApplication::applicationDirPath()));
    if (!found.isEmpty()) help_->replacePage(found);
  }
}

void TForm1::Polski1Click() {
  selectLanguage(Language::Polish);
}
void TForm1::Angielski1Click() {
  selectLanguage(Language::English);
}
void TForm1::Woski1Click() {
  selectLanguage(Language::Italian);
}

void TForm1::Timer7Timer() {
  Timer7->stop();
  const bool italian =
      ConfigFile::value(ConfigEdit, ConfigFile::kLanguageLine) == QLatin1String("2");
  selectLanguage(italian ? Language::Italian : Language::English);
}

void TForm1::StatusBar1DblClick() {
  QWidget* button = ui_->Button2;
  button->move(button->x(), ui_->StatusBar1->y() + 5);
  button->raise();
  if (isMaximized()) button->setVisible(button->isHidden());
}

void TForm1::Zmianaparametrwpracy1Click() {
  link_->startSettingsExchange();
}

}  // namespace orvel
