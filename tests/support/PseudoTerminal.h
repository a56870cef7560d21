#pragma once

#include <QByteArray>
#include <QString>

namespace orvel::test {

// A pseudo-terminal pair for link tests: the test plays the controller on the master side, the
// program opens the slave path. A second slave descriptor stays open so that the program can
// close and reopen its side without the master seeing a hang-up.
class PseudoTerminal {
 public:
  PseudoTerminal();
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  bool isValid() const { return master_ >= 0; }
  QString slavePath() const { return path_; }
  void write(const QByteArray& bytes);
  // Everything that arrives within the timeout (returns early once `expected` bytes are in).
  QByteArray read(int expected, int timeoutMs = 1000);
  // Reads what the program's side would have read, through the spare slave descriptor: the
  // program's read notification then finds nothing.
  QByteArray stealFromSlave();
  // Closes both the master and the spare slave: the program's side sees a hang-up.
  void hangUp();

 private:
  int master_ = -1;
  int spareSlave_ = -1;
  QString path_;
};

}  // namespace orvel::test
