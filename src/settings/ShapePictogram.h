#pragma once

#include <QImage>

namespace orvel {

// The lambda shape pictogram of the editor (Image1, 47 x 21): two periods of the simulated
// signal, high time TH and low time TL in ms.
constexpr int kShapePictogramWidth = 47;
constexpr int kShapePictogramHeight = 21;

// A blank pictogram, as the editor shows it before any shape was sent.
QImage blankShapePictogram();

// Redraws the shape on an existing pictogram: the area x 0..50, y 0..19 is painted white (what
// lies outside the image is clipped, the bottom row is left as it was), then the shape in pure
// red: a low line when TH or the period is 0, a high line when TL is 0, otherwise a square wave
// switching at round(TH * 25 / period) within each 25-pixel period.
void drawShapePictogram(QImage& image, long long high, long long low);

// The fixed picture beside it: one pulse with its high time marked "TH" and its low time "TL".
QImage pulsePicture();

}  // namespace orvel
