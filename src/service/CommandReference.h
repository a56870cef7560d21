#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace orvel {

// The direct-commands reference a fitter looks up while talking to the controller byte by byte:
// each entry's title and command line as the controller's documentation writes them, with the
// reply and the unit taken from the command catalogue.
struct ReferenceEntry {
  int number = 0;
  QStringList title;                // one piece per line of the text
  QString command;                  // as written, with its argument placeholders
  std::vector<std::uint8_t> codes;  // the commands the entry describes, in catalogue codes
  QStringList remarks;              // what the arguments mean, where the command line is terse
};

const std::vector<ReferenceEntry>& commandReference();

// What the controller answers to a command, one item per byte, the acknowledgement last; empty
// for a command that is not acknowledged and for one whose reply is not stated.
QStringList replyItems(std::uint8_t code);

// The unit formula the controller's documentation gives for a command that carries a time or a
// speed; empty for the others.
QString unitFormula(std::uint8_t code);

// The lines of one entry: its number and title, the command line, the reply after
// "Dane odebrane:", a "Jednostka:" line where the command carries a time or a speed, remarks.
QStringList referenceLines(const ReferenceEntry& entry);

// The whole reference: the entries in order, separated by empty lines.
QString referenceText();

}  // namespace orvel
