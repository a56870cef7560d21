#include "archive/ArchiveWindow.h"

#include "archive/OrvImport.h"
#include "archive/WriteReportText.h"
#include "core/ButtonRoom.h"
#include "core/Dialogs.h"
#include "core/FileDialogs.h"
#include "core/Handlers.h"
#include "core/Language.h"
#include "core/TextFile.h"
#include "records/TextPrinting.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace orvel {

namespace {

constexpr int kReportPointSize = 12;
const QColor kDifferent(255, 214, 214);
const QColor kBytesOnly(255, 244, 200);

}  // namespace

QStringList writeBackConfirmCaptions() {
  return {tr3("Wyślij zmiany", "Send changes", "Invia modifiche"),
          tr3("Zapisz w EEPROM", "Write to EEPROM", "Scrivi nella EEPROM")};
}

namespace {

QPushButton* button(const char* name, const char* caption, QWidget* parent) {
  auto* b = new QPushButton(QString::fromUtf8(caption), parent);
  b->setObjectName(QLatin1String(name));
  return b;
}

QTableWidgetItem* cell(const QString& text, bool marked) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  item->setToolTip(text);
  if (marked) {
    item->setBackground(kDifferent);
    QFont bold = item->font();
    bold.setBold(true);
    item->setFont(bold);
  }
  return item;
}

// Shown alike, stored apart: marked lightly, never as a difference.
QTableWidgetItem* noteCell(const QString& text) {
  QTableWidgetItem* item = cell(text, false);
  if (!text.isEmpty()) item->setBackground(kBytesOnly);
  return item;
}

}  // namespace

