#include "service/ServiceConsole.h"

#include "core/Dialogs.h"
#include "core/Handlers.h"
#include "core/WorkArea.h"
#include "link/LinkControl.h"
#include "service/ConsoleLogic.h"
#include "settings/Conversions.h"
#include "ui_ServiceConsole.h"

#include <QAbstractTextDocumentLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

namespace orvel {

namespace {

// The smallest face the list may shrink to when the desktop's font is too tall for 37 lines.
constexpr int kSmallestListPixels = 7;

// The distance from one line of the list to the next: the height of a one-line block, without
// the document margin that the bounding rectangle of the last block includes.
qreal linePitch(QTextDocument& document) {
  const QTextBlock first = document.firstBlock();
  document.documentLayout()->blockBoundingRect(first);  // lays the block out
  return first.layout()->boundingRect().height();
}

}  // namespace

ServiceConsole::ServiceConsole(const ServiceControls& controls, WorkArea& area, LinkControl& link,
                               QWidget& reference)
    : QObject(controls.box),
      controls_(controls),
      area_(area),
      link_(link),
      reference_(reference),
      ui_(std::make_unique<Ui::ServiceConsole>()) {
  ui_->setupUi(controls_.box);
  // The layout is absolute and narrow; a semi-condensed face keeps every caption inside its
  // place, as on the oscilloscope panel.
  QFont face = controls_.box->font();
  face.setStretch(QFont::SemiCondensed);
  controls_.box->setFont(face);
  ui_->Edit1->setMaxLength(kConsoleEntryLength);
  ui_->Label24->setText(lineNumbersText());
  ui_->RichEdit2->document()->setDocumentMargin(2);

  // The password field: borderless in the window colour, every character shown as "*".
  QLineEdit* password = controls_.password;
  QPalette palette = password->palette();
  palette.setColor(QPalette::Base, palette.color(QPalette::Window));
  password->setPalette(palette);
  password->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));

  fitListFont();

  onEvent(controls_.revealButton, &QAbstractButton::clicked, this, [this] { Button2Click(); });
  onEvent(password, &QLineEdit::textChanged, this, [this] { MaskEdit1Change(); });
  onEvent(ui_->Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  onEvent(ui_->SpeedButton13, &QToolButton::clicked, this, [this] { SpeedButton13Click(); });
  onEvent(ui_->SpeedButton7, &QToolButton::clicked, this, [this] { SpeedButton7Click(); });
  connect(ui_->RichEdit2->verticalScrollBar(), &QScrollBar::valueChanged, this,
          [this] { alignLineNumbers(); });

  // "Wyślij" is the console's default button. Qt honours default buttons only in dialogs, so an
  // Enter that no control of the console took (the entry field passes it on) is caught on its
  // way up to the group box.
  controls_.box->installEventFilter(this);
  ui_->RichEdit2->installEventFilter(this);
}

ServiceConsole::~ServiceConsole() = default;

bool ServiceConsole::isOpen() const {
  return !controls_.box->isHidden();
}

// ---------------------------------------------------------------------------------------------
// The way in and out

void ServiceConsole::Button2Click() {
  QLineEdit* password = controls_.password;
  password->move(password->x(), controls_.statusBar->y() + 5);
  password->show();
  password->raise();
  password->setFocus();
}

void ServiceConsole::MaskEdit1Change() {
  if (isAccessPhrase(controls_.password->text())) open();
}

void ServiceConsole::open() {
  link_.serviceMode = true;
  controls_.picture->hide();
  QGroupBox* box = controls_.box;
  box->move(halfRounded(area_.clientWidth()) - halfRounded(box->width()),
            static_cast<int>(roundHalfEven(
                (area_.clientHeight() + area_.statusBarHeight() - box->height()) * 0.5)));
  box->show();
  box->raise();
  ui_->Edit1->setFocus();
  alignLineNumbers();
  if (opened) opened();
}

void ServiceConsole::SpeedButton7Click() {
  link_.serviceMode = false;
  // Part of a reply may have gone to the console: what arrives from now on must not complete it
  // in the receive buffer and be dispatched as a reply it is not.
  link_.replyCount = 0;
  link_.EditDane.clear();
  controls_.box->hide();
  controls_.password->hide();
  controls_.password->clear();
  controls_.revealButton->hide();
  controls_.picture->show();
}

