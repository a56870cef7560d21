#include "archive/ArchiveWindow.h"

#include "archive/OrvImport.h"
#include "core/Dialogs.h"
#include "core/FileDialogs.h"
#include "core/Handlers.h"
#include "core/Language.h"
#include "core/TextFile.h"
#include "records/TextPrinting.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

namespace orvel {

namespace {

constexpr int kReportPointSize = 12;
const QColor kDifferent(255, 214, 214);

QString pick(const char* pl, const char* en, const char* it) {
  const Language l = CurrentLanguage::get();
  return QString::fromUtf8(l == Language::English ? en : l == Language::Italian ? it : pl);
}

QPushButton* button(const char* name, const char* caption, QWidget* parent) {
  auto* b = new QPushButton(QString::fromUtf8(caption), parent);
  b->setObjectName(QLatin1String(name));
  return b;
}

QTableWidgetItem* cell(const QString& text, bool marked) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  if (marked) {
    item->setBackground(kDifferent);
    QFont bold = item->font();
    bold.setBold(true);
    item->setFont(bold);
  }
  return item;
}

}  // namespace

ArchiveWindow::ArchiveWindow(Context context) : ctx_(std::move(context)) {
  setObjectName(QStringLiteral("TArchiwum"));
  setWindowTitle(QStringLiteral("Archiwum"));
  resize(900, 620);

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
  onEvent(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { selectionChanged(); });
  onEvent(note_, &QLineEdit::editingFinished, this, [this] { storeNote(); });
  onEvent(saveButton_, &QPushButton::clicked, this, [this] { saveToFile(); });
  onEvent(printButton_, &QPushButton::clicked, this, [this] { print(); });
  onEvent(importButton_, &QPushButton::clicked, this, [this] { importFile(); });
  onEvent(compareButton_, &QPushButton::clicked, this, [this] {
    if (controllerTaken()) return;
    if (const auto record = selectedReadout()) {
      setResult(QString());
      setBusy(true);
      ctx_.exchange->compareWithController(*record);
      setBusy(ctx_.exchange->busy());
    }
  });
  onEvent(writeButton_, &QPushButton::clicked, this, [this] {
    if (controllerTaken()) return;
    if (const auto record = selectedReadout()) {
      setResult(QString());
      setBusy(true);
      ctx_.exchange->startWriteBack(*record);
      setBusy(ctx_.exchange->busy());
    }
  });
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
    setResult(plIt(QStringLiteral("Nic nie zostało wysłane."),
                   QStringLiteral("Niente è stato inviato.")));
  });

  ArchiveExchange* exchange = ctx_.exchange;
  exchange->compared = [this](const Readout& controller, const Readout& record) {
    setBusy(false);
    reload(selectedIds());
    showComparison(record, controller);
  };
  exchange->planReady = [this](const WritePlan& plan) {
    reload(selectedIds());
    showPlan(plan);
  };
  exchange->writeFinished = [this](const WriteReport& report) {
    setBusy(false);
    reload(selectedIds());
    showWriteReport(report);
  };
  exchange->failed = [this](const QString& text) {
    setBusy(false);
    confirmButton_->hide();
    cancelButton_->hide();
    setResult(text);
    if (ctx_.setStatusText) ctx_.setStatusText(text);
  };
  retranslate();
  selectionChanged();
}

void ArchiveWindow::retranslate() {
  model_.setHeaders(
      {pick("Data i godzina", "Date and time", "Data e ora"), pick("Samochód", "Car", "Veicolo"),
       pick("Samochód (2)", "Car (2)", "Veicolo (2)"), pick("Źródło", "Source", "Origine"),
       pick("Stanowisko", "Workstation", "Postazione"), pick("Notatka", "Note", "Nota")});
}

void ArchiveWindow::showServerStatus(const QString& text, bool trouble) {
  server_->setText(text);
  server_->setStyleSheet(trouble ? QStringLiteral("color: #a00000") : QString());
  server_->setVisible(!text.isEmpty());
}

void ArchiveWindow::archiveChanged() {
  // A note being typed, a comparison or a write-back waiting for confirmation stays as it is;
  // the list catches up with the next change or the next opening.
  if (!isVisible() || note_->hasFocus() || ctx_.exchange->busy() || confirmButton_->isVisible())
    return;
  QScrollBar* scroll = list_->verticalScrollBar();
  const int position = scroll->value();
  reload(selectedIds());
  scroll->setValue(position);
}