ArchiveWindow::ArchiveWindow(Context context) : ctx_(std::move(context)) {
  setObjectName(QStringLiteral("TArchiwum"));
  setWindowTitle(QStringLiteral("Archiwum"));
  resize(900, 600);

  auto* searchLabel = new QLabel(QStringLiteral("Szukaj:"), this);
  searchLabel->setObjectName(QStringLiteral("LabelSzukaj"));
  filter_ = new QLineEdit(this);
  filter_->setObjectName(QStringLiteral("EditSzukaj"));
  filter_->setClearButtonEnabled(true);
  importButton_ = button("BtnImport", "Importuj .orv...", this);

  list_ = new QTableView(this);
  list_->setObjectName(QStringLiteral("ListaOdczytow"));
  list_->setModel(&model_);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  list_->verticalHeader()->hide();
  list_->horizontalHeader()->setStretchLastSection(true);
  list_->setWordWrap(false);
  list_->setColumnWidth(
      ArchiveListModel::TakenAt,
      list_->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 00:00:00")) + 16);
  list_->setColumnWidth(ArchiveListModel::CarLine1, 180);
  list_->setColumnWidth(ArchiveListModel::CarLine2, 220);

  auto* noteLabel = new QLabel(QStringLiteral("Notatka:"), this);
  noteLabel->setObjectName(QStringLiteral("LabelNotatka"));
  note_ = new QLineEdit(this);
  note_->setObjectName(QStringLiteral("EditNotatka"));
  note_->setEnabled(false);

  pages_ = new QStackedWidget(this);
  listing_ = new QPlainTextEdit(pages_);
  listing_->setObjectName(QStringLiteral("Listing"));
  listing_->setReadOnly(true);
  listing_->setLineWrapMode(QPlainTextEdit::NoWrap);
  table_ = new QTableWidget(pages_);
  table_->setObjectName(QStringLiteral("Porownanie"));
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setSelectionMode(QAbstractItemView::NoSelection);
  pages_->addWidget(listing_);
  pages_->addWidget(table_);

  result_ = new QLabel(this);
  result_->setObjectName(QStringLiteral("LabelWynik"));
  result_->setWordWrap(true);
  result_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  server_ = new QLabel(this);
  server_->setObjectName(QStringLiteral("LabelSerwer"));
  server_->setWordWrap(true);
  server_->hide();

  saveButton_ = button("BtnZapiszPlik", "Zapisz do pliku", this);
  printButton_ = button("BtnDrukuj", "Drukuj", this);
  compareButton_ = button("BtnPorownaj", "Porównaj ze sterownikiem", this);
  writeButton_ = button("BtnZapiszSterownik", "Zapisz do sterownika", this);
  confirmButton_ = button("BtnPotwierdz", "Wyślij zmiany", this);
  cancelButton_ = button("BtnAnuluj", "Anuluj", this);
  confirmButton_->hide();
  cancelButton_->hide();

  auto* top = new QHBoxLayout;
  top->addWidget(searchLabel);
  top->addWidget(filter_, 1);
  top->addWidget(importButton_);
  auto* noteRow = new QHBoxLayout;
  noteRow->addWidget(noteLabel);
  noteRow->addWidget(note_, 1);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* b :
       {saveButton_, printButton_, compareButton_, writeButton_, confirmButton_, cancelButton_})
    buttons->addWidget(b);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(list_, 2);
  layout->addLayout(noteRow);
  layout->addWidget(pages_, 3);
  layout->addWidget(result_);
  layout->addLayout(buttons);
  layout->addWidget(server_);

  connect(filter_, &QLineEdit::textChanged, this, [this](const QString& text) {
    model_.setFilter(text);
    selectionChanged();
  });
  onEvent(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    // What the last exchange said belongs to the read-out it was about.
    if (!ctx_.exchange->busy()) setResult(QString());
    selectionChanged();
  });
  onEvent(note_, &QLineEdit::editingFinished, this, [this] { storeNote(); });
  onEvent(saveButton_, &QPushButton::clicked, this, [this] { saveToFile(); });
  onEvent(printButton_, &QPushButton::clicked, this, [this] { print(); });
  onEvent(importButton_, &QPushButton::clicked, this, [this] { importFile(); });
  onEvent(compareButton_, &QPushButton::clicked, this, [this] { startExchange(false); });
  onEvent(writeButton_, &QPushButton::clicked, this, [this] { startExchange(true); });
  onEvent(confirmButton_, &QPushButton::clicked, this, [this] {
    confirmButton_->hide();
    cancelButton_->hide();
    ctx_.exchange->confirmWriteBack();
  });
  onEvent(cancelButton_, &QPushButton::clicked, this, [this] {
    ctx_.exchange->cancelWriteBack();
    confirmButton_->hide();
    cancelButton_->hide();
    setBusy(false);
    setResult([] {
      return tr3("Nic nie zostało wysłane.", "Nothing was sent.", "Niente è stato inviato.");
    });
  });

  ArchiveExchange* exchange = ctx_.exchange;
  exchange->compared = [this](const Readout& controller, const Readout& record) {
    // The read-out it kept is in the list already: keeping it refreshed the list.
    setBusy(false);
    showComparison(record, controller);
  };
  exchange->planReady = [this](const WritePlan& plan) { showPlan(plan); };
  exchange->writeFinished = [this](const WriteReport& report) {
    setBusy(false);
    showWriteReport(report);
    // Cut off, or finished behind a closed window: the fitter is told in a box as well.
    if (writeSummaryNeedsBox(report) || !isVisible())
      showMessage(writeSummaryText(report, ctx_.caption), warningTitle(), MessageIcon::Warning);
  };
  exchange->failed = [this](const QString& text) {
    setBusy(false);
    confirmButton_->hide();
    cancelButton_->hide();
    setResult([text] {
      return text + QLatin1Char(' ') +
             tr3("Nic nie zostało zapisane w sterowniku.", "Nothing was written to the controller.",
                 "Niente è stato scritto nella centralina.");
    });
  };
  retranslate();
  selectionChanged();
}

void ArchiveWindow::startExchange(bool write) {
  if (controllerTaken()) return;
  if (ctx_.consoleOpen && ctx_.consoleOpen()) {
    showMessage(tr3("Konsola serwisowa jest otwarta: zamknij ją najpierw, bo to ona odbiera "
                    "teraz wszystko, co wysyła sterownik.",
                    "The service console is open: close it first, since it takes everything the "
                    "controller sends now.",
                    "La console di servizio è aperta: chiuderla prima, perché ora riceve tutto "
                    "ciò che la centralina invia."),
                warningTitle());
    return;
  }
  const auto record = selectedReadout();
  if (!record) return;
  const auto car = carForNewRows(*record);
  if (!car) {
    setResult([] {
      return tr3("Nic nie zostało wysłane.", "Nothing was sent.", "Niente è stato inviato.");
    });
    return;
  }
  // Whatever the page showed before belongs to an earlier exchange.
  showListing(*record);
  setResult(QString());
  setBusy(true);
  // A port that will not open ends the handler with its box; the window is not left waiting.
  const auto settle = qScopeGuard([this] { setBusy(ctx_.exchange->busy()); });
  if (write) {
    ctx_.exchange->startWriteBack(*record, *car);
  } else {
    ctx_.exchange->compareWithController(*record, *car);
  }
}

