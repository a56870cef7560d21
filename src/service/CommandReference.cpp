#include "service/CommandReference.h"

#include "link/Protocol.h"

#include <QByteArray>

namespace orvel {

namespace {

QString hex(std::uint8_t value) {
  return toHexText(QByteArray(1, static_cast<char>(value)));
}

// Entries 17 and 21 to 29 set their number off with a space instead of a tab; the lines of 21 to
// 29 after the title are indented by spaces.
QString numberSeparator(int number) {
  return number == 17 || number >= 21 ? QStringLiteral(" ") : QStringLiteral("\t");
}
QString indent(int number) {
  return number >= 21 ? QString(8, QLatin1Char(' ')) : QStringLiteral("\t");
}

const QString kPeriodUnit = QStringLiteral("T=Data*4*8/Fosc");
const QString kInvertedPosition = QStringLiteral("255 - pozycja");

// Byte k of the settings block under its number k + 1, the numbering of the reply list's lines.
// Each names the command that sets it, where the reference lists one, for its unit.
QStringList settingsBlockItems() {
  const auto one = [](const QString& what, std::uint8_t setBy) {
    return what + QStringLiteral(" (jak %1)").arg(hex(setBy));
  };
  const auto word = [](const QString& what, std::uint8_t setBy) {
    const QString tail = setBy ? QStringLiteral(" (jak %1)").arg(hex(setBy)) : QString();
    return QStringList{what + QStringLiteral(" LSB") + tail, what + QStringLiteral(" MSB") + tail};
  };
  const QString inverted = QStringLiteral(" (") + kInvertedPosition + QLatin1Char(')');
  QStringList items;
  items << one(QStringLiteral("próg czujnika gazu"), cmd::GasThreshold);
  items << word(QStringLiteral("sonda lambda 1: czas TH"), cmd::Lambda1Shape);
  items << word(QStringLiteral("sonda lambda 1: okres TH+TL"), cmd::Lambda1Shape);
  items << one(QStringLiteral("próg TPS"), cmd::TpsThreshold);
  items << word(QStringLiteral("próg obrotów G/B, okres"), cmd::ChangeoverSpeed);
  items << one(QStringLiteral("flagi instalacji"), cmd::InstallationFlags);
  items << one(QStringLiteral("próg sondy lambda"), cmd::LambdaThreshold);
  items << QStringLiteral("silnik krokowy max") + inverted;
  items << QStringLiteral("silnik krokowy min") + inverted;
  items << QStringLiteral("pozycja startowa silnika") + inverted;
  items << word(QStringLiteral("maksymalne obroty na gazie, okres"), cmd::MaxSpeedOnGas);
  items << word(QStringLiteral("opóźnienie przełączenia B/G"), cmd::ChangeoverDelay);
  items << word(QStringLiteral("różnica obrotów na opadających"), cmd::FallingDelta);
  items << word(QStringLiteral("obroty cutoff, okres"), cmd::CutoffSpeed);
  items << QStringLiteral("pozycja silnika na cutoff") + inverted;
  items << one(QStringLiteral("opóźnienie po włączeniu zasilania"), cmd::PowerOnDelay);
  items << word(QStringLiteral("sonda lambda 2: czas TH"), cmd::Lambda2Shape);
  items << word(QStringLiteral("sonda lambda 2: okres TH+TL"), cmd::Lambda2Shape);
  items << one(QStringLiteral("funkcja przyśpieszania, kroki"), cmd::AccelerationSteps);
  items << word(QStringLiteral("prędkość silnika krokowego poniżej TPS"), cmd::IdleStepperSpeed);
  items << one(QStringLiteral("kroki przy małym stężeniu gazu"), cmd::LowGasSteps);
  items << one(QStringLiteral("zakres sondy lambda 1"), cmd::Lambda1Range);
  items << word(QStringLiteral("okres wolnych obrotów (800 obr/min; 0101h: brak kalibracji)"), 0);
  items << word(QStringLiteral("prędkość silnika krokowego powyżej TPS"), 0);
  items << hex(kAcknowledge);
  return items;
}

// Bits 0 to 6 of the installation flags byte; bit 7 means nothing. Bit 6 reads as the program
// and the settings editor use it.
QStringList flagBitLines() {
  return {
      QStringLiteral("bit 0: czujnik TPS: 0 - rosnący, 1 - malejący"),
      QStringLiteral("bit 1: sonda lambda: 0 - rosnąca, 1 - malejąca"),
      QStringLiteral("bit 2: sygnał obrotów: 0 - rosnący, 1 - malejący"),
      QStringLiteral("bit 3: czujnik gazu: 0 - brak, 1 - obecny"),
      QStringLiteral("bit 4: funkcja cutoff: 0 - wyłączona, 1 - włączona"),
      QStringLiteral("bit 5: po włączeniu zasilania: 0 - benzyna, 1 - tryb Auto"),
      QStringLiteral("bit 6: tryb pracy: 0 - praca ekonomiczna, 1 - praca dynamiczna"),
  };
}

QString replyText(const QStringList& items) {
  return items.join(QStringLiteral(", "));
}

// The reply of one command as the text shows it: short replies on the "Dane odebrane:" line,
// longer ones numbered one per line below it.
QStringList replyLines(std::uint8_t code) {
  const QString label = QStringLiteral("Dane odebrane:");
  const std::optional<int> length = statedReplyLength(code);
  if (!length) return {label + QStringLiteral(" nie określono")};
  const QStringList items = replyItems(code);
  if (items.isEmpty()) return {label + QStringLiteral(" brak")};
  if (items.size() <= 3) return {label + QLatin1Char(' ') + replyText(items)};
  QStringList lines{label};
  for (int k = 0; k < items.size(); ++k)
    lines << QStringLiteral("%1. %2").arg(k + 1).arg(items.at(k));
  return lines;
}

}  // namespace

QStringList replyItems(std::uint8_t code) {
  const QString ack = hex(kAcknowledge);
  switch (code) {
    case cmd::Identify:
      return {hex(kDeviceNumber) + QStringLiteral(" (numer urządzenia)"), ack};
    case cmd::LiveData:
      return {QStringLiteral("sonda lambda 1"),
              QStringLiteral("TPS"),
              QStringLiteral("czujnik gazu (14%)"),
              QStringLiteral("podciśnienie"),
              QStringLiteral("okres silnika LSB"),
              QStringLiteral("okres silnika MSB"),
              QStringLiteral("pozycja silnika krokowego"),
              ack};
    case cmd::ReadSettings:
      return settingsBlockItems();
    case cmd::ReadPeriod:
      return {QStringLiteral("okres silnika LSB"), QStringLiteral("okres silnika MSB"), ack};
    case cmd::ReadStepper:
      return {QStringLiteral("pozycja silnika krokowego"), ack};
    default:
      break;
  }
  return statedReplyLength(code).value_or(0) == 1 ? QStringList{ack} : QStringList{};
}

QString unitFormula(std::uint8_t code) {
  switch (code) {
    case cmd::LiveData:
    case cmd::ChangeoverSpeed:
    case cmd::ReadPeriod:
    case cmd::MaxSpeedOnGas:
    case cmd::FallingDelta:
    case cmd::CutoffSpeed:
      return kPeriodUnit;
    case cmd::Lambda1Shape:
    case cmd::Lambda2Shape:
      return QStringLiteral("T=Data*256*4*16/Fosc-4ms");
    case cmd::ChangeoverDelay:
      return QStringLiteral("T=data*256*4*16/Fosc  [s]");
    case cmd::PowerOnDelay:
      return QStringLiteral("T=Data*200ms");
    case cmd::IdleStepperSpeed:
      return QStringLiteral("T=(-Data)*16*4/Fosc [s]");
    default:
      return QString();
  }
}

const std::vector<ReferenceEntry>& commandReference() {
  static const std::vector<ReferenceEntry> entries = {
      {1,
       {QStringLiteral("Rozpoczęcie komunikacji:")},
       QStringLiteral("170=AAh"),
       {cmd::StartCommunication},
       {QStringLiteral("Sterownik przechodzi w tryb ustawień.")}},
      {2,
       {QStringLiteral("Zakończenie komunikacji:")},
       QStringLiteral("10=0Ah"),
       {cmd::EndCommunication},
       {}},
      {3, {QStringLiteral("Weryfikacja urządzenia:")}, QStringLiteral("01h"), {cmd::Identify}, {}},
      {4,
       {QStringLiteral("Odczyt kanałów analogowych i prędkości obrotowej oraz pozycji "),
        QStringLiteral("silnika krokowego:")},
       QStringLiteral("02h"),
       {cmd::LiveData},
       {}},
      {5,
       {QStringLiteral("Otwarcie/zamknięcie zaworu dopływu gazu (silnik krokowy):")},
       QStringLiteral("03h/04h, [xx]"),
       {cmd::OpenValve, cmd::CloseValve},
       {QStringLiteral("[xx] - liczba kroków")}},
      {6,
       {QStringLiteral("Podanie progu wyzwalania czujnika gazu 14%")},
       QStringLiteral("05h, [xx]"),
       {cmd::GasThreshold},
       {}},
      {7,
       {QStringLiteral("Ustawianie kształtu sygnału sondy lambda:")},
       QStringLiteral("06h, [LSBx],[MSBx], [LSBy],[MSBy]"),
       {cmd::Lambda1Shape},
       {QStringLiteral("x - czas TH, y - okres TH+TL")}},
      {8,
       {QStringLiteral("Podanie progu wyzwalania czujnika TPS")},
       QStringLiteral("07h, [xx]"),
       {cmd::TpsThreshold},
       {}},
      {9,
       {QStringLiteral("Próg obrotów przełącznika gaz/benzyna (czas opóźnienia "),
        QStringLiteral("wyłączenia benzyny):")},
       QStringLiteral("08h, [LSB], [MSB]"),
       {cmd::ChangeoverSpeed},
       {}},
      {10,
       {QStringLiteral("Odczyt ustawionych wartości:")},
       QStringLiteral("09h"),
       {cmd::ReadSettings},
       {}},
      {11,
       {QStringLiteral("Flagi instalacji gazowej – ustawianie:")},
       QStringLiteral("11=0Bh, [xx]"),
       {cmd::InstallationFlags},
       flagBitLines()},
      {12,
       {QStringLiteral("Odczyt okresu silnika")},
       QStringLiteral("12=0Ch"),
       {cmd::ReadPeriod},
       {}},
      {13,
       {QStringLiteral("Odczyt/zapis pozycji silnika krokowego")},
       QStringLiteral("13/14=0Dh/0Eh,  [xx]"),
       {cmd::ReadStepper, cmd::SetStepper},
       {QStringLiteral("[xx] - pozycja (tylko zapis)")}},
      {14,
       {QStringLiteral("Ustawienie prógu sondy lambda")},
       QStringLiteral("15=0Fh, [xx]"),
       {cmd::LambdaThreshold},
       {}},
      {15,
       {QStringLiteral("Kasowanie Eepromu:")},
       QStringLiteral("16=10h"),
       {cmd::EraseEeprom},
       {QStringLiteral("Po skasowaniu sterownik trzeba wyłączyć.")}},
      {16,
       {QStringLiteral("Zapis do Eepromu:")},
       QStringLiteral("17=11h"),
       {cmd::WriteEeprom},
       {QStringLiteral("Sterownik pozostaje w trybie ustawień.")}},
      {17,
       {QStringLiteral("Podanie maksymalnej i minimalnej pozycji silnika:")},
       QStringLiteral("18=12h, [max], [min]"),
       {cmd::StepperRange},
       {QStringLiteral("[max], [min] jako ") + kInvertedPosition}},
      {18,
       {QStringLiteral("Ustawienie pozycji startowej silnika krokowego do rozpoczęcia "),
        QStringLiteral("autokalibracji (na 1/3 zakresu otwarcia):")},
       QStringLiteral("19=13h, [xx]"),
       {cmd::StepperStart},
       {QStringLiteral("[xx] jako ") + kInvertedPosition}},
      {19,
       {QStringLiteral("Podanie górnego progu obrotów przy którym układ przejdzie "),
        QStringLiteral("ponownie na benzynę:")},
       QStringLiteral("20=14h, [LSB], [MSB]"),
       {cmd::MaxSpeedOnGas},
       {QStringLiteral("Wartość 1 wyłącza ograniczenie.")}},
      {20,
       {QStringLiteral("Podanie opóźnienia przy przełączaniu z benzyny na gaz:")},
       QStringLiteral("21=15h, [LSB], [MSB]"),
       {cmd::ChangeoverDelay},
       {QStringLiteral("Używane, gdy nie ma czujnika gazu.")}},
      {21,
       {QStringLiteral("Ustawienie różnicy obrotów do przełączania na opadających")},
       QStringLiteral("22=16h [LSB,MSB]"),
       {cmd::FallingDelta},
       {}},
      {22,
       {QStringLiteral("Pozycja silnika krokowego na cutoff.")},
       QStringLiteral("23=17h [xx]"),
       {cmd::CutoffPosition},
       {QStringLiteral("[xx] jako ") + kInvertedPosition}},
      {23,
       {QStringLiteral("Ustawienie obrotów zadziałania cutoff.")},
       QStringLiteral("24=18h[LSB,MSB]"),
       {cmd::CutoffSpeed},
       {}},
      {24,
       {QStringLiteral("Ustawienie opóźnienia po włączeniu zasilania.")},
       QStringLiteral("25=19h [xx]"),
       {cmd::PowerOnDelay},
       {}},
      {25,
       {QStringLiteral("Parametry symulacji drugiej sondy lambda")},
       QStringLiteral("26=1ah [LSBx, MSBx] [LSBy, MSBy]"),
       {cmd::Lambda2Shape},
       {QStringLiteral("x - czas TH, y - okres TH+TL")}},
      {26,
       {QStringLiteral("Ustaw parametry funkcji przyśpieszania")},
       QStringLiteral("27=1Bh [xx]"),
       {cmd::AccelerationSteps},
       {QStringLiteral("[xx] - liczba kroków otwarcia (2..50)")}},
      {27,
       {QStringLiteral("Ustaw prędkość silnika krokowego na luzie")},
       QStringLiteral("28=1Ch [LSB,  MSB]"),
       {cmd::IdleStepperSpeed},
       {}},
      {28,
       {QStringLiteral("Ustawienie ile kroków otworzyć silnik krokowy jeśli małe stężenie "),
        QStringLiteral("gazu")},
       QStringLiteral("29=1Dh [xx]"),
       {cmd::LowGasSteps},
       {QStringLiteral("[xx] - liczba kroków (1..50)")}},
      {29,
       {QStringLiteral("Podanie zakresu symulacji sondy Lambda 1")},
       QStringLiteral("30=1Eh [xx]"),
       {cmd::Lambda1Range},
       {QStringLiteral("[xx]: 0 - 5 V, 1 - 1 V, 2 - 1.6 V")}},
  };
  return entries;
}

QStringList referenceLines(const ReferenceEntry& entry) {
  const QString in = indent(entry.number);
  QStringList lines;
  lines << QString::number(entry.number) + QLatin1Char(')') + numberSeparator(entry.number) +
               entry.title.value(0);
  for (int k = 1; k < entry.title.size(); ++k)
    lines << in + entry.title.at(k);
  lines << in + entry.command;

  // Commands described together answer alike, except reading and setting the stepper position,
  // whose replies are told apart by their codes.
  bool alike = true;
  for (std::uint8_t code : entry.codes)
    alike = alike && replyItems(code) == replyItems(entry.codes.front());
  for (std::uint8_t code : entry.codes) {
    QStringList own = replyLines(code);
    if (!alike) own.first().replace(QStringLiteral(": "), QStringLiteral(": %1: ").arg(hex(code)));
    for (const QString& line : own)
      lines << in + line;
    if (alike) break;
  }
  const QString unit = unitFormula(entry.codes.front());
  if (!unit.isEmpty()) lines << in + QStringLiteral("Jednostka: ") + unit;
  for (const QString& remark : entry.remarks)
    lines << in + remark;
  return lines;
}

QString referenceText() {
  QStringList entries;
  for (const ReferenceEntry& entry : commandReference())
    entries << referenceLines(entry).join(QLatin1Char('\n'));
  return entries.join(QStringLiteral("\n\n")) + QLatin1Char('\n');
}

}  // namespace orvel