void ArchiveWindow::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (confirmButton_->isHidden()) return;
  guarded([this] {
    confirmButton_->hide();
    cancelButton_->hide();
    ctx_.exchange->cancelWriteBack();
    setBusy(false);
  });
}

void ArchiveWindow::open() {
  reload(selectedIds());
  show();
  raise();
  activateWindow();
}

void ArchiveWindow::reload(const QList<qint64>& select) {
  ArchiveStore& store = ctx_.recorder->store();
  model_.load(store);
  ctx_.recorder->tellProblems();
  if (!store.isOpen()) setResult(store.error());
  selectIds(select);
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
  if (!readout) setResult(ctx_.recorder->store().error());
  return readout;
}

void ArchiveWindow::selectionChanged() {
  const QList<qint64> ids = selectedIds();
  const bool one = ids.size() == 1;
  const bool idle = !ctx_.exchange->busy();
  for (QPushButton* b : {saveButton_, printButton_, compareButton_, writeButton_})
    b->setEnabled(one && idle);
  note_->setEnabled(one);
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
    listing_->clear();
    pages_->setCurrentWidget(listing_);
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
  listing_->setPlainText(listingOf(readout).join(QLatin1Char('\n')));
  pages_->setCurrentWidget(listing_);
}

void ArchiveWindow::showComparison(const Readout& left, const Readout& right) {
  const std::vector<ComparisonRow> rows = compareReadouts(left, right, ctx_.caption);
  table_->clear();
  table_->setColumnCount(3);
  table_->setRowCount(static_cast<int>(rows.size()));
  const auto heading = [](const Readout& r) {
    return localTimeText(r.takenAt.toString(Qt::ISODate)) + QLatin1Char(' ') +
           sourceText(sourceCode(r.source));
  };
  table_->setHorizontalHeaderLabels(
      {pick("Ustawienie", "Setting", "Parametro"), heading(left), heading(right)});
  int differing = 0;
  for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
    const ComparisonRow& row = rows[static_cast<std::size_t>(i)];
    differing += row.differs ? 1 : 0;
    table_->setItem(i, 0, cell(row.caption, row.differs));
    table_->setItem(i, 1, cell(row.left, row.differs));
    table_->setItem(i, 2, cell(row.right, row.differs));
  }
  table_->resizeColumnsToContents();
  pages_->setCurrentWidget(table_);
  setResult(plIt(QStringLiteral("Różnych ustawień: %1"), QStringLiteral("Parametri diversi: %1"))
                .arg(differing));
}

void ArchiveWindow::showPlan(const WritePlan& plan) {
  if (plan.empty()) {
    setBusy(false);
    setResult(plIt(QStringLiteral("Sterownik ma już te ustawienia; nic nie zostało wysłane."),
                   QStringLiteral("La centralina ha già questi parametri; niente è stato "
                                  "inviato.")));
    return;
  }
  table_->clear();
  table_->setColumnCount(3);
  table_->setRowCount(static_cast<int>(plan.steps.size()));
  table_->setHorizontalHeaderLabels({pick("Ustawienie", "Setting", "Parametro"),
                                     pick("W sterowniku", "In the controller", "Nella centralina"),
                                     pick("Do zapisania", "To be written", "Da scrivere")});
  for (int i = 0; i < static_cast<int>(plan.steps.size()); ++i) {
    const WriteStep& step = plan.steps[static_cast<std::size_t>(i)];
    const bool sendable = step.command.has_value();
    table_->setItem(i, 0, cell(settingCaption(step.setting, ctx_.caption), sendable));
    table_->setItem(i, 1, cell(step.oldText, sendable));
    table_->setItem(
        i, 2, cell(sendable ? step.newText : step.newText + QStringLiteral(" (—)"), sendable));
  }
  table_->resizeColumnsToContents();
  pages_->setCurrentWidget(table_);
  confirmButton_->show();
  cancelButton_->show();
  setResult(plIt(QStringLiteral("Sprawdź zmiany i potwierdź, aby je wysłać do sterownika."),
                 QStringLiteral("Controllare le modifiche e confermare per inviarle alla "
                                "centralina.")));
}