std::optional<CarLines> ArchiveWindow::carForNewRows(const Readout& record) {
  const CarLines now = ctx_.currentCar ? ctx_.currentCar() : record.car;
  if (now == record.car) return now;
  const Answer answer = askQuestion(
      tr3("Wybrany odczyt jest z samochodu:\r\n    %1\r\na w oknie F2 (dane samochodu) jest "
          "teraz:\r\n    %2\r\n\r\nDo którego samochodu należy sterownik podłączony teraz? "
          "Przy nim program zapisze nowe odczyty. Okres obrotów biegu jałowego z odczytu wraca do "
          "sterownika tylko wtedy, gdy to samochód z odczytu.\r\nNic nie zostało jeszcze "
          "wysłane.",
          "The chosen read-out is of the car:\r\n    %1\r\nwhile the F2 window (car data) now "
          "names:\r\n    %2\r\n\r\nWhich car is the controller connected now fitted to? The "
          "program stores the new read-outs under it. The read-out's idle period reference goes "
          "back into the controller only when it is the read-out's car.\r\nNothing has been "
          "sent yet.",
          "La lettura scelta è del veicolo:\r\n    %1\r\nmentre la finestra F2 (dati veicolo) "
          "indica ora:\r\n    %2\r\n\r\nSu quale veicolo è montata la centralina collegata "
          "ora? Il programma salva le nuove letture con quel veicolo. Il periodo del minimo "
          "della lettura torna nella centralina solo se è il veicolo della lettura.\r\nNiente "
          "è stato ancora inviato.")
          .arg(carLinesText(record.car), carLinesText(now)),
      warningTitle(),
      {tr3("Samochód z odczytu", "The read-out's car", "Veicolo della lettura"),
       tr3("Samochód z okna F2", "The F2 window's car", "Veicolo della finestra F2"),
       tr3("Anuluj", "Cancel", "Annulla")});
  switch (answer) {
    case Answer::First:
      return record.car;
    case Answer::Second:
      return now;
    case Answer::Cancel:
      break;
  }
  return std::nullopt;
}

void ArchiveWindow::retranslate() {
  // The car columns are captioned as the F2 window's two car lines.
  model_.setHeaders(
      {tr3("Data i godzina", "Date and time", "Data e ora"), tr3("Samochód", "Car", "Auto"),
       tr3("Nr rejestracyjny", "Registration number", "Targa"), tr3("Źródło", "Source", "Origine"),
       tr3("Stanowisko", "Workstation", "Postazione"), tr3("Notatka", "Note", "Nota")});
  list_->viewport()->update();
  if (page_) page_();
  if (resultText_) result_->setText(resultText_());
  for (QPushButton* b : {importButton_, saveButton_, printButton_, compareButton_, writeButton_,
                         confirmButton_, cancelButton_})
    giveRoom(b);
}

void ArchiveWindow::showPage(std::function<void()> draw) {
  page_ = std::move(draw);
  if (page_) page_();
}

void ArchiveWindow::showServerStatus(const QString& text, bool trouble) {
  server_->setText(text);
  server_->setStyleSheet(trouble ? QStringLiteral("color: #a00000") : QString());
  server_->setVisible(!text.isEmpty());
}

void ArchiveWindow::archiveChanged() {
  // Rows from another PC come in as this PC's own read-outs do; a note being typed is left to
  // finish first, and the list catches up with the next change.
  if (!note_->hasFocus()) rowAdded();
}

