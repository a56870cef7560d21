#include "monitor/Diagnosis.h"

#include "core/Language.h"
#include "settings/Conversions.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace orvel {

namespace {

// Each side of the probe's midpoint, this share of its span is noise rather than a switch: a
// 0..1 V probe must pass 0.65 V to count as rich and 0.35 V to count as lean.
constexpr double kBandShare = 0.15;

QString oneDecimal(double x) {
  const long long tenths = roundHalfEven(x * 10.0);
  return QStringLiteral("%1.%2").arg(tenths / 10).arg(std::llabs(tenths % 10));
}

QString whole(double x) {
  return QString::number(roundHalfEven(x));
}

QString percent(double share) {
  return whole(share * 100.0) + QLatin1Char('%');
}

}  // namespace

DiagnosisSample diagnosisSample(qint64 timeMs, const LiveFrame& frame, const EngineSpeed& speed) {
  DiagnosisSample s;
  s.timeMs = timeMs;
  s.lambda = static_cast<std::uint8_t>(frame[0]);
  s.tps = static_cast<std::uint8_t>(frame[1]);
  s.rpm = speed.kind == EngineSpeed::Kind::Measured ? speed.rpm : -1;
  return s;
}

ProbeBand probeBand(const LiveSettings& settings) {
  int lean = 0;
  int rich = 51;
  if (settings.lambdaLow != settings.lambdaHigh) {
    // The autocalibration's ends also say which way the probe runs: an inverted probe reads
    // lowest when rich.
    lean = std::clamp(settings.lambdaLow, 0, 255);
    rich = std::clamp(settings.lambdaHigh, 0, 255);
  } else if (settings.lambdaKey == QLatin1String("255")) {
    rich = 255;
  } else if (settings.lambdaKey == QLatin1String("82")) {
    lean = 41;
    rich = 82;
  }
  ProbeBand b;
  b.richIsHigh = rich > lean;
  b.mid2 = lean + rich;
  const int band2 = static_cast<int>(roundHalfEven(2.0 * kBandShare * std::abs(rich - lean)));
  b.richFrom2 = b.richIsHigh ? b.mid2 + band2 : b.mid2 - band2;
  b.leanFrom2 = b.richIsHigh ? b.mid2 - band2 : b.mid2 + band2;
  return b;
}

DiagnosisInput diagnosisInput(const LiveSettings& settings,
                              std::optional<TpsCalibration> calibration) {
  DiagnosisInput in;
  in.probe = probeBand(settings);
  in.tpsFalling =
      settings.tpsRange == TpsRange::Falling5V || settings.tpsRange == TpsRange::Falling12V;
  in.calibration = calibration;
  return in;
}

IdleRule::IdleRule(const DiagnosisInput& input) : tpsFalling_(input.tpsFalling) {
  if (input.calibration) {
    calibrated_ = true;
    closed_ = input.calibration->low;
  }
}

bool IdleRule::next(const DiagnosisSample& s) {
  if (!calibrated_) {
    const bool closer = closed_ < 0 || (tpsFalling_ ? s.tps > closed_ : s.tps < closed_);
    if (closer) closed_ = s.tps;
  }
  if (s.rpm < 0) return false;
  if (std::abs(s.tps - closed_) > kIdleTpsMargin || s.rpm == 0 || s.rpm > kIdleRpmCeiling) {
    shut_ = settled_ = false;
    return false;
  }
  if (!shut_ || (!settled_ && s.rpm < low_ - kIdleSettleRpm)) {
    shut_ = true;
    low_ = s.rpm;
    lowAt_ = s.timeMs;
  }
  // Once settled, a stretch stays settled: the lows of a hunting idle are its spread. The last
  // frames of an engine dying away (switched off, stalling) fall far below any idle low and
  // are left out.
  if (!settled_ && s.timeMs - lowAt_ >= kIdleSettleMs) settled_ = true;
  return settled_ && s.rpm >= low_ * kIdleDyingShare;
}

Diagnosis diagnose(const DiagnosisSample* first, const DiagnosisSample* last,
                   const DiagnosisInput& input) {
  Diagnosis d;
  if (first == last) return d;
  d.frames = static_cast<int>(last - first);
  d.spanMs = (last - 1)->timeMs - first->timeMs;
  d.lambdaMin = d.lambdaMax = first->lambda;
  d.tpsMin = d.tpsMax = first->tps;

  const ProbeBand& p = input.probe;
  enum class Mixture { Unknown, Rich, Lean } state = Mixture::Unknown;
  int richFrames = 0;
  for (const DiagnosisSample* s = first; s != last; ++s) {
    const int v2 = 2 * s->lambda;
    const bool rich = p.richIsHigh ? v2 >= p.richFrom2 : v2 <= p.richFrom2;
    const bool lean = p.richIsHigh ? v2 <= p.leanFrom2 : v2 >= p.leanFrom2;
    const Mixture now = rich ? Mixture::Rich : lean ? Mixture::Lean : state;
    // The first state reached is where the stretch starts, not a switch.
    if (now != state && state != Mixture::Unknown) ++d.crossings;
    state = now;
    if (p.richIsHigh ? v2 > p.mid2 : v2 < p.mid2) ++richFrames;
    d.lambdaMin = std::min<int>(d.lambdaMin, s->lambda);
    d.lambdaMax = std::max<int>(d.lambdaMax, s->lambda);
    d.tpsMin = std::min<int>(d.tpsMin, s->tps);
    d.tpsMax = std::max<int>(d.tpsMax, s->tps);
  }
  d.richShare = static_cast<double>(richFrames) / d.frames;
  if (d.spanMs > 0) d.crossingsPerSecond = d.crossings * 1000.0 / static_cast<double>(d.spanMs);

  if (input.calibration) {
    d.calibrationKnown = true;
    const int lo = std::min(input.calibration->low, input.calibration->high);
    const int hi = std::max(input.calibration->low, input.calibration->high);
    d.tpsBelowCalibration = d.tpsMin < lo - kTpsCalibrationTolerance;
    d.tpsAboveCalibration = d.tpsMax > hi + kTpsCalibrationTolerance;
  }
  // Whole numbers summed exactly: the mean and spread of an hour of idle lose nothing.
  long long n = 0, sum = 0, squares = 0;
  for (const DiagnosisSample* s = first; s != last; ++s) {
    if (!s->idle) continue;
    ++n;
    sum += s->rpm;
    squares += static_cast<long long>(s->rpm) * s->rpm;
  }
  d.idleFrames = static_cast<int>(n);
  if (n > 0) {
    d.idleRpmMean = static_cast<double>(sum) / static_cast<double>(n);
    const double variance =
        static_cast<double>(n * squares - sum * sum) / static_cast<double>(n * n);
    d.idleRpmStdDev = std::sqrt(std::max(0.0, variance));
  }
  return d;
}

