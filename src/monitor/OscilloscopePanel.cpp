#include "monitor/OscilloscopePanel.h"

#include "core/Artwork.h"
#include "core/ControllerState.h"
#include "core/Dialogs.h"
#include "core/Handlers.h"
#include "core/Language.h"
#include "core/WorkArea.h"
#include "link/LinkControl.h"
#include "monitor/ChartView.h"
#include "monitor/DiagnosisReadout.h"
#include "monitor/Gauge.h"
#include "monitor/PanelScaling.h"
#include "monitor/Wykresy.h"
#include "settings/Conversions.h"
#include "ui_Panel1.h"

#include <QKeyEvent>
#include <QLabel>

#include <algorithm>

namespace orvel {

namespace {

// Right of the Lambda 2 chart, under the TPS chart's labels and above the panel's buttons.
constexpr QRect kDiagnosisArea(298, 124, 94, 120);
// The figures need at least this much width; with less they are not shown.
constexpr int kDiagnosisMinimumWidth = 80;
constexpr int kDiagnosisGap = 6;

// The calibration's TPS readings, once an autocalibration has measured both ends: the rpm
// scaling measures only the idle end, which gives no range to leave.
std::optional<TpsCalibration> tpsCalibration(const ControllerState& state) {
  if (state.tpsHigh == 0) return std::nullopt;
  return TpsCalibration{state.tpsLow, state.tpsHigh};
}

QString pauseCaption() {
  return plIt(QStringLiteral("Pauza"), QStringLiteral("Pausa"));
}

QString resumeCaption() {
  return plIt(QStringLiteral("Dalej"), QStringLiteral("Next"));
}

// A raw lambda value of the settings template; a line that is not one is reported in the
// interface's language (naming the raw values a line may hold) and ends the handler.
int templateNumber(const QString& text) {
  bool ok = false;
  const int value = text.trimmed().toInt(&ok);
  if (!ok) throw AppError(invalidEntryText(QStringLiteral("0...255")));
  return value;
}

}  // namespace

QString speedUnknownHint() {
  return tr3(QStringLiteral("Obroty nieznane: naciśnij F5 albo wyjdź z F7 i na wolnych obrotach na "
                            "benzynie naciśnij F8"),
             QStringLiteral("Engine speed unknown: press F5, or leave F7 and press F8 with the "
                            "engine idling on petrol"),
             QStringLiteral("Giri sconosciuti: premere F5, oppure uscire da F7 e premere F8 con "
                            "il motore al minimo a benzina"));
}

OscilloscopePanel::OscilloscopePanel(QFrame* host, WorkArea& area, LinkView& view,
                                     LinkControl& link, ControllerState& state)
    : QObject(host),
      host_(host),
      area_(area),
      window_(area.windowWidget()),
      view_(view),
      link_(link),
      state_(state),
      ui_(std::make_unique<Ui::Panel1>()) {
  QFrame* frame = host;
  ui_->setupUi(frame);
  // The layout is absolute and was drawn for a narrow interface face; a semi-condensed face
  // keeps every caption inside its place whatever sans-serif the desktop offers.
  QFont f = frame->font();
  f.setStretch(QFont::SemiCondensed);
  frame->setFont(f);

  charts_ = std::make_unique<Wykresy>(*ui_);
  // The figures sit right of the Lambda 2 chart, in room no control of the layouts uses, and
  // move sideways with the charts.
  diagnosis_ = std::make_unique<DiagnosisReadout>(frame);
  diagnosis_->label()->setGeometry(kDiagnosisArea);
  diagnosis_->rateShown = [this](const QString& text) {
    if (liveRateChanged && !replaying_ && link_.oscilloscopeMode) liveRateChanged(text);
  };
  scaling_ =
      std::make_unique<PanelScaling>(*ui_, frame, charts_->controls() << diagnosis_->label());
  scaling_->widthChanged = [this] { afterWidthChange(); };

  indicators_ = {ui_->Gauge14, ui_->Gauge13, ui_->Gauge12, ui_->Gauge11,
                 ui_->Gauge10, ui_->Gauge9,  ui_->Gauge8,  ui_->Gauge7};

  ui_->Skalarpm->setIcon(arrowIcon(ArrowGlyph::Right));
  ui_->Skalarpm1->setIcon(arrowIcon(ArrowGlyph::Left));
  ui_->Skalalambda->setIcon(arrowIcon(ArrowGlyph::Left));
  ui_->Skalalambda1->setIcon(arrowIcon(ArrowGlyph::Right));

  onEvent(ui_->BtnPauza, &QPushButton::clicked, this, [this] { BtnPauzaClick(); });
  onEvent(ui_->Koniec, &QPushButton::clicked, this, [this] { KoniecClick(); });
  onEvent(ui_->Skalarpm, &QToolButton::clicked, this, [this] { scaling_->SkalarpmClick(); });
  onEvent(ui_->Skalarpm1, &QToolButton::clicked, this, [this] { scaling_->Skalarpm1Click(); });
  onEvent(ui_->Skalalambda, &QToolButton::clicked, this, [this] { scaling_->SkalalambdaClick(); });
  onEvent(ui_->Skalalambda1, &QToolButton::clicked, this,
          [this] { scaling_->Skalalambda1Click(); });
  onEvent(ui_->WykresLambda, &ChartView::doubleClicked, this, [this] {
    charts_->WykresLambdaDblClick();
    placeDiagnosis();
  });
  onEvent(ui_->WykresTPS, &ChartView::doubleClicked, this, [this] {
    charts_->WykresTPSDblClick();
    placeDiagnosis();
  });
  onEvent(ui_->WykresPodcis, &ChartView::doubleClicked, this, [this] {
    charts_->WykresPodcisDblClick();
    placeDiagnosis();
  });
  placeDiagnosis();

  interferenceBox_ = link.timerService().createHandle([this] { showInterferenceBox(); });

  // "Koniec" is the panel's default button. Qt honours default buttons only in dialogs, so an
  // Enter that nothing on the main window took is caught on its way up to the window.
  window_->installEventFilter(this);
}

OscilloscopePanel::~OscilloscopePanel() = default;

QFrame* OscilloscopePanel::panel() const {
  return host_;
}

void OscilloscopePanel::retranslate() {
  diagnosis_->retranslate();
}

int OscilloscopePanel::lambdaBarRange() const {
  return ui_->Gauge6->maximum() - ui_->Gauge6->minimum();
}

void OscilloscopePanel::placeDiagnosis() {
  QLabel* label = diagnosis_->label();
  const QRect home(label->x(), kDiagnosisArea.top(), 0, kDiagnosisArea.height());
  // As wide as the room up to the next control or the panel's edge; an enlarged chart over that
  // room leaves none, and the figures wait until it is restored.
  int right = panel()->width() - kDiagnosisGap;
  bool room = true;
  const auto siblings = panel()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  for (const QWidget* w : siblings) {
    if (w == label || w->isHidden()) continue;
    const QRect r = w->geometry();
    if (r.bottom() < home.top() || r.top() > home.bottom() || r.right() < home.left()) continue;
    if (r.left() <= home.left() + kDiagnosisMinimumWidth)
      room = false;
    else
      right = std::min(right, r.left() - kDiagnosisGap);
  }
  room = room && right - home.left() >= kDiagnosisMinimumWidth;
  label->setGeometry(home.left(), home.top(), std::max(1, right - home.left()), home.height());
  label->setVisible(room);
}

void OscilloscopePanel::afterWidthChange() {
  placeDiagnosis();
  // The window follows the panel in its normal state, instead of cutting the enlarged panel off;
  // a maximised window has room and keeps the panel where the enlargement put it.
  const Qt::WindowStates fixed = Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen;
  if (!(window_->windowState() & fixed)) area_.relayout();
}

void OscilloscopePanel::takeLambdaBarRange() {
  const QString low = state_.szablon.line(SettingsTemplate::kLambdaMinimumLine);
  const QString high = state_.szablon.line(SettingsTemplate::kLambdaMaximumLine);
  // Equal lines would make an empty range; the previous one stays.
  if (low == high) return;
  const int a = templateNumber(low);
  const int b = templateNumber(high);
  ui_->Gauge6->setRange(std::min(a, b), std::max(a, b));
}

void OscilloscopePanel::placeAndShow(const QString& lambdaKey, TpsRange tpsRange) {
  QFrame* frame = panel();
  frame->move(halfRounded(area_.clientWidth()) - halfRounded(frame->width()),
              static_cast<int>(roundHalfEven((area_.clientHeight() - frame->height()) * 0.5)));
  charts_->setUp(lambdaKey, tpsRange);
  frame->show();
  frame->raise();
}

void OscilloscopePanel::WykresyClick() {
  // The commands that start the mode are disabled during a replay; a late caller finds the
  // panel taken.
  if (replaying_) return;
  link_.ensureOpen();
  if (link_.hooks.endCalibration) link_.hooks.endCalibration();
  QFrame* frame = panel();
  link_.Timer2.resetCount();
  view_.setCommandsEnabled(kButtonF8 | kItemScaling, false);

  view_.setStatusText(oscilloscopeStatusText());
  ui_->BtnPauza->setText(pauseCaption());

  const QString lambdaKey = state_.szablon.line(SettingsTemplate::kLambdaMaximumLine);
  const TpsRange tpsRange = chooseTpsRange(state_.tpsLow, state_.tpsHigh);
  placeAndShow(lambdaKey, tpsRange);

  view_.setCommandsEnabled(kButtonF7 | kItemScope, false);
  link_.sweepPaused = false;
  link_.oscilloscopeMode = true;

  takeLambdaBarRange();
  decoder_.settings.lambdaKey = lambdaKey;
  decoder_.settings.tpsRange = tpsRange;
  decoder_.settings.lambdaBarRange = lambdaBarRange();
  decoder_.settings.lambdaLow = state_.lambdaLow;
  decoder_.settings.lambdaHigh = state_.lambdaHigh;
  diagnosis_->reset(decoder_.settings, tpsCalibration(state_));
  filter_.reset();

  if (frame->width() < 400) {
    scaling_->SkalalambdaClick();
    scaling_->SkalarpmClick();
  }

  followSpeedReference();
  link_.liveFrameRequest();
}

void OscilloscopePanel::followSpeedReference() {
  const bool unknown = !replaying_ && !panel()->isHidden() && state_.idlePeriodReference == 0;
  if (unknown == speedUnknown_) return;
  speedUnknown_ = unknown;
  if (speedUnknownChanged) speedUnknownChanged(unknown);
}

void OscilloscopePanel::BtnPauzaClick() {
  if (replaying_) {
    // A copy: the hook may end the replay, which lets go of the hooks.
    const auto hook = replayHooks_.pauseOrResume;
    if (hook) hook();
    return;
  }
  const QString caption = ui_->BtnPauza->text();
  // Running shows the pause caption of whichever language set it: the message rule gives
  // "Pauza" or "Pausa", the English caption table "Pause".
  if (caption == QLatin1String("Pauza") || caption == QLatin1String("Pausa") ||
      caption == QLatin1String("Pause")) {
    // The request in flight is still shown; the loop stops at the next sweep tick.
    link_.sweepPaused = true;
    ui_->BtnPauza->setText(resumeCaption());
    view_.setStatusText(
        plIt(QStringLiteral("Przebiegi zatrzymane"), QStringLiteral("Pausa osciloscopo")));
  } else {
    link_.sweepPaused = false;
    link_.wykres_on1.start();
    ui_->BtnPauza->setText(pauseCaption());
    view_.setStatusText(oscilloscopeStatusText());
  }
}

void OscilloscopePanel::KoniecClick() {
  if (replaying_) {
    const auto hook = replayHooks_.end;
    if (hook) hook();
    return;
  }
  view_.setCommandsEnabled(
      kButtonF8 | kButtonF5 | kButtonF6 | kItemSettings | kItemAutocal | kItemScaling, true);
  link_.Timer2.stop();
  link_.Timer3.stop();
  // A sweep tick still due would find the loop paused and do nothing; stopping it as well keeps
  // a quick re-entry from sending a second request over the first one's reply.
  link_.wykres_on1.stop();
  link_.sweepPaused = true;
  // A box still due belongs to the mode that ended.
  interferenceBox_->stop();
  panel()->hide();
  link_.Timer2.resetCount();
  link_.Timer3.resetCount();
  link_.oscilloscopeMode = false;
  view_.setCommandsEnabled(kButtonF7 | kItemScope, true);
  view_.setStatusText(QString());
  ui_->BtnPauza->setText(resumeCaption());
  link_.EditDane.clear();
  followSpeedReference();
  if (liveRateChanged) liveRateChanged(QString());
  if (liveModeEnded) liveModeEnded();
}

void OscilloscopePanel::endLiveMode() {
  if (!replaying_) KoniecClick();
}

void OscilloscopePanel::showLiveFrame() {
  RawLiveFrame raw{};
  for (std::size_t k = 0; k < raw.size(); ++k)
    raw[k] = static_cast<std::uint8_t>(std::max(0, link_.byte(static_cast<int>(k))));
  const LiveFrameFilter::Verdict verdict = filter_.offer(raw);
  for (int i = 0; i < verdict.dropped; ++i)
    liveFrameDropped();
  decoder_.settings.idlePeriodReference = state_.idlePeriodReference;
  followSpeedReference();
  for (const RawLiveFrame& frame : verdict.show) {
    if (liveFrameArrived) liveFrameArrived(frame, decoder_.settings);
    showFrame(displayedBytes(frame));
  }
}

void OscilloscopePanel::liveFrameDropped() {
  diagnosis_->frameDropped(link_.timerService().now());
}

void OscilloscopePanel::showFrame(const LiveFrame& frame) {
  decoder_.settings.idlePeriodReference = state_.idlePeriodReference;
  const LiveReadings readings = decoder_.decode(frame);
  diagnosis_->add(link_.timerService().now(), frame, readings.speed);
  display(readings, true);
}

void OscilloscopePanel::enterReplay(const LiveSettings& settings, ReplayHooks hooks) {
  replaying_ = true;
  replayHooks_ = std::move(hooks);
  view_.setCommandsEnabled(kAllButtons | kAllItems, false);
  ui_->BtnPauza->setText(pauseCaption());
  // A replay is not recorded again.
  ui_->BtnZapis->setEnabled(false);
  placeAndShow(settings.lambdaKey, settings.tpsRange);
  decoder_.settings = settings;
  // The car of a log need not be the one connected: its calibration is not known.
  diagnosis_->reset(settings, std::nullopt);
  if (panel()->width() < 400) {
    scaling_->SkalalambdaClick();
    scaling_->SkalarpmClick();
  }
}

void OscilloscopePanel::showRecordedFrame(const LiveFrame& frame, const LiveSettings& settings) {
  // Rows recorded in another visit of the mode (files joined) bring their own chart scales, set
  // up as an entry into the mode sets them up.
  if (settings.lambdaKey != decoder_.settings.lambdaKey ||
      settings.tpsRange != decoder_.settings.tpsRange) {
    charts_->setUp(settings.lambdaKey, settings.tpsRange);
  }
  decoder_.settings = settings;
  diagnosis_->follow(settings);
  const LiveReadings readings = decoder_.decode(frame);
  diagnosis_->add(link_.timerService().now(), frame, readings.speed);
  display(readings, false);
}

void OscilloscopePanel::setReplayPaused(bool paused) {
  ui_->BtnPauza->setText(paused ? resumeCaption() : pauseCaption());
}

void OscilloscopePanel::leaveReplay() {
  if (!replaying_) return;
  replaying_ = false;
  replayHooks_ = {};
  panel()->hide();
  view_.setCommandsEnabled(kAllButtons | kAllItems, true);
  view_.setStatusText(QString());
  ui_->BtnPauza->setText(resumeCaption());
  ui_->BtnZapis->setEnabled(true);
}

void OscilloscopePanel::display(const LiveReadings& r, bool warnOnFault) {
  charts_->plot(Wykresy::Lambda1, r.lambdaRow);
  ui_->Panel6->setText(r.lambdaText);
  for (std::size_t k = 0; k < indicators_.size(); ++k)
    indicators_[k]->setValue(static_cast<int>(k) == r.litIndicator ? 1 : 0);
  charts_->plot(Wykresy::Tps, r.tpsRow);
  ui_->Panel5->setText(r.tpsText);
  ui_->Gauge4->setValue(r.tpsBar);
  charts_->plot(Wykresy::Lambda2, r.lambda2Row);

  switch (r.speed.kind) {
    case EngineSpeed::Kind::Unknown:
      break;
    case EngineSpeed::Kind::Fault:
      if (warnOnFault) warnOfInterference();
      break;
    case EngineSpeed::Kind::Measured:
      ui_->Gauge1->setValue(r.speed.rpm);
      ui_->Panelobroty->setText(QString::number(r.speed.shown));
      break;
  }

  ui_->Gauge2->setValue(r.valve);
  ui_->Panel4->setText(QString::number(r.valve));
}

void OscilloscopePanel::warnOfInterference() {
  if (interferenceBoxOpen_ || interferenceBox_->isActive()) return;
  interferenceBox_->start(Nanos(0), Nanos(0));
}

void OscilloscopePanel::showInterferenceBox() {
  interferenceBoxOpen_ = true;
  // The Polish text in every language: the fitter is asked to read again, the rest of the frame
  // is valid and shown.
  showMessage(QStringLiteral("Pojawiły się zakłócenia\r\npodczas czytania obrotów. "
                             "Powtórz czytanie."),
              QStringLiteral("Uwaga"), MessageIcon::Warning);
  interferenceBoxOpen_ = false;
}

bool OscilloscopePanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (enter && mods == Qt::NoModifier && !panel()->isHidden() && ui_->Koniec->isEnabled()) {
      ui_->Koniec->click();
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace orvel