void ArchiveWindow::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (!ctx_.exchange->busy()) return;
  guarded([this] {
    confirmButton_->hide();
    cancelButton_->hide();
    ctx_.exchange->windowClosed();
    setBusy(false);
  });
}

void ArchiveWindow::open() {
  if (!ctx_.exchange->busy()) setResult(QString());
  reload(selectedIds());
  // Never taller or wider than the screen's free area, and all of it on that area.
  const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  if (screen) {
    const QRect area = screen->availableGeometry();
    const QMargins frame(8, 32, 8, 8);  // a window manager's frame, before it is known
    const QSize room = area.size().shrunkBy(frame);
    resize(size().boundedTo(room).expandedTo(minimumSizeHint().boundedTo(room)));
    QRect placed(pos(), size());
    placed.moveLeft(std::clamp(
        placed.left(), area.left() + frame.left(),
        std::max(area.left() + frame.left(), area.right() - frame.right() - placed.width())));
    placed.moveTop(std::clamp(
        placed.top(), area.top() + frame.top(),
        std::max(area.top() + frame.top(), area.bottom() - frame.bottom() - placed.height())));
    move(placed.topLeft());
  }
  show();
  raise();
  activateWindow();
}

void ArchiveWindow::rowAdded() {
  if (isVisible()) refreshList();
}

void ArchiveWindow::reload(const QList<qint64>& select) {
  ArchiveStore& store = ctx_.recorder->store();
  model_.load(store);
  ctx_.recorder->tellProblems();
  if (!store.isOpen()) storeProblem();
  selectIds(select);
}

void ArchiveWindow::refreshList() {
  const QList<qint64> ids = selectedIds();
  QScrollBar* scroll = list_->verticalScrollBar();
  const int position = scroll->value();
  {
    // What the window shows (a listing, a plan, a report) is not the list's to change.
    const QSignalBlocker quiet(list_->selectionModel());
    model_.load(ctx_.recorder->store());
    QItemSelection selection;
    for (int row = 0; row < model_.rowCount(); ++row) {
      if (ids.contains(model_.idAt(row)))
        selection.select(model_.index(row, 0),
                         model_.index(row, ArchiveListModel::ColumnCount - 1));
    }
    list_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  }
  scroll->setValue(position);
  list_->viewport()->update();
  updateButtons();
}

QList<qint64> ArchiveWindow::selectedIds() const {
  QList<qint64> ids;
  for (const QModelIndex& index : list_->selectionModel()->selectedRows())
    ids << model_.idAt(index.row());
  std::sort(ids.begin(), ids.end());
  return ids;
}

void ArchiveWindow::selectIds(const QList<qint64>& ids) {
  QItemSelection selection;
  for (int row = 0; row < model_.rowCount(); ++row) {
    if (ids.contains(model_.idAt(row)))
      selection.select(model_.index(row, 0), model_.index(row, ArchiveListModel::ColumnCount - 1));
  }
  list_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  selectionChanged();
}

std::optional<Readout> ArchiveWindow::selectedReadout() {
  const QList<qint64> ids = selectedIds();
  if (ids.size() != 1) return std::nullopt;
  const auto readout = ctx_.recorder->store().readout(ids.first());
  if (!readout) storeProblem();
  return readout;
}

void ArchiveWindow::updateButtons() {
  const bool one = selectedIds().size() == 1;
  const bool idle = !busy_ && !ctx_.exchange->busy();
  for (QPushButton* b : {saveButton_, printButton_, compareButton_, writeButton_})
    b->setEnabled(one && idle);
  importButton_->setEnabled(idle);
  list_->setEnabled(idle);
  note_->setEnabled(one);
}

void ArchiveWindow::selectionChanged() {
  const QList<qint64> ids = selectedIds();
  const bool one = ids.size() == 1;
  updateButtons();
  noteId_ = one ? ids.first() : 0;
  const ReadoutSummary* summary = one ? model_.summaryOf(noteId_) : nullptr;
  note_->setText(summary ? summary->note : QString());
  if (one) {
    if (const auto readout = ctx_.recorder->store().readout(ids.first())) showListing(*readout);
  } else if (ids.size() == 2) {
    // The older read-out on the left.
    const auto left = ctx_.recorder->store().readout(ids.at(0));
    const auto right = ctx_.recorder->store().readout(ids.at(1));
    if (left && right) showComparison(*left, *right);
  } else {
    showPage([this] {
      listing_->clear();
      pages_->setCurrentWidget(listing_);
    });
  }
}

