#pragma once

#include "link/Protocol.h"
#include "monitor/LiveDecoder.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace orvel {

// A drive log is a CSV file, plain ASCII with CR LF line ends like the program's other files: a
// header line, then one row per live frame shown in oscilloscope mode. The columns never change
// their order:
//
//   time_s            seconds since recording started, three decimals ("12.345")
//   rpm               engine speed as the bar shows it; empty when the display had none (no
//                     idle period reference, or a period of 0)
//   lambda1_V         lambda probe 1, as its read-out shows it ("0.45")
//   tps_V             TPS, as its read-out shows it ("1.00")
//   lambda2_V         the Lambda 2 chart's channel (byte 3, 0..5 V), the same two-decimal text
//   valve             valve position as its read-out shows it, 255 = fully open
//   raw_hex           the frame's eight bytes as received ("33 14 07 80 4C 04 C8 01")
//   lambda_key, tps_range, lambda_bar_range, lambda_low, lambda_high, idle_reference
//                     what the display needed besides the bytes: the lambda chart's range key,
//                     the TPS range class ("0/5", "5\0", "0/12", "12\0"), the lambda bar's range,
//                     the autocalibration's probe ends and the idle period reference
//
// The first columns are for people and spreadsheets; a replay shows each row from its bytes and
// its display settings, through the same decoder as the live display, so it shows exactly what
// was shown when it was recorded, whatever the program knows about the controller today.

// All eight bytes of a live frame as they came off the line (byte 7 is the end mark).
using RawLiveFrame = std::array<std::uint8_t, kLiveFrameLength>;

// The bytes the live display reads (0..6).
LiveFrame displayedBytes(const RawLiveFrame& raw);

struct DriveLogRow {
  qint64 timeMs = 0;  // since the recording started
  RawLiveFrame raw{};
  LiveSettings settings;
};

constexpr int kDriveLogColumns = 13;
// The largest idle period reference there is: the settings block, the sampling runs and the
// controller's 1Fh all carry it in two bytes. A larger one is no log of this program's, and its
// speeds would overflow.
constexpr std::int32_t kMaxIdleReference = 65535;

// The header line, CR LF included.
QByteArray driveLogHeader();
// One row, CR LF included.
QByteArray formatDriveLogRow(const DriveLogRow& row);
// One line without its line end; nothing when it is not a well-formed row.
std::optional<DriveLogRow> parseDriveLogRow(const QByteArray& line);

struct ParsedDriveLog {
  bool recognised = false;  // the file starts with the header line
  std::vector<DriveLogRow> rows;
  int skipped = 0;       // malformed rows, and rows whose time runs backwards
  int badReference = 0;  // of the skipped, those with an idle reference beyond kMaxIdleReference
};
// A whole file. Lines may end in CR LF or LF; blank lines are ignored; a UTF-8 byte order mark
// (left by a spreadsheet) is allowed before the header.
ParsedDriveLog parseDriveLog(const QByteArray& bytes);

// The lambda range key as a log column: the template's text when it is a plain short token,
// otherwise "?", which the display treats the same way (an unknown key).
QByteArray driveLogKey(const QString& lambdaKey);

}  // namespace orvel
