#include "logview/LogData.h"

#include "core/Language.h"
#include "core/TextFile.h"
#include "monitor/DriveLog.h"
#include "settings/Conversions.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <limits>

namespace orvel {

namespace {

constexpr float kNone = std::numeric_limits<float>::quiet_NaN();

QString shown(const QString& path) {
  return QDir::toNativeSeparators(path);
}

}  // namespace

QString laneName(Lane lane) {
  switch (lane) {
    case Lane::Speed:
      return tr3("Obroty", "Engine speed", "Giri motore");
    case Lane::Lambda1:
      return QStringLiteral("Lambda 1");
    case Lane::Tps:
      return QStringLiteral("TPS");
    case Lane::Lambda2:
      return QStringLiteral("Lambda 2");
    case Lane::Valve:
      return tr3("Zawór", "Valve", "Valvola");
  }
  return {};
}

QString laneUnit(Lane lane) {
  switch (lane) {
    case Lane::Speed:
      return rpmUnitText();
    case Lane::Valve:
      return tr3("kroki", "steps", "passi");
    default:
      return QStringLiteral("V");
  }
}

std::size_t LogData::rowAt(double ms) const {
  if (times.empty()) return 0;
  const auto after = std::upper_bound(times.begin(), times.end(), ms,
                                      [](double t, qint64 row) { return t < row; });
  if (after == times.begin()) return 0;
  return static_cast<std::size_t>(after - times.begin()) - 1;
}

Diagnosis LogData::diagnosis(std::size_t first, std::size_t last) const {
  last = std::min(last, samples.size());
  if (first >= last) return {};
  return diagnose(samples.data() + first, samples.data() + last,
                  diagnosisInput(rows[first].settings, std::nullopt));
}

LogData decodeDriveLog(ParsedDriveLog parsed) {
  LogData log;
  log.skipped = parsed.skipped;
  log.badReference = parsed.badReference;
  log.rows = std::move(parsed.rows);
  const std::size_t n = log.rows.size();
  log.times.resize(n);
  for (auto& lane : log.lanes)
    lane.resize(n);
  log.samples.resize(n);
  // The idle rule sees the log's frames as the panel saw them, one after another; rows of
  // another sensor (files joined) start it again, as they start the panel's figures again.
  std::optional<IdleRule> idle;
  for (std::size_t i = 0; i < n; ++i) {
    const DriveLogRow& row = log.rows[i];
    if (i == 0 || row.settings.tpsRange != log.rows[i - 1].settings.tpsRange)
      idle.emplace(diagnosisInput(row.settings, std::nullopt));
    const auto& b = row.raw;
    const EngineSpeed speed = engineSpeed(row.settings.idlePeriodReference, b[4] + 256 * b[5]);
    log.times[i] = row.timeMs;
    // The read-outs' scales: 5 V over 255 counts for the lambda inputs, 0.05 V a count for TPS.
    log.lanes[0][i] = speed.kind == EngineSpeed::Kind::Measured ? float(speed.rpm) : kNone;
    log.lanes[1][i] = float(b[0] * 5.0 / 255.0);
    log.lanes[2][i] = float(b[1] * 12.0 / 240.0);
    log.lanes[3][i] = float(b[3] * 5.0 / 255.0);
    log.lanes[4][i] = float(255 - b[6]);
    log.samples[i] = diagnosisSample(row.timeMs, displayedBytes(b), speed);
    log.samples[i].idle = idle->next(log.samples[i]);
  }
  return log;
}

LogLoad loadDriveLog(const QString& path) {
  LogLoad load;
  const FileContent content = readRegularFile(path, DriveLog::kMaxLogBytes);
  if (!content.ok()) {
    load.refusal = DriveLog::refusal(content, path, DriveLog::Use::View);
    return load;
  }
  ParsedDriveLog parsed = parseDriveLog(content.bytes);
  if (!parsed.recognised) {
    load.refusal = tr3("Plik %1 nie jest zapisem jazdy", "The file %1 is not a drive log",
                       "Il file %1 non è una registrazione di guida")
                       .arg(shown(path));
    return load;
  }
  if (parsed.rows.empty()) {
    load.refusal = tr3("Plik %1 nie zawiera żadnej klatki (pominięte wiersze: %2%3)",
                       "The file %1 holds no frame (rows skipped: %2%3)",
                       "Il file %1 non contiene fotogrammi (righe scartate: %2%3)")
                       .arg(shown(path), QString::number(parsed.skipped),
                            DriveLog::badReferenceNote(parsed.badReference));
    return load;
  }
  load.data = decodeDriveLog(std::move(parsed));
  load.data->path = path;
  load.data->recorded = recordingTime(path);
  load.data->written = QFileInfo(path).lastModified();
  return load;
}

QDateTime recordingTime(const QString& path) {
  const QString stamp = QStringLiteral("yyyy-MM-dd_HH-mm-ss");
  return QDateTime::fromString(QFileInfo(path).completeBaseName().left(stamp.size()), stamp);
}

CursorReading cursorReading(const LogData& log, std::size_t row) {
  CursorReading c;
  if (row >= log.rows.size()) return c;
  const DriveLogRow& r = log.rows[row];
  c.time = clockTextMs(r.timeMs);
  LiveDecoder decoder;
  decoder.settings = r.settings;
  const LiveReadings shown = decoder.decode(displayedBytes(r.raw));
  // Without a speed of its own the frame leaves the read-out as the last measured frame set it.
  std::size_t at = row;
  while (at > 0 && std::isnan(log.lanes[0][at]))
    --at;
  if (!std::isnan(log.lanes[0][at])) {
    const EngineSpeed speed = engineSpeed(log.rows[at].settings.idlePeriodReference,
                                          log.rows[at].raw[4] + 256 * log.rows[at].raw[5]);
    c.values[0] = QString::number(speed.shown);
  } else {
    c.values[0] = QStringLiteral("—");
  }
  c.values[1] = shown.lambdaText;
  c.values[2] = shown.tpsText;
  c.values[3] = lambdaVoltText(r.raw[3]);
  c.values[4] = QString::number(shown.valve);
  for (Lane lane : kAllLanes) {
    const auto k = static_cast<std::size_t>(lane);
    if (c.values[k] != QStringLiteral("—")) c.values[k] += QLatin1Char(' ') + laneUnit(lane);
  }
  return c;
}

QString clockTextMs(qint64 ms) {
  if (ms < 0) ms = 0;
  const qint64 s = ms / 1000;
  const QLatin1Char zero('0');
  const QString fraction = QStringLiteral(".%1").arg(ms % 1000, 3, 10, zero);
  if (s < 3600) return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, zero) + fraction;
  return QStringLiteral("%1:%2:%3")
             .arg(s / 3600)
             .arg(s / 60 % 60, 2, 10, zero)
             .arg(s % 60, 2, 10, zero) +
         fraction;
}

}  // namespace orvel
