#include "logview/LogViewer.h"

#include "core/Dialogs.h"
#include "core/FileDialogs.h"
#include "core/Handlers.h"
#include "core/Language.h"
#include "logview/LogChart.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

namespace orvel {

namespace {

QString stretchText(double fromMs, double toMs) {
  return QStringLiteral("%1 – %2").arg(clockTextMs(qint64(fromMs)), clockTextMs(qint64(toMs)));
}

}  // namespace

LogViewer::LogViewer(QWidget* parent) : QMainWindow(parent, Qt::Window) {
  setObjectName(QStringLiteral("LogViewer"));
  // An ordinary window: it may be resized and maximised, and it is left open beside the panel.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  resize(1100, 700);

  auto* central = new QWidget(this);
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(6, 6, 6, 0);
  auto* bar = new QHBoxLayout;
  for (Lane lane : kAllLanes) {
    auto* box = new QCheckBox(central);
    box->setChecked(true);
    box->setFocusPolicy(Qt::NoFocus);
    laneBoxes_[static_cast<std::size_t>(lane)] = box;
    bar->addWidget(box);
    onEvent(box, &QCheckBox::toggled, this,
            [this, lane, box] { chart_->setLaneVisible(lane, box->isChecked()); });
  }
  bar->addStretch(1);
  replayButton_ = new QPushButton(central);
  replayButton_->setObjectName(QStringLiteral("OdtworzStad"));
  saveButton_ = new QPushButton(central);
  saveButton_->setObjectName(QStringLiteral("ZapiszObraz"));
  for (QPushButton* b : {replayButton_, saveButton_}) {
    b->setFocusPolicy(Qt::NoFocus);
    bar->addWidget(b);
  }
  column->addLayout(bar);

  auto* body = new QHBoxLayout;
  chart_ = new LogChart(central);
  body->addWidget(chart_, 1);
  auto* side = new QVBoxLayout;
  diagnosis_ = new QLabel(central);
  diagnosis_->setObjectName(QStringLiteral("DiagnozaZapisu"));
  diagnosis_->setTextFormat(Qt::PlainText);
  diagnosis_->setWordWrap(true);
  diagnosis_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  diagnosis_->setFixedWidth(270);
  diagnosis_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  help_ = new QLabel(central);
  help_->setWordWrap(true);
  help_->setFixedWidth(270);
  QPalette grey = help_->palette();
  grey.setColor(QPalette::WindowText, QColor(90, 90, 90));
  help_->setPalette(grey);
  side->addWidget(diagnosis_, 1);
  side->addWidget(help_);
  body->addLayout(side);
  column->addLayout(body, 1);
  setCentralWidget(central);

  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("StatusZapisu"));
  statusBar()->addWidget(status_, 1);

  onEvent(replayButton_, &QPushButton::clicked, this, [this] { replayFromCursor(); });
  onEvent(saveButton_, &QPushButton::clicked, this, [this] { saveImage(); });
  connect(chart_, &LogChart::cursorChanged, this, [this] { updateCommands(); });
  connect(chart_, &LogChart::selectionChanged, this, [this] { showDiagnosis(); });
  retranslate();
  updateCommands();
}

LogViewer::~LogViewer() = default;

void LogViewer::retranslate() {
  for (Lane lane : kAllLanes)
    laneBoxes_[static_cast<std::size_t>(lane)]->setText(laneName(lane));
  replayButton_->setText(byLanguage("Odtwórz stąd", "Replay from here", "Riproduci da qui"));
  saveButton_->setText(byLanguage("Zapisz obraz...", "Save image...", "Salva immagine..."));
  help_->setText(byLanguage(
      "Kółko: powiększenie, przeciąganie: przesuwanie, dwuklik lub Home: cały zapis, kliknięcie: "
      "ustawienie kursora, Shift + przeciąganie: zaznaczenie odcinka, Esc: zwolnienie kursora.",
      "Wheel: zoom, drag: pan, double click or Home: whole log, click: fix the cursor, Shift + "
      "drag: select a stretch, Esc: free the cursor.",
      "Rotella: zoom, trascinare: spostare, doppio clic o Home: tutta la registrazione, clic: "
      "fissa il cursore, Maiusc + trascinare: seleziona un tratto, Esc: libera il cursore."));
  const QString name = log_ ? QFileInfo(log_->path).fileName() : QString();
  setWindowTitle(byLanguage("Przeglądanie zapisu", "Log view", "Visualizza registrazione") +
                 (name.isEmpty() ? QString() : QStringLiteral(" – ") + name));
  chart_->retranslate();
  showDiagnosis();
}