QStringList ArchiveWindow::listingOf(const Readout& readout) const {
  QStringList user = ctx_.userDataLines();
  while (user.size() < 8)
    user << QString();
  // The car the read-out was taken of, whatever car the user data names now.
  user[6] = readout.car.line1;
  user[7] = readout.car.line2;
  return parameterListing(user, snapshotOfBlock(ctx_.editorCaptions(), readout.block));
}

void ArchiveWindow::showListing(const Readout& readout) {
  showPage([this, readout] {
    listing_->setPlainText(listingOf(readout).join(QLatin1Char('\n')));
    pages_->setCurrentWidget(listing_);
  });
}

void ArchiveWindow::showComparison(const Readout& left, const Readout& right) {
  showPage([this, left, right] { drawComparison(left, right); });
  const std::vector<ComparisonRow> rows = compareReadouts(left, right, ctx_.caption);
  const auto differing =
      std::count_if(rows.begin(), rows.end(), [](const ComparisonRow& row) { return row.differs; });
  const auto bytesOnly = std::count_if(
      rows.begin(), rows.end(), [](const ComparisonRow& row) { return !row.byteNote.isEmpty(); });
  setResult([differing, bytesOnly] {
    QString result =
        tr3("Różnych ustawień: %1", "Settings that differ: %1", "Parametri diversi: %1")
            .arg(differing);
    if (bytesOnly > 0) {
      result += QStringLiteral("; ") + tr3("na ekranie takich samych, w bajtach innych: %1",
                                           "shown alike but stored differently: %1",
                                           "uguali a video ma con byte diversi: %1")
                                           .arg(bytesOnly);
    }
    return result;
  });
}

void ArchiveWindow::drawComparison(const Readout& left, const Readout& right) {
  const std::vector<ComparisonRow> rows = compareReadouts(left, right, ctx_.caption);
  table_->clear();
  table_->setColumnCount(4);
  table_->setRowCount(static_cast<int>(rows.size()));
  const auto heading = [](const Readout& r) {
    return localTimeText(r.takenAt.toString(Qt::ISODate)) + QLatin1Char(' ') +
           sourceText(sourceCode(r.source));
  };
  table_->setHorizontalHeaderLabels({tr3("Ustawienie", "Setting", "Parametro"), heading(left),
                                     heading(right), tr3("Uwagi", "Notes", "Note")});
  for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
    const ComparisonRow& row = rows[static_cast<std::size_t>(i)];
    table_->setItem(i, 0, cell(row.caption, row.differs));
    table_->setItem(i, 1, cell(row.left, row.differs));
    table_->setItem(i, 2, cell(row.right, row.differs));
    table_->setItem(i, 3, noteCell(row.byteNote));
  }
  table_->resizeColumnsToContents();
  pages_->setCurrentWidget(table_);
}

void ArchiveWindow::showPlan(const WritePlan& plan) {
  showPage([this, plan] { drawPlan(plan); });
  confirmButton_->show();
  cancelButton_->show();
  setResult([plan, car = ctx_.exchange->carOfNewRows()] {
    const QString check =
        plan.sendsAnything()
            ? tr3("Sprawdź zmiany i potwierdź, aby je wysłać do sterownika.",
                  "Check the changes and confirm to send them to the controller.",
                  "Controllare le modifiche e confermare per inviarle alla centralina.") +
                  QLatin1Char(' ')
            : QString();
    return check + writePlanText(plan, car);
  });
}