QStringList diagnosisLines(const Diagnosis& d, bool compact) {
  QStringList lines;
  const QString dash = QStringLiteral("—");
  const bool any = d.frames > 0;
  const QString lambdaRange =
      any ? QStringLiteral("%1–%2 V").arg(lambdaVoltText(d.lambdaMin), lambdaVoltText(d.lambdaMax))
          : dash;
  const QString tpsRange =
      any ? QStringLiteral("%1–%2 V").arg(tpsVoltText(d.tpsMin), tpsVoltText(d.tpsMax)) : dash;
  const bool left = d.tpsBelowCalibration || d.tpsAboveCalibration;
  // Every figure with its unit, in both forms; the panel's column is narrow, so its idle figure
  // takes a line of its own under its name.
  const QString perSecond = any ? oneDecimal(d.crossingsPerSecond) : dash;
  const QString switchUnit = tr3("przeł./s", "switches/s", "comm./s");
  const QString idle = d.idleFrames > 0
                           ? QStringLiteral("%1 ± %2 %3")
                                 .arg(whole(d.idleRpmMean), whole(d.idleRpmStdDev), rpmUnitText())
                           : dash;
  if (compact) {
    lines << QStringLiteral("λ1: %1 %2").arg(perSecond, switchUnit)
          << tr3("Bogata: %1", "Rich: %1", "Ricca: %1").arg(any ? percent(d.richShare) : dash)
          << QStringLiteral("λ1: %1").arg(lambdaRange) << tr3("Jałowe:", "Idle:", "Minimo:") << idle
          << QStringLiteral("TPS: %1").arg(tpsRange);
    if (left) lines << tr3("TPS poza kalibr.!", "TPS off calibr.!", "TPS fuori calibr.!");
    return lines;
  }
  lines << tr3("Sonda lambda 1: %1 %2 (%3 przełączeń w %4 s)",
               "Lambda 1 probe: %1 %2 (%3 switches in %4 s)",
               "Sonda lambda 1: %1 %2 (%3 commutazioni in %4 s)")
               .arg(perSecond, switchUnit)
               .arg(d.crossings)
               .arg(oneDecimal(static_cast<double>(d.spanMs) / 1000.0))
        << tr3("Mieszanka bogata: %1 czasu", "Rich mixture: %1 of the time",
               "Miscela ricca: %1 del tempo")
               .arg(any ? percent(d.richShare) : dash)
        << tr3("Lambda 1 min–max: %1", "Lambda 1 min–max: %1", "Lambda 1 min–max: %1")
               .arg(lambdaRange);
  if (d.idleFrames > 0) {
    lines << tr3("Obroty biegu jałowego: %1 (%2 klatek)", "Idle speed: %1 (%2 frames)",
                 "Giri al minimo: %1 (%2 fotogrammi)")
                 .arg(idle)
                 .arg(d.idleFrames);
  } else {
    lines << tr3("Obroty biegu jałowego: brak ustalonego biegu jałowego",
                 "Idle speed: no settled idle", "Giri al minimo: nessun minimo stabilizzato");
  }
  lines << tr3("TPS min–max: %1", "TPS min–max: %1", "TPS min–max: %1").arg(tpsRange);
  if (!d.calibrationKnown) {
    lines << tr3("Zakres TPS z kalibracji: nieznany", "TPS calibration range: unknown",
                 "Intervallo TPS di calibrazione: sconosciuto");
  } else if (!left) {
    lines << tr3("TPS w zakresie z kalibracji", "TPS within the calibrated range",
                 "TPS entro l'intervallo calibrato");
  } else {
    QStringList where;
    if (d.tpsBelowCalibration) where << tr3("poniżej", "below", "sotto");
    if (d.tpsAboveCalibration) where << tr3("powyżej", "above", "sopra");
    lines << tr3("TPS poza zakresem z kalibracji: %1", "TPS left the calibrated range: %1",
                 "TPS fuori dall'intervallo calibrato: %1")
                 .arg(where.join(QStringLiteral(", ")));
  }
  return lines;
}

QString liveRateText(const Diagnosis& d) {
  if (d.dropped < 0) return QString();
  // Frames a second between the first and the last frame of the stretch; one frame is no rate.
  const QString rate = d.frames > 1 && d.spanMs > 0
                           ? whole((d.frames - 1) * 1000.0 / static_cast<double>(d.spanMs))
                           : QStringLiteral("–");
  return tr3("Łącze: %1 klatek/s, odrzucone: %2", "Link: %1 frames/s, dropped: %2",
             "Linea: %1 fotogrammi/s, scartati: %2")
      .arg(rate)
      .arg(d.dropped);
}

}  // namespace orvel
