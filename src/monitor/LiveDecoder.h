#pragma once

#include <QString>

#include <array>
#include <cstdint>

namespace orvel {

// What one live frame (the 8-byte reply to 02h) means for the display, computed without any
// widget so that every rule can be checked on its own. The panel only shows the result.

// The TPS sensor's range class, chosen on entry to oscilloscope mode from the autocalibration's
// TPS averages; it decides the TPS chart's scale and labels.
enum class TpsRange { Rising5V, Falling5V, Rising12V, Falling12V };

// The class names the fitter knows them by: "0/5", "5\0", "0/12", "12\0".
QString tpsRangeName(TpsRange range);
// low: TPS average at idle, high: at about 3000 rpm. Before any autocalibration both are 0,
// which gives the 12 V class.
TpsRange chooseTpsRange(int low, int high);
bool isFiveVolt(TpsRange range);

// Chart values: full range lands on row 2, 0 V on row 80.
// The lambda range key is the text of the settings template's "Maksimum sondy lambda1" line:
// "51" (0..1 V probe), "82" (0.8..1.6 V), "255" (0..5 V); anything else scales like "51".
int lambdaChartValue(int byte0, const QString& lambdaKey);
int tpsChartValue(int byte1, TpsRange range);
// Pixel row of a chart value: 80 - round(value * 100 / 327). Values above 255 climb onto the
// frame and beyond; the chart clips them.
int chartRow(int value);

// The lambda indicator bar: eight one-bit indicators of which exactly one is lit.
constexpr int kIndicators = 8;
// Thresholds t(1)..t(7) = round(range * k / 8).
std::array<int, kIndicators - 1> lambdaThresholds(int range);
// The 0.8..1.6 V probe (both autocalibration ends above 10) is shown from its 0.8 V offset.
int lambdaIndicatorValue(int byte0, int lambdaLow, int lambdaHigh);
// Which indicator is lit, counted from the bottom: 0 is the lean end, 7 the rich (top) end.
int litIndicator(int value, int range);

struct EngineSpeed {
  enum class Kind {
    Unknown,   // no idle period reference: the display is left alone
    Fault,     // period 0 with a reference: interference, the fitter is warned
    Measured,  // rpm and its read-out are valid
  };
  Kind kind = Kind::Unknown;
  int rpm = 0;    // bar value (below 300 rpm shown as 0)
  int shown = 0;  // read-out, in 50 rpm steps
};
EngineSpeed engineSpeed(std::int32_t idlePeriodReference, int period);

// Raw bytes 0..6 of a live frame (byte 7, the end mark, is not read).
using LiveFrame = std::array<int, 7>;

struct LiveSettings {
  QString lambdaKey;  // settings template line 33 when the mode was entered
  TpsRange tpsRange = TpsRange::Rising12V;
  int lambdaBarRange = 255;
  int lambdaLow = 0;  // autocalibration's probe ends, for the 0.8 V offset only
  int lambdaHigh = 0;
  std::int32_t idlePeriodReference = 0;
};

struct LiveReadings {
  int lambdaRow = 0;
  QString lambdaText;  // two-decimal volts
  int litIndicator = 0;
  int tpsRow = 0;
  QString tpsText;  // two-decimal volts
  int tpsBar = 0;
  int lambda2Row = 0;
  EngineSpeed speed;
  int valve = 0;  // 255 = fully open; bar and read-out
};

class LiveDecoder {
 public:
  LiveSettings settings;
  LiveReadings decode(const LiveFrame& frame) const;
};

}  // namespace orvel
