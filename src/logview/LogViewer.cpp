#include "logview/LogViewer.h"

#include "core/ButtonRoom.h"
#include "core/Dialogs.h"
#include "core/FileDialogs.h"
#include "core/Handlers.h"
#include "core/Language.h"
#include "logview/LogChart.h"
#include "monitor/DriveLog.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPainter>
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
  replayButton_->setText(tr3("Odtwórz stąd", "Replay from here", "Riproduci da qui"));
  saveButton_->setText(tr3("Zapisz obraz...", "Save image...", "Salva immagine..."));
  for (QPushButton* b : {replayButton_, saveButton_})
    giveRoom(b);
  help_->setText(tr3(
      "Kółko: powiększenie, przeciąganie: przesuwanie, dwuklik lub Home: cały zapis, kliknięcie: "
      "ustawienie kursora, Shift + przeciąganie: zaznaczenie odcinka, Esc: zwolnienie kursora.",
      "Wheel: zoom, drag: pan, double click or Home: whole log, click: fix the cursor, Shift + "
      "drag: select a stretch, Esc: free the cursor.",
      "Rotella: zoom, trascinare: spostare, doppio clic o Home: tutta la registrazione, clic: "
      "fissa il cursore, Maiusc + trascinare: seleziona un tratto, Esc: libera il cursore."));
  const QString name = log_ ? QFileInfo(log_->path).fileName() : QString();
  setWindowTitle(tr3("Przeglądanie zapisu", "Log view", "Visualizza registrazione") +
                 (name.isEmpty() ? QString() : QStringLiteral(" – ") + name));
  chart_->retranslate();
  showDiagnosis();
  if (log_) showStatus(fileStatus());
}

QString LogViewer::fileStatus() const {
  return tr3("%1: %2 klatek, %3; pominięte wiersze: %4%5", "%1: %2 frames, %3; rows skipped: %4%5",
             "%1: %2 fotogrammi, %3; righe scartate: %4%5")
      .arg(QDir::toNativeSeparators(log_->path), QString::number(log_->rows.size()),
           clockTextMs(log_->lastMs() - log_->firstMs()), QString::number(log_->skipped),
           DriveLog::badReferenceNote(log_->badReference));
}

void LogViewer::openWithDialog(const QString& folder) {
  const QString path = FileDialogs::current().openFileName(
      isVisible() ? this : parentWidget(), folder,
      tr3("Zapisy jazdy (*.csv);;Wszystkie pliki (*)", "Drive logs (*.csv);;All files (*)",
          "Registrazioni (*.csv);;Tutti i file (*)"),
      tr3("Przeglądaj zapis", "View log", "Visualizza registrazione"));
  if (path.isEmpty()) return;
  openFile(path);
}

bool LogViewer::openFile(const QString& path) {
  LogLoad load = loadDriveLog(path);
  if (!load.data) {
    showMessage(load.refusal, warningTitle(), MessageIcon::Warning);
    return false;
  }
  chart_->setLog(nullptr);
  log_ = std::move(load.data);
  whole_ = log_->diagnosis(0, log_->rows.size());
  chart_->setLog(&*log_);
  retranslate();
  updateCommands();
  show();
  raise();
  activateWindow();
  chart_->setFocus();
  return true;
}

QStringList LogViewer::figures(bool withHint) const {
  QStringList text;
  text << tr3("Cały zapis", "Whole log", "Tutta la registrazione") +
              QStringLiteral(" (%1)").arg(clockTextMs(log_->lastMs() - log_->firstMs()));
  for (const QString& line : diagnosisLines(whole_, false))
    text << QStringLiteral("  ") + line;
  if (const auto s = chart_->selection()) {
    const std::size_t first = log_->rowAt(s->first);
    std::size_t last = log_->rowAt(s->second) + 1;
    text << QString()
         << tr3("Zaznaczony odcinek", "Selected stretch", "Tratto selezionato") +
                QStringLiteral(" (%1)").arg(stretchText(s->first, s->second));
    for (const QString& line : diagnosisLines(log_->diagnosis(first, last), false))
      text << QStringLiteral("  ") + line;
  } else if (withHint) {
    text << QString()
         << tr3("Odcinek: Shift + przeciąganie", "A stretch: Shift + drag",
                "Un tratto: Maiusc + trascinare");
  }
  return text;
}

