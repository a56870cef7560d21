#pragma once

#include <QString>

namespace orvel {

// Where the archive stands with the workshop server.
struct ServerStatus {
  enum class State { Off, Connecting, Synced, Sending, Unreachable, Refused };
  // Why a server, or this PC's own setting, refuses the exchange.
  enum class Refusal {
    None,
    Login,        // the server would not take this PC: password, role, database, certificate
    NoSchema,     // no archive tables, and this PC's role may not make them
    Newer,        // the server's archive is of a newer program
    NewerRows,    // the server holds read-outs of a kind a newer program takes
    Server,       // the server refused what was sent (its own words in detail)
    Password,     // a password in the connection line: it belongs in ~/.pgpass
    Setting,      // the connection line cannot be used otherwise
    NoDriver,     // Qt's PostgreSQL driver is not installed
    LocalArchive  // this PC's own archive cannot be read
  };
  State state = State::Off;
  Refusal refusal = Refusal::None;
  int waiting = 0;  // read-outs and notes of this PC the server does not have yet
  QString detail;   // the server's, libpq's or SQLite's own words

  bool trouble() const { return state == State::Unreachable || state == State::Refused; }
  bool operator==(const ServerStatus& o) const {
    return state == o.state && refusal == o.refusal && waiting == o.waiting && detail == o.detail;
  }
  bool operator!=(const ServerStatus& o) const { return !(*this == o); }
};

// The status as the archive window shows it, in the interface language:
// "Serwer: połączono, wszystko wysłane", "Serwer nieosiągalny: 12 odczytów czeka", ...
QString serverStatusText(const ServerStatus& status);

// What stands in the way, for the status and for the connection test: "Serwer nieosiągalny
// (<libpq's words>)", "Serwer odmawia: <why>", "Bez serwera: <why>"; empty when nothing does.
QString serverProblemText(const ServerStatus& status);

// "12 odczytów czeka", "1 read-out waiting", "2 letture in attesa".
QString waitingText(int count);

}  // namespace orvel
