#include "monitor/DriveLogFormat.h"

#include "settings/Conversions.h"

#include <array>

#include <limits>

namespace orvel {

namespace {

constexpr char kHeader[] =
    "time_s,rpm,lambda1_V,tps_V,lambda2_V,valve,raw_hex,lambda_key,tps_range,lambda_bar_range,"
    "lambda_low,lambda_high,idle_reference";

constexpr int kMaxKeyLength = 12;

bool isKeyChar(char c, bool parsing) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '.' ||
         c == '+' || c == '-' || (parsing && c == '?');
}

void appendNumber(QByteArray& out, long long value) {
  char digits[24];
  int n = 0;
  const bool negative = value < 0;
  unsigned long long v = negative ? 0ull - static_cast<unsigned long long>(value)
                                  : static_cast<unsigned long long>(value);
  do {
    digits[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  if (negative) out.append('-');
  while (n > 0)
    out.append(digits[--n]);
}

void appendHexByte(QByteArray& out, std::uint8_t b) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out.append(kHex[b >> 4]);
  out.append(kHex[b & 0x0F]);
}

// A whole number of decimal digits only, at most `max`.
std::optional<long long> parseDigits(QByteArrayView field, long long max) {
  if (field.isEmpty() || field.size() > 10) return std::nullopt;
  long long v = 0;
  for (char c : field) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  if (v > max) return std::nullopt;
  return v;
}

// "12", "12.3", "12.345": milliseconds.
std::optional<qint64> parseSeconds(QByteArrayView field) {
  const qsizetype dot = field.indexOf('.');
  const QByteArrayView whole = dot < 0 ? field : field.first(dot);
  const auto seconds = parseDigits(whole, 999'999'999);
  if (!seconds) return std::nullopt;
  qint64 ms = *seconds * 1000;
  if (dot >= 0) {
    const QByteArrayView fraction = field.sliced(dot + 1);
    if (fraction.isEmpty() || fraction.size() > 3) return std::nullopt;
    const auto f = parseDigits(fraction, 999);
    if (!f) return std::nullopt;
    long long scaled = *f;
    for (qsizetype k = fraction.size(); k < 3; ++k)
      scaled *= 10;
    ms += scaled;
  }
  return ms;
}

// A read-out's volt text: whole volts and up to two decimals.
bool isVoltText(QByteArrayView field) {
  const qsizetype dot = field.indexOf('.');
  if (dot <= 0 || dot > 2 || field.size() - dot - 1 < 1 || field.size() - dot - 1 > 2) {
    return false;
  }
  for (qsizetype k = 0; k < field.size(); ++k) {
    if (k != dot && (field[k] < '0' || field[k] > '9')) return false;
  }
  return true;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Eight two-digit hex bytes separated by single spaces.
std::optional<RawLiveFrame> parseRaw(QByteArrayView field) {
  if (field.size() != kLiveFrameLength * 3 - 1) return std::nullopt;
  RawLiveFrame raw{};
  for (int k = 0; k < kLiveFrameLength; ++k) {
    const int at = k * 3;
    if (k > 0 && field[at - 1] != ' ') return std::nullopt;
    const int hi = hexValue(field[at]);
    const int lo = hexValue(field[at + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    raw[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(hi * 16 + lo);
  }
  return raw;
}

std::optional<TpsRange> parseTpsRange(QByteArrayView field) {
  if (field == "0/5") return TpsRange::Rising5V;
  if (field == "5\\0") return TpsRange::Falling5V;
  if (field == "0/12") return TpsRange::Rising12V;
  if (field == "12\\0") return TpsRange::Falling12V;
  return std::nullopt;
}

// A row read field by field in place: a long log is read without a copy of each field.
// `badReference` is set for a row that is well formed but for its idle reference.
std::optional<DriveLogRow> parseRow(QByteArrayView line, bool* badReference = nullptr) {
  std::array<QByteArrayView, kDriveLogColumns> f;
  qsizetype from = 0;
  for (int k = 0; k < kDriveLogColumns; ++k) {
    const qsizetype comma = line.indexOf(',', from);
    const bool lastField = k == kDriveLogColumns - 1;
    if ((comma < 0) != lastField) return std::nullopt;
    const qsizetype end = lastField ? line.size() : comma;
    f[static_cast<std::size_t>(k)] = line.sliced(from, end - from);
    from = end + 1;
  }
  DriveLogRow row;
  const auto time = parseSeconds(f[0]);
  if (!time) return std::nullopt;
  row.timeMs = *time;
  if (!f[1].isEmpty() && !parseDigits(f[1], 999'999)) return std::nullopt;
  if (!isVoltText(f[2]) || !isVoltText(f[3]) || !isVoltText(f[4])) return std::nullopt;
  if (!parseDigits(f[5], 255)) return std::nullopt;
  const auto raw = parseRaw(f[6]);
  if (!raw) return std::nullopt;
  row.raw = *raw;

  const QByteArrayView key = f[7];
  if (key.isEmpty() || key.size() > kMaxKeyLength) return std::nullopt;
  for (char c : key)
    if (!isKeyChar(c, true)) return std::nullopt;
  row.settings.lambdaKey = QString::fromLatin1(key);
  const auto tps = parseTpsRange(f[8]);
  if (!tps) return std::nullopt;
  row.settings.tpsRange = *tps;
  const auto barRange = parseDigits(f[9], 65535);
  const auto low = parseDigits(f[10], 255);
  const auto high = parseDigits(f[11], 255);
  const auto reference = parseDigits(f[12], std::numeric_limits<std::int32_t>::max());
  if (!barRange || !low || !high || !reference) return std::nullopt;
  if (*reference > kMaxIdleReference) {
    if (badReference) *badReference = true;
    return std::nullopt;
  }
  row.settings.lambdaBarRange = static_cast<int>(*barRange);
  row.settings.lambdaLow = static_cast<int>(*low);
  row.settings.lambdaHigh = static_cast<int>(*high);
  row.settings.idlePeriodReference = static_cast<std::int32_t>(*reference);
  return row;
}

}  // namespace

LiveFrame displayedBytes(const RawLiveFrame& raw) {
  LiveFrame frame{};
  for (std::size_t k = 0; k < frame.size(); ++k)
    frame[k] = raw[k];
  return frame;
}

QByteArray driveLogHeader() {
  return QByteArray(kHeader) + "\r\n";
}

QByteArray driveLogKey(const QString& lambdaKey) {
  if (lambdaKey.isEmpty() || lambdaKey.size() > kMaxKeyLength) return QByteArrayLiteral("?");
  QByteArray key = lambdaKey.toLatin1();
  for (qsizetype k = 0; k < key.size(); ++k) {
    if (lambdaKey.at(k).unicode() > 0x7F || !isKeyChar(key.at(k), false)) {
      return QByteArrayLiteral("?");
    }
  }
  return key;
}

QByteArray formatDriveLogRow(const DriveLogRow& row) {
  const RawLiveFrame& b = row.raw;
  const LiveSettings& s = row.settings;
  QByteArray out;
  out.reserve(128);
  const qint64 ms = row.timeMs < 0 ? 0 : row.timeMs;
  appendNumber(out, ms / 1000);
  out.append('.');
  const int fraction = static_cast<int>(ms % 1000);
  out.append(static_cast<char>('0' + fraction / 100));
  out.append(static_cast<char>('0' + fraction / 10 % 10));
  out.append(static_cast<char>('0' + fraction % 10));
  out.append(',');
  const EngineSpeed speed = engineSpeed(s.idlePeriodReference, b[4] + 256 * b[5]);
  if (speed.kind == EngineSpeed::Kind::Measured) appendNumber(out, speed.rpm);
  out.append(',');
  out.append(lambdaVoltText(b[0]).toLatin1());
  out.append(',');
  out.append(tpsVoltText(b[1]).toLatin1());
  out.append(',');
  out.append(lambdaVoltText(b[3]).toLatin1());
  out.append(',');
  appendNumber(out, 255 - b[6]);
  out.append(',');
  for (std::size_t k = 0; k < b.size(); ++k) {
    if (k > 0) out.append(' ');
    appendHexByte(out, b[k]);
  }
  out.append(',');
  out.append(driveLogKey(s.lambdaKey));
  out.append(',');
  out.append(tpsRangeName(s.tpsRange).toLatin1());
  out.append(',');
  appendNumber(out, s.lambdaBarRange);
  out.append(',');
  appendNumber(out, s.lambdaLow);
  out.append(',');
  appendNumber(out, s.lambdaHigh);
  out.append(',');
  appendNumber(out, s.idlePeriodReference);
  out.append("\r\n");
  return out;
}

std::optional<DriveLogRow> parseDriveLogRow(const QByteArray& line) {
  return parseRow(line);
}

ParsedDriveLog parseDriveLog(const QByteArray& bytes) {
  ParsedDriveLog log;
  qsizetype at = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
  const QByteArray header(kHeader);
  bool headerSeen = false;
  qint64 lastTime = -1;
  while (at < bytes.size()) {
    qsizetype end = bytes.indexOf('\n', at);
    if (end < 0) end = bytes.size();
    QByteArrayView line = QByteArrayView(bytes).sliced(at, end - at);
    at = end + 1;
    if (line.endsWith('\r')) line.chop(1);
    if (line.isEmpty()) continue;
    if (!headerSeen) {
      // Anything but the header first: not a drive log at all.
      if (line != header) return log;
      headerSeen = true;
      log.recognised = true;
      continue;
    }
    bool badReference = false;
    auto row = parseRow(line, &badReference);
    // A replay plays forward in time; a row that goes back (two files pasted together, an edit)
    // is not played rather than jumping.
    if (!row || row->timeMs < lastTime) {
      ++log.skipped;
      if (badReference) ++log.badReference;
      continue;
    }
    lastTime = row->timeMs;
    log.rows.push_back(std::move(*row));
  }
  return log;
}

}  // namespace orvel