void ArchiveWindow::showWriteReport(const WriteReport& report) {
  const std::vector<WriteStep>& steps = report.plan.steps;
  table_->setColumnCount(4);
  table_->setRowCount(static_cast<int>(steps.size()));
  table_->setHorizontalHeaderItem(3, new QTableWidgetItem(pick("Wynik", "Result", "Risultato")));
  QStringList sent;
  for (int i = 0; i < static_cast<int>(steps.size()); ++i) {
    const WriteStep& step = steps[static_cast<std::size_t>(i)];
    const bool wasSent =
        std::find(report.sent.begin(), report.sent.end(), step.setting) != report.sent.end();
    if (wasSent) sent << settingCaption(step.setting, ctx_.caption);
    const bool ok = i < static_cast<int>(report.confirmed.size()) &&
                    report.confirmed[static_cast<std::size_t>(i)];
    QString text;
    if (!wasSent)
      text = plIt(QStringLiteral("nie wysłane"), QStringLiteral("non inviato"));
    else if (report.linkBroke)
      text = plIt(QStringLiteral("wysłane, nie sprawdzone"), QStringLiteral("inviato, non "
                                                                            "verificato"));
    else if (ok)
      text =
          plIt(QStringLiteral("zapisane i potwierdzone"), QStringLiteral("scritto e confermato"));
    else
      text = plIt(QStringLiteral("inne po zapisie"), QStringLiteral("diverso dopo la scrittura"));
    table_->setItem(i, 3, cell(text, !ok));
  }
  table_->resizeColumnsToContents();
  pages_->setCurrentWidget(table_);
  if (report.linkBroke) {
    setResult(plIt(QStringLiteral("Zapis przerwany. Wysłano już: %1"),
                   QStringLiteral("Scrittura interrotta. Già inviati: %1"))
                  .arg(sent.isEmpty() ? QStringLiteral("-") : sent.join(QStringLiteral(", "))));
  } else if (report.blockMatches) {
    setResult(plIt(QStringLiteral("Zapisane; odczyt kontrolny zgodny bajt po bajcie."),
                   QStringLiteral("Scritto; la lettura di controllo corrisponde byte per "
                                  "byte.")));
  } else {
    setResult(plIt(QStringLiteral("Odczyt kontrolny różni się od zamierzonego."),
                   QStringLiteral("La lettura di controllo differisce da quanto previsto.")));
  }
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
  if (!target.isEmpty()) setResult(pdfWrittenText(target));
}

void ArchiveWindow::importFile() {
  const QString start = lastDirectory_.isEmpty() ? QDir::homePath() : lastDirectory_;
  const QString path = FileDialogs::current().openFileName(
      this, start, QStringLiteral("Pliki programu Orvel (*.orv)"), QString());
  if (path.isEmpty()) return;
  lastDirectory_ = QFileInfo(path).absolutePath();
  const auto lines = readTextLines(path);
  if (!lines) throw AppError(QStringLiteral("Cannot open file %1").arg(path));
  const ImportResult imported = parseSettingsListing(*lines);
  if (!imported.settings) {
    showMessage(importRefusalText(imported), attentionTitle(), MessageIcon::Warning);
    return;
  }
  const auto id =
      ctx_.recorder->store().add(imported.settings->car, ReadoutSource::Import,
                                 imported.settings->block, QDateTime::currentDateTimeUtc());
  ctx_.recorder->tellProblems();
  if (!id) {
    setResult(ctx_.recorder->store().error());
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
    setResult(ctx_.recorder->store().error());
    return;
  }
  model_.setNote(noteId_, note_->text());
}

void ArchiveWindow::setBusy(bool busy) {
  for (QPushButton* b : {compareButton_, writeButton_, importButton_})
    b->setEnabled(!busy);
  list_->setEnabled(!busy);
  if (!busy) selectionChanged();
}

bool ArchiveWindow::controllerTaken() {
  if (!ctx_.controllerFree || ctx_.controllerFree()) return false;
  showMessage(plIt(QStringLiteral("Sterownik jest zajęty: zakończ najpierw bieżącą pracę z nim."),
                   QStringLiteral("La centralina è occupata: terminare prima il lavoro in "
                                  "corso.")),
              attentionTitle());
  return true;
}

void ArchiveWindow::setResult(const QString& text) {
  result_->setText(text);
}

}  // namespace orvel
