#pragma once

#include <QString>

#include <memory>
#include <mutex>

namespace orvel {

// The [archive] server= line of registry.ini, read as libpq reads it.
struct ServerLine {
  QString connection;  // for libpq, with this program's network defaults added
  QString problem;     // why the line cannot be used, in libpq's or this program's words
  enum class Problem { None, Syntax, Password, Semicolon } kind = Problem::None;
};
// A password is refused: it belongs in ~/.pgpass, never in this program's files. So is a ';',
// which Qt's driver would take for a separator. Whatever the line leaves out of the timeouts
// that keep a dead network from holding a transfer for minutes is added; sslmode and every
// other setting go through as written.
ServerLine checkServerLine(const QString& line);

// Cuts a worker's line to the server from any thread: a connection being made or a query
// waiting for the network ends at once, as if the cable were pulled.
class LineCutter {
 public:
  LineCutter();
  ~LineCutter();
  LineCutter(const LineCutter&) = delete;
  LineCutter& operator=(const LineCutter&) = delete;

  void cut();
  bool isCut() const;
  // The socket of the connection in use; a line already cut is shut down at once.
  void attach(int socket);
  void detach();
  // Readable once the line is cut: for poll().
  int wakeDescriptor() const { return event_; }

 private:
  mutable std::mutex mutex_;
  int socket_ = -1;
  bool cut_ = false;
  int event_ = -1;
};

// How a connection attempt ended.
struct Reach {
  enum class Outcome { Connected, Unreachable, Refused, Cut } outcome = Outcome::Unreachable;
  QString detail;  // libpq's words
};
// Connects as libpq does and hangs up again: whether the server is there, and whether it takes
// this PC. Gives up when the cutter cuts the line, or after timeoutMs.
Reach reachServer(const QString& connection, const LineCutter& cutter, int timeoutMs);

}  // namespace orvel