void ArchiveWindow::drawPlan(const WritePlan& plan) {
  table_->clear();
  table_->setColumnCount(4);
  table_->setRowCount(static_cast<int>(plan.steps.size()));
  table_->setHorizontalHeaderLabels({tr3("Ustawienie", "Setting", "Parametro"),
                                     tr3("W sterowniku", "In the controller", "Nella centralina"),
                                     tr3("Do zapisania", "To be written", "Da scrivere"),
                                     tr3("Uwagi", "Notes", "Note")});
  for (int i = 0; i < static_cast<int>(plan.steps.size()); ++i) {
    const WriteStep& step = plan.steps[static_cast<std::size_t>(i)];
    const bool sendable = step.command.has_value();
    table_->setItem(i, 0, cell(settingCaption(step.setting, ctx_.caption), sendable));
    table_->setItem(i, 1, cell(step.oldText, sendable));
    table_->setItem(i, 2, cell(step.newText, sendable));
    table_->setItem(i, 3, noteCell(sendable ? QString() : notSentText(step)));
  }
  table_->resizeColumnsToContents();
  table_->horizontalHeader()->setStretchLastSection(true);
  pages_->setCurrentWidget(table_);
  // With nothing to send, the one thing left to do is the EEPROM write, and the button says so.
  confirmButton_->setText(writeBackConfirmCaptions().value(plan.sendsAnything() ? 0 : 1));
  giveRoom(confirmButton_);
}

void ArchiveWindow::showWriteReport(const WriteReport& report) {
  showPage([this, report] { drawWriteReport(report); });
  setResult([this, report] { return writeSummaryText(report, ctx_.caption); });
}

void ArchiveWindow::drawWriteReport(const WriteReport& report) {
  const std::vector<WriteStep>& steps = report.plan.steps;
  const std::vector<ByteDifferenceRow> bytes = byteDifferencesAfterWrite(report);
  table_->clear();
  table_->setColumnCount(5);
  table_->setRowCount(static_cast<int>(steps.size() + bytes.size()));
  table_->setHorizontalHeaderLabels({tr3("Ustawienie", "Setting", "Parametro"),
                                     tr3("W sterowniku", "In the controller", "Nella centralina"),
                                     tr3("Do zapisania", "To be written", "Da scrivere"),
                                     tr3("Odczyt kontrolny", "Read back", "Riletto"),
                                     tr3("Wynik", "Result", "Risultato")});
  const auto readBackText = [&report](Setting setting) {
    return report.readBack ? settingText(setting, *report.readBack) : QStringLiteral("—");
  };
  int row = 0;
  for (std::size_t i = 0; i < steps.size(); ++i, ++row) {
    const WriteStep& step = steps[i];
    const StepOutcome outcome = report.outcomes.at(i);
    const bool ok = outcome == StepOutcome::Confirmed;
    QString result = stepResultText(step, outcome, ctx_.caption);
    for (const ByteDifferenceRow& b : bytes)
      if (b.setting == step.setting) result += QStringLiteral("; ") + b.note;
    table_->setItem(row, 0, cell(settingCaption(step.setting, ctx_.caption), !ok));
    table_->setItem(row, 1, cell(step.oldText, !ok));
    table_->setItem(row, 2, cell(step.newText, !ok));
    table_->setItem(row, 3, cell(readBackText(step.setting), !ok));
    table_->setItem(row, 4, cell(result, !ok));
  }
  // Settings the plan left alone that the controller keeps in other bytes than the record.
  for (const ByteDifferenceRow& b : bytes) {
    if (std::any_of(steps.begin(), steps.end(),
                    [&b](const WriteStep& s) { return s.setting == b.setting; }))
      continue;
    table_->setItem(row, 0, cell(settingCaption(b.setting, ctx_.caption), false));
    table_->setItem(row, 1, cell(settingText(b.setting, report.plan.expected), false));
    table_->setItem(row, 2, cell(settingText(b.setting, report.record.block), false));
    table_->setItem(row, 3, cell(readBackText(b.setting), false));
    table_->setItem(row, 4, noteCell(b.note));
    ++row;
  }
  table_->setRowCount(row);
  table_->resizeColumnsToContents();
  table_->horizontalHeader()->setStretchLastSection(true);
  pages_->setCurrentWidget(table_);
}

void ArchiveWindow::saveToFile() {
  const auto readout = selectedReadout();
  if (!readout) return;
  const QString start = lastDirectory_.isEmpty() ? QDir::homePath() : lastDirectory_;
  QString path = FileDialogs::current().saveFileName(
      this, start, QStringLiteral("Pliki programu Orvel (*.orv)"), QStringLiteral("orv"));
  if (path.isEmpty()) return;
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".orv");
  lastDirectory_ = QFileInfo(path).absolutePath();
  writeTextLines(path, listingOf(*readout));
}

