// The lambda shape pictogram, pixel by pixel.
#include <QtTest>

#include "settings/ShapePictogram.h"

using namespace orvel;

namespace {

const QRgb kRed = qRgb(255, 0, 0);
const QRgb kWhite = qRgb(255, 255, 255);

// The picture as rows of '#' (red) and '.' (white); anything else shows as '?'.
QStringList rows(const QImage& image) {
  QStringList out;
  for (int y = 0; y < image.height(); ++y) {
    QString row;
    for (int x = 0; x < image.width(); ++x) {
      const QRgb p = image.pixel(x, y);
      row += p == kRed ? QLatin1Char('#') : p == kWhite ? QLatin1Char('.') : QLatin1Char('?');
    }
    out << row;
  }
  return out;
}

QString line(int from, int to, int width = kShapePictogramWidth) {
  QString row(width, QLatin1Char('.'));
  for (int x = from; x <= to && x < width; ++x)
    row[x] = QLatin1Char('#');
  return row;
}

}  // namespace

class TestEditorPictogram : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void flatShapes_data();
  void flatShapes();
  void squareWave();
  void redrawLeavesNothingBehind();
};

void TestEditorPictogram::flatShapes_data() {
  QTest::addColumn<int>("high");
  QTest::addColumn<int>("low");
  QTest::addColumn<int>("y");
  QTest::newRow("TH 0: always low") << 0 << 500 << 19;
  QTest::newRow("period 0: low") << 0 << 0 << 19;
  QTest::newRow("TL 0: always high") << 500 << 0 << 1;
}

void TestEditorPictogram::flatShapes() {
  QFETCH(int, high);
  QFETCH(int, low);
  QFETCH(int, y);
  QImage image = blankShapePictogram();
  drawShapePictogram(image, high, low);
  QCOMPARE(image.size(), QSize(47, 21));
  const QStringList picture = rows(image);
  for (int row = 0; row < picture.size(); ++row) {
    // The line runs from x = 1 and is clipped at the right edge.
    QCOMPARE(picture.at(row), row == y ? line(1, 49) : line(1, 0));
  }
}

void TestEditorPictogram::squareWave() {
  // 500 / 1000: the switch point 12.5 goes to the even 12, so each high part is 13 pixels.
  QImage image = blankShapePictogram();
  drawShapePictogram(image, 500, 500);
  const QStringList picture = rows(image);
  QCOMPARE(picture.at(0), line(1, 0));
  QCOMPARE(picture.at(1), line(1, 13).replace(26, 13, QString(13, QLatin1Char('#'))));
  QString riseAndFall = line(1, 0);
  for (int x : {1, 13, 26, 38})
    riseAndFall[x] = QLatin1Char('#');
  for (int y = 2; y <= 18; ++y)
    QCOMPARE(picture.at(y), riseAndFall);
  QString bottom = line(13, 26);
  bottom.replace(38, 9, QString(9, QLatin1Char('#')));
  bottom[1] = QLatin1Char('#');
  QCOMPARE(picture.at(19), bottom);
  QCOMPARE(picture.at(20), line(1, 0));
}

void TestEditorPictogram::redrawLeavesNothingBehind() {
  QImage image = blankShapePictogram();
  drawShapePictogram(image, 300, 700);
  drawShapePictogram(image, 0, 700);
  QImage expected = blankShapePictogram();
  drawShapePictogram(expected, 0, 700);
  QCOMPARE(image, expected);
}

QTEST_MAIN(TestEditorPictogram)
#include "test_editor_pictogram.moc"