void ServiceConsole::SpeedButton13Click() {
  reference_.show();
  reference_.raise();
  reference_.activateWindow();
}

// ---------------------------------------------------------------------------------------------
// Sending and receiving

void ServiceConsole::Button1Click() {
  // The entry is judged before the port is touched: a typing slip is told as such, not hidden
  // behind a port that cannot be opened.
  const std::optional<std::uint8_t> value = consoleByte(ui_->Edit1->text());
  if (!value) {
    showInvalidEntry(consoleByteRange());
    return;
  }
  link_.ensureOpen();
  ui_->Edit1->clear();
  clearReplies();
  ui_->Edit1->setFocus();
  link_.send(Command{*value, {}});
}

void ServiceConsole::clearReplies() {
  replies_.clear();
  ui_->RichEdit2->clear();
  listed_ = 0;
  dropped_ = 0;
}

void ServiceConsole::serviceByte(std::uint8_t value) {
  replies_.append(value);
  // Every byte is listed, however long the reply. A controller left talking (oscilloscope mode
  // polls behind the console) would make the list grow for ever: past a limit the oldest lines
  // go, and the first line says how many.
  if (listed_ >= kMaxListedBytes) dropOldest();
  // A cursor of its own, not the view's: the list stays where the fitter scrolled it, and from
  // the top its lines stand beside their numbers.
  QTextCursor cursor(ui_->RichEdit2->document());
  cursor.movePosition(QTextCursor::End);
  if (listed_ > 0 || dropped_ > 0) cursor.insertBlock();
  cursor.insertText(ReceiveBuffer::formatByte(value).left(3));
  ++listed_;
}

void ServiceConsole::dropOldest() {
  QTextDocument* document = ui_->RichEdit2->document();
  const int note = firstByteLine();
  QTextCursor cursor(document->findBlockByNumber(note));
  cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, kListTrimBlock);
  cursor.removeSelectedText();
  dropped_ += kListTrimBlock;
  listed_ -= kListTrimBlock;
  QTextCursor first(document->firstBlock());
  if (note == 0) {
    first.insertBlock();
    first.movePosition(QTextCursor::PreviousBlock);
  } else {
    first.select(QTextCursor::BlockUnderCursor);
    first.removeSelectedText();
  }
  first.insertText(droppedBytesText(dropped_));
  alignLineNumbers();
}

// ---------------------------------------------------------------------------------------------
// The line numbers

qreal ServiceConsole::replyLineTop(int k) const {
  QPlainTextEdit* list = ui_->RichEdit2;
  const QTextBlock block = list->document()->findBlockByNumber(k);
  if (!block.isValid()) return -1;
  const QRect line = list->cursorRect(QTextCursor(block));
  return list->viewport()->mapTo(controls_.box, line.topLeft()).y();
}

void ServiceConsole::fitListFont() {
  QPlainTextEdit* list = ui_->RichEdit2;
  QTextDocument* document = list->document();
  const qreal room = list->contentsRect().height() - 2 * document->documentMargin();
  QFont font = controls_.box->font();
  int pixels = QFontInfo(font).pixelSize();
  for (;;) {
    font.setPixelSize(pixels);
    list->setFont(font);
    const qreal pitch = linePitch(*document);
    if (pitch * kNumberedLines <= room || pixels <= kSmallestListPixels) break;
    --pixels;
  }
  // The numbers are drawn in the very face of the list, so they share its baseline.
  ui_->Label24->setFont(list->font());
}

int ServiceConsole::firstByteLine() const {
  return dropped_ > 0 ? 1 : 0;
}

void ServiceConsole::alignLineNumbers() {
  const qreal pitch = linePitch(*ui_->RichEdit2->document());
  // The note on trimmed bytes takes no number: 01: stands beside the first byte listed.
  const qreal firstTop = replyLineTop(firstByteLine()) - ui_->Label24->y();
  ui_->Label24->setLineGeometry(firstTop, pitch);
}

bool ServiceConsole::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui_->RichEdit2 &&
      (event->type() == QEvent::Resize || event->type() == QEvent::Show))
    alignLineNumbers();
  if (watched == controls_.box && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (enter && mods == Qt::NoModifier && isOpen() && ui_->Button1->isEnabled()) {
      ui_->Button1->click();
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace orvel
