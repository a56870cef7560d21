#include "records/TForm3.h"

#include "core/Dialogs.h"
#include "core/Handlers.h"
#include "core/Language.h"
#include "core/WindowPlacement.h"
#include "ui_TForm3.h"

#include <QApplication>
#include <QCheckBox>
#include <QHideEvent>
#include <QPalette>

#include <algorithm>

namespace orvel {

TForm3::TForm3(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowStaysOnTopHint),
      ui_(std::make_unique<Ui::TForm3>()) {
  ui_->setupUi(this);
  // The workshop's lines read as printed text on the window, not as entry fields, until the
  // switch lets them be edited: the car lines are what changes from one customer to the next.
  for (QLineEdit* line : workshopLines()) {
    QPalette palette = line->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    palette.setColor(QPalette::Text, Qt::black);
    line->setPalette(palette);
  }
  connect(ui_->CheckBoxWarsztat, &QCheckBox::toggled, this,
          [this](bool on) { setWorkshopEditable(on); });
  ui_->Edit6->hide();
  ui_->Edit7->setMaxLength(UserData::kCarLine1Length);
  ui_->Edit8->setMaxLength(UserData::kCarLine2Length);
  for (QLineEdit* field : {ui_->Edit6, ui_->Edit7, ui_->Edit8}) {
    designLengths_.insert(field, field->maxLength());
    connect(field, &QLineEdit::textEdited, this, [this, field] { keepTypingLimit(field); });
  }
  onEvent(ui_->SpeedButton2, &QPushButton::clicked, this, [this] { SpeedButton2aClick(); });
  onEvent(ui_->SpeedButton1, &QPushButton::clicked, this, [this] { SpeedButton1aClick(); });
  fixSize(this);
  centreOnScreen(this);
}

TForm3::~TForm3() = default;

namespace {
// A file that is there but could not be read; a missing one is simply created.
bool unreplaceable(const FileContent& content) {
  return !content.ok() && content.failure != FileContent::Failure::Missing;
}
}  // namespace

void TForm3::setFieldText(QLineEdit* field, const QString& text) {
  // The design's length limits typing only: a longer line read from the file is shown whole and
  // saved back unchanged unless the fitter edits it.
  const int design = designLengths_.value(field, field->maxLength());
  field->setMaxLength(std::max(design, static_cast<int>(text.size())));
  field->setText(text);
}

void TForm3::keepTypingLimit(QLineEdit* field) {
  const int design = designLengths_.value(field, field->maxLength());
  field->setMaxLength(std::max(design, static_cast<int>(field->text().size())));
}

QList<QLineEdit*> TForm3::workshopLines() const {
  return {ui_->Edit1, ui_->Edit2, ui_->Edit3, ui_->Edit4, ui_->Edit5};
}

void TForm3::setWorkshopEditable(bool editable) {
  for (QLineEdit* line : workshopLines()) {
    line->setReadOnly(!editable);
    line->setFrame(editable);
    line->setFocusPolicy(editable ? Qt::StrongFocus : Qt::NoFocus);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Base, editable ? QApplication::palette().color(QPalette::Base)
                                              : palette.color(QPalette::Button));
    line->setPalette(palette);
  }
  if (editable) ui_->Edit1->setFocus();
}

void TForm3::showUserData() {
  ui_->CheckBoxWarsztat->setChecked(false);
  show();
  raise();
  activateWindow();
  lastLoad_ = RichEdit1.load(userDataFile_);
  const QList<QLineEdit*> fields{ui_->Edit1, ui_->Edit2, ui_->Edit3, ui_->Edit4,
                                 ui_->Edit5, ui_->Edit6, ui_->Edit7, ui_->Edit8};
  for (int i = 0; i < fields.size(); ++i)
    setFieldText(fields.at(i), RichEdit1.line(i));
  ui_->Edit7->setFocus();
}

void TForm3::SpeedButton2aClick() {
  // A line the switch never opened is set to the text it shows, which keeps its bytes.
  const QList<QLineEdit*> workshop = workshopLines();
  for (int i = 0; i < workshop.size(); ++i)
    RichEdit1.setLine(i, workshop.at(i)->text());
  RichEdit1.setLine(5, ui_->Edit6->text());
  RichEdit1.setLine(UserData::kCarLine1, ui_->Edit7->text());
  RichEdit1.setLine(UserData::kCarLine2, ui_->Edit8->text());
  // Judged both as it was when the window opened and as it is now: either way the store may hold
  // less than the file.
  FileContent now = readRegularFile(userDataFile_, UserData::kMaxFileBytes);
  const FileContent& failed = unreplaceable(lastLoad_) ? lastLoad_ : now;
  if (unreplaceable(failed)) {
    showMessage(
        tr3("Nie zapisano pliku %1: nie można go odczytać (%2), a zapis zastąpiłby dane "
            "warsztatu.\r\nPlik pozostaje bez zmian.",
            "File %1 not saved: it cannot be read (%2), and saving would replace the workshop's "
            "data.\r\nThe file is left as it was.",
            "File %1 non salvato: non si può leggere (%2) e il salvataggio sostituirebbe i dati "
            "dell'officina.\r\nIl file resta invariato.")
            .arg(userDataFile_, userDataFailureReason(failed)),
        warningTitle(), MessageIcon::Warning);
    hide();
    return;
  }
  RichEdit1.save(userDataFile_);
  hide();
}

void TForm3::SpeedButton1aClick() {
  hide();
}

void TForm3::hideEvent(QHideEvent* event) {
  QDialog::hideEvent(event);
  // A window system that unmaps the window (minimising it) has not closed it.
  if (!event->spontaneous()) Q_EMIT hidden();
}

}  // namespace orvel