void ArchiveWindow::print() {
  const auto readout = selectedReadout();
  if (!readout) return;
  QPrinter printer(QPrinter::HighResolution);
  FileDialogs& dialogs = FileDialogs::current();
  const QString pdf =
      QDir::home().absoluteFilePath(QStringLiteral("archiwum-%1.pdf").arg(readout->id));
  aimPrinter(printer, dialogs.defaultPrinter(), pdf);
  if (!dialogs.choosePrinter(printer, this)) return;
  printPlainText(printer, windowTitle() + QStringLiteral(" %1").arg(readout->id),
                 reportLines(listingOf(*readout)), printFont(kReportPointSize));
  const QString target = pdfTarget(printer);
  if (!target.isEmpty()) setResult([target] { return pdfWrittenText(target); });
}

void ArchiveWindow::importFile() {
  const QString start = lastDirectory_.isEmpty() ? QDir::homePath() : lastDirectory_;
  const QString path = FileDialogs::current().openFileName(
      this, start, QStringLiteral("Pliki programu Orvel (*.orv)"), QString());
  if (path.isEmpty()) return;
  lastDirectory_ = QFileInfo(path).absolutePath();
  const FileContent content = readRegularFile(path, kMaxSmallFileBytes);
  if (content.failure == FileContent::Failure::TooLarge) {
    showMessage(tr3("Plik %1 jest za duży jak na plik ustawień tego programu (ponad %2 KB); "
                    "nic nie zostało zapisane w archiwum.",
                    "The file %1 is too large to be a settings file of this program (over %2 "
                    "KB); nothing was stored in the archive.",
                    "Il file %1 è troppo grande per essere un file di parametri di questo "
                    "programma (oltre %2 KB); niente è stato salvato nell'archivio.")
                    .arg(QDir::toNativeSeparators(path))
                    .arg(kMaxSmallFileBytes / 1024),
                warningTitle(), MessageIcon::Warning);
    return;
  }
  if (!content.ok()) throw AppError(QStringLiteral("Cannot open file %1").arg(path));
  const QStringList lines = splitLines(decodeCp1250(content.bytes));
  const ImportResult imported = parseSettingsListing(lines);
  if (!imported.settings) {
    showMessage(importRefusalText(imported), warningTitle(), MessageIcon::Warning);
    return;
  }
  const auto id =
      ctx_.recorder->store().add(imported.settings->car, ReadoutSource::Import,
                                 imported.settings->block, QDateTime::currentDateTimeUtc());
  ctx_.recorder->tellProblems();
  if (!id) {
    storeProblem();
    return;
  }
  filter_->clear();
  reload({*id});
}

void ArchiveWindow::storeNote() {
  if (noteId_ == 0) return;
  const ReadoutSummary* summary = model_.summaryOf(noteId_);
  if (summary && summary->note == note_->text()) return;
  if (!ctx_.recorder->store().setNote(noteId_, note_->text())) {
    storeProblem();
    return;
  }
  model_.setNote(noteId_, note_->text());
}

void ArchiveWindow::setBusy(bool busy) {
  busy_ = busy;
  updateButtons();
}

void ArchiveWindow::storeProblem() {
  setResult([this] {
    return tr3("Archiwum: ", "Archive: ", "Archivio: ") +
           ArchiveRecorder::problemText(ctx_.recorder->store());
  });
}

bool ArchiveWindow::controllerTaken() {
  if (!ctx_.controllerFree || ctx_.controllerFree()) return false;
  showMessage(tr3("Sterownik jest zajęty: zakończ najpierw bieżącą pracę z nim.",
                  "The controller is busy: finish the current work with it first.",
                  "La centralina è occupata: terminare prima il lavoro in corso."),
              warningTitle());
  return true;
}

void ArchiveWindow::setResult(std::function<QString()> text) {
  resultText_ = std::move(text);
  result_->setText(resultText_ ? resultText_() : QString());
}

void ArchiveWindow::setResult(const QString& text) {
  setResult(text.isEmpty() ? std::function<QString()>() : [text] { return text; });
}

}  // namespace orvel