void LogViewer::showDiagnosis() {
  if (!log_) {
    diagnosis_->clear();
    return;
  }
  diagnosis_->setText(figures(true).join(QLatin1Char('\n')));
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
    showStatus(tr3("Panel oscyloskopu jest zajęty", "The scope panel is in use",
                   "Il pannello oscilloscopio è occupato"));
  }
  updateCommands();
}

QImage LogViewer::picture() const {
  // What the window shows, for a report or a message: which log, when it was recorded, the
  // stretch on the chart and the figures beside it, as text in the picture itself.
  QStringList heading;
  heading << QFileInfo(log_->path).fileName();
  const QString format = QStringLiteral("yyyy-MM-dd HH:mm:ss");
  if (log_->recorded.isValid()) {
    heading << tr3("Nagrano: %1", "Recorded: %1", "Registrato: %1")
                   .arg(log_->recorded.toString(format));
  } else if (log_->written.isValid()) {
    heading << tr3("Plik zapisany: %1", "File written: %1", "File scritto: %1")
                   .arg(log_->written.toString(format));
  }
  heading << tr3("Na wykresie: %1", "On the chart: %1", "Nel grafico: %1")
                 .arg(stretchText(chart_->timeWindow().from(), chart_->timeWindow().to()));
  const QStringList figures = this->figures(false);

  const QImage chart = chart_->grab().toImage();
  const QFontMetrics fm(font());
  const int margin = 8;
  const int line = fm.lineSpacing();
  const int headingHeight = margin + line * int(heading.size()) + margin;
  int figuresWidth = 0;
  for (const QString& l : figures)
    figuresWidth = std::max(figuresWidth, fm.horizontalAdvance(l));
  const QSize size(chart.width() + margin + figuresWidth + margin,
                   headingHeight + std::max(chart.height(), line * int(figures.size()) + margin));
  QImage out(size * chart.devicePixelRatio(), QImage::Format_RGB32);
  out.setDevicePixelRatio(chart.devicePixelRatio());
  out.fill(palette().color(QPalette::Base));
  QPainter p(&out);
  p.setFont(font());
  p.setPen(palette().color(QPalette::Text));
  for (int i = 0; i < heading.size(); ++i) {
    p.drawText(QRect(margin, margin + line * i, size.width() - 2 * margin, line),
               Qt::AlignLeft | Qt::AlignVCenter, heading[i]);
  }
  p.drawImage(QPoint(0, headingHeight), chart);
  for (int i = 0; i < figures.size(); ++i) {
    p.drawText(QRect(chart.width() + margin, headingHeight + line * i, figuresWidth, line),
               Qt::AlignLeft | Qt::AlignVCenter, figures[i]);
  }
  p.end();
  // The same as text for whoever files the picture away.
  out.setText(QStringLiteral("Title"), heading.first());
  const QDateTime when = log_->recorded.isValid() ? log_->recorded : log_->written;
  if (when.isValid()) out.setText(QStringLiteral("Creation Time"), when.toString(Qt::ISODate));
  out.setText(QStringLiteral("Description"), (heading.mid(1) + figures).join(QLatin1Char('\n')));
  return out;
}

void LogViewer::saveImage() {
  if (!log_) return;
  const QFileInfo source(log_->path);
  QString path = FileDialogs::current().saveFileName(
      this, source.absolutePath(),
      tr3("Obraz PNG (*.png)", "PNG image (*.png)", "Immagine PNG (*.png)"), QStringLiteral("png"));
  if (path.isEmpty()) return;
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".png");
  if (picture().save(path, "PNG")) {
    showStatus(tr3("Zapisano obraz %1", "Image saved: %1", "Immagine salvata %1")
                   .arg(QDir::toNativeSeparators(path)));
  } else {
    showMessage(tr3("Nie można zapisać obrazu %1", "Cannot save the image %1",
                    "Impossibile salvare l'immagine %1")
                    .arg(QDir::toNativeSeparators(path)),
                warningTitle(), MessageIcon::Warning);
  }
}

}  // namespace orvel