void LogViewer::openWithDialog(const QString& folder) {
  const QString path = FileDialogs::current().openFileName(
      isVisible() ? this : parentWidget(), folder,
      plIt(QStringLiteral("Zapisy jazdy (*.csv);;Wszystkie pliki (*)"),
           QStringLiteral("Registrazioni (*.csv);;Tutti i file (*)")),
      plIt(QStringLiteral("Przeglądaj zapis"), QStringLiteral("Visualizza registrazione")));
  if (path.isEmpty()) return;
  openFile(path);
}

bool LogViewer::openFile(const QString& path) {
  LogLoad load = loadDriveLog(path);
  if (!load.data) {
    showMessage(load.refusal, attentionTitle(), MessageIcon::Warning);
    return false;
  }
  chart_->setLog(nullptr);
  log_ = std::move(load.data);
  whole_ = log_->diagnosis(0, log_->rows.size());
  const qint64 span = log_->lastMs() - log_->firstMs();
  fileStatus_ = plIt(QStringLiteral("%1: %2 klatek, %3; pominięte wiersze: %4"),
                     QStringLiteral("%1: %2 fotogrammi, %3; righe scartate: %4"))
                    .arg(QDir::toNativeSeparators(path))
                    .arg(log_->rows.size())
                    .arg(clockTextMs(span))
                    .arg(log_->skipped);
  chart_->setLog(&*log_);
  retranslate();
  showStatus(fileStatus_);
  updateCommands();
  show();
  raise();
  activateWindow();
  chart_->setFocus();
  return true;
}

void LogViewer::showDiagnosis() {
  if (!log_) {
    diagnosis_->clear();
    return;
  }
  QStringList text;
  text << byLanguage("Cały zapis", "Whole log", "Tutta la registrazione") +
              QStringLiteral(" (%1)").arg(clockTextMs(log_->lastMs() - log_->firstMs()));
  for (const QString& line : diagnosisLines(whole_, false))
    text << QStringLiteral("  ") + line;
  text << QString();
  if (const auto s = chart_->selection()) {
    const std::size_t first = log_->rowAt(s->first);
    std::size_t last = log_->rowAt(s->second) + 1;
    text << byLanguage("Zaznaczony odcinek", "Selected stretch", "Tratto selezionato") +
                QStringLiteral(" (%1)").arg(stretchText(s->first, s->second));
    for (const QString& line : diagnosisLines(log_->diagnosis(first, last), false))
      text << QStringLiteral("  ") + line;
  } else {
    text << byLanguage("Odcinek: Shift + przeciąganie", "A stretch: Shift + drag",
                       "Un tratto: Maiusc + trascinare");
  }
  diagnosis_->setText(text.join(QLatin1Char('\n')));
}

QString LogViewer::diagnosisText() const {
  return diagnosis_->text();
}

QString LogViewer::statusText() const {
  return status_->text();
}

void LogViewer::showStatus(const QString& text) {
  status_->setText(text);
}

void LogViewer::updateCommands() {
  const bool free = canReplay ? canReplay() : false;
  replayButton_->setEnabled(log_ && chart_->isCursorFixed() && free);
  saveButton_->setEnabled(log_.has_value());
}

void LogViewer::replayFromCursor() {
  if (!log_ || !chart_->isCursorFixed() || !replayFrom) return;
  const std::size_t first = log_->rowAt(*chart_->cursorMs());
  std::vector<DriveLogRow> rows(log_->rows.begin() + static_cast<std::ptrdiff_t>(first),
                                log_->rows.end());
  if (!replayFrom(QFileInfo(log_->path).fileName(), std::move(rows))) {
    showStatus(plIt(QStringLiteral("Panel oscyloskopu jest zajęty"),
                    QStringLiteral("Il pannello oscilloscopio è occupato")));
  }
  updateCommands();
}

void LogViewer::saveImage() {
  if (!log_) return;
  const QFileInfo source(log_->path);
  QString path = FileDialogs::current().saveFileName(
      this, source.absolutePath(),
      plIt(QStringLiteral("Obraz PNG (*.png)"), QStringLiteral("Immagine PNG (*.png)")),
      QStringLiteral("png"));
  if (path.isEmpty()) return;
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".png");
  const QPixmap picture = chart_->grab();
  if (picture.save(path, "PNG")) {
    showStatus(plIt(QStringLiteral("Zapisano obraz %1"), QStringLiteral("Immagine salvata %1"))
                   .arg(QDir::toNativeSeparators(path)));
  } else {
    showMessage(plIt(QStringLiteral("Nie można zapisać obrazu %1"),
                     QStringLiteral("Impossibile salvare l'immagine %1"))
                    .arg(QDir::toNativeSeparators(path)),
                attentionTitle(), MessageIcon::Warning);
  }
}

}  // namespace orvel
