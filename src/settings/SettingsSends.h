#pragma once

#include "core/Language.h"
#include "link/Protocol.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace orvel {

// The editor's own messages, in the interface's language (Polish, else Italian).
namespace editor_text {
inline QString title() {
  return plIt(QStringLiteral("Błąd"), QStringLiteral("Errore"));
}
inline QString badSpeed() {
  return plIt(QStringLiteral("Błędna dana"), QStringLiteral("Dato errato"));
}
inline QString speedRange() {
  return plIt(QStringLiteral("Prędkość w granicach 1...24"),
              QStringLiteral("Velocità nei limiti 1...24"));
}
inline QString badShape() {
  return plIt(QStringLiteral("Niepoprawne dane"), QStringLiteral("Dati non corretti"));
}
inline QString shapeRange() {
  return plIt(QStringLiteral("Dane poza zakresem   TH, TL - 0...4000ms\r\nTH+TL max 4000ms"),
              QStringLiteral("Dati fuori limiti   TH, TL - 0...4000ms\r\nTH+TL max 4000ms"));
}
}  // namespace editor_text

// A lambda simulation shape in milliseconds, as it was sent (and is drawn in the pictogram).
struct LambdaShape {
  long long high = 0;
  long long low = 0;
  bool operator==(const LambdaShape& o) const { return high == o.high && low == o.low; }
};

// What one of the editor's OK buttons does with the texts of its inputs. A message box is shown
// for each notice, in order, titled with the notice's title (editor_text::title() when it has
// none); after its box a notice may empty some of the inputs (by their index). Then the command,
// if any, is sent.
struct SendOutcome {
  struct Notice {
    QString text;
    std::vector<int> clearInputs;
    QString title = {};
    bool operator==(const Notice& o) const {
      return text == o.text && clearInputs == o.clearInputs && title == o.title;
    }
  };
  std::vector<Notice> notices;
  std::optional<Command> command;
  std::optional<LambdaShape> shape;  // set by the lambda shapes when they send
};

// The editor's send operations. Each takes the texts of the fields it reads, in the order given,
// and never touches a widget. An empty field makes most operations do nothing (the stepper
// speeds, the lambda shapes and the delta report it as an unreadable number). A text that is not
// a number, or a value that does not fit the field it is sent in, is refused with
// invalidEntryText() naming the values allowed, and the input holding it is emptied, except where
// an operation has its own messages: the controller would otherwise get its low bits, a
// different setting from the one the fitter typed. Volts are read as people type them
// (hundredthsFromDecimalText).
namespace sends {

SendOutcome tpsThreshold(const QString& volts);                        // EditProgTPS: 07h
SendOutcome lambdaThreshold(const QString& volts);                     // EditProgLambda: 0Fh
SendOutcome changeoverSpeed(const QString& rpm, long long reference);  // EditProgGB: 08h
SendOutcome startDelay(const QString& seconds);                        // Edit5: 19h
SendOutcome maxSpeed(const QString& rpm, long long reference);         // Editobrotymax: 14h
SendOutcome accelerationSteps(const QString& steps);  // Edit4: 1Bh, 2..50 or silently nothing
// Edit3 with EditProgGB: 16h, the period at (changeover - delta) less the period at changeover.
SendOutcome fallingDelta(const QString& changeoverRpm, const QString& deltaRpm,
                         long long reference);
SendOutcome idleStepperSpeed(const QString& speed);                 // Edit7: 1Ch
SendOutcome secondStepperSpeed(const QString& speed);               // Edit8: 20h
SendOutcome lambda1Shape(const QString& high, const QString& low);  // EditThLambda, Okres: 06h
SendOutcome lambda2Shape(const QString& high, const QString& low);  // ...Lambda2: 1Ah
SendOutcome stepperRange(const QString& maxPosition, const QString& minPosition);  // 12h
SendOutcome stepperStart(const QString& position);                                 // 13h
SendOutcome cutoffPosition(const QString& position);                               // Edit1: 17h
SendOutcome cutoffSpeed(const QString& rpm, long long reference);                  // Edit2: 18h

}  // namespace sends

}  // namespace orvel
