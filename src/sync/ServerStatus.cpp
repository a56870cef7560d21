#include "sync/ServerStatus.h"

#include "core/Language.h"

namespace orvel {

QString waitingText(int count) {
  const int tens = count % 100;
  const bool few = count % 10 >= 2 && count % 10 <= 4 && (tens < 12 || tens > 14);
  const bool one = count == 1;
  return tr3(one   ? QStringLiteral("%1 odczyt czeka")
             : few ? QStringLiteral("%1 odczyty czekają")
                   : QStringLiteral("%1 odczytów czeka"),
             one ? QStringLiteral("%1 read-out waiting") : QStringLiteral("%1 read-outs waiting"),
             one ? QStringLiteral("%1 lettura in attesa") : QStringLiteral("%1 letture in attesa"))
      .arg(count);
}

namespace {

QString refusalText(const ServerStatus& s) {
  using R = ServerStatus::Refusal;
  switch (s.refusal) {
    case R::Login:
      return tr3("nie przyjmuje tego stanowiska (%1)", "it does not accept this PC (%1)",
                 "non accetta questa postazione (%1)")
          .arg(s.detail);
    case R::NoSchema:
      return tr3(
          "brak tabel archiwum, a to stanowisko nie może ich założyć; administrator "
          "uruchamia server-schema.sql",
          "the archive tables are missing and this PC may not create them; the "
          "administrator runs server-schema.sql",
          "mancano le tabelle dell'archivio e questa postazione non può crearle; "
          "l'amministratore esegue server-schema.sql");
    case R::Newer:
      return tr3("archiwum na serwerze pochodzi z nowszej wersji programu; zaktualizuj program",
                 "the archive on the server belongs to a newer version of the program; update "
                 "the program",
                 "l'archivio sul server appartiene a una versione più recente del programma; "
                 "aggiornare il programma");
    case R::NewerRows:
      return tr3("serwer ma odczyty z nowszej wersji programu; zaktualizuj program",
                 "the server holds read-outs of a newer version of the program; update the "
                 "program",
                 "il server contiene letture di una versione più recente del programma; "
                 "aggiornare il programma");
    case R::Server:
      return s.detail;
    case R::Password:
      return tr3("hasło w registry.ini; hasło należy zapisać w ~/.pgpass",
                 "a password in registry.ini; passwords belong in ~/.pgpass",
                 "una password in registry.ini; le password vanno in ~/.pgpass");
    case R::Setting:
      return tr3("błędny wiersz połączenia w registry.ini (%1)",
                 "the connection line in registry.ini cannot be used (%1)",
                 "la riga di connessione in registry.ini non è utilizzabile (%1)")
          .arg(s.detail);
    case R::NoDriver:
      return tr3("brak sterownika PostgreSQL dla Qt (pakiet libqt6sql6-psql)",
                 "Qt's PostgreSQL driver is missing (package libqt6sql6-psql)",
                 "manca il driver PostgreSQL di Qt (pacchetto libqt6sql6-psql)");
    case R::LocalArchive:
      return tr3("archiwum tego komputera jest niedostępne (%1)",
                 "this PC's archive cannot be read (%1)",
                 "l'archivio di questo PC non è leggibile (%1)")
          .arg(s.detail);
    case R::None:
      break;
  }
  return s.detail;
}

}  // namespace

QString serverProblemText(const ServerStatus& s) {
  using R = ServerStatus::Refusal;
  if (s.state == ServerStatus::State::Unreachable)
    return tr3("Serwer nieosiągalny (%1).", "Server unreachable (%1).",
               "Server non raggiungibile (%1).")
        .arg(s.detail);
  if (s.state != ServerStatus::State::Refused) return QString();
  const bool byServer = s.refusal == R::Login || s.refusal == R::NoSchema ||
                        s.refusal == R::Newer || s.refusal == R::NewerRows ||
                        s.refusal == R::Server;
  return (byServer ? tr3("Serwer odmawia: %1.", "The server refuses: %1.", "Il server rifiuta: %1.")
                   : tr3("Bez serwera: %1.", "No server: %1.", "Senza server: %1."))
      .arg(refusalText(s));
}

QString serverStatusText(const ServerStatus& s) {
  using S = ServerStatus::State;
  switch (s.state) {
    case S::Off:
      return QString();
    case S::Connecting:
      return tr3("Serwer: łączenie...", "Server: connecting...", "Server: connessione in corso...");
    case S::Synced:
      return tr3("Serwer: połączono, wszystko wysłane", "Server: connected, everything sent",
                 "Server: connesso, tutto inviato");
    case S::Sending:
      return tr3("Serwer: połączono, wysyłanie: %1", "Server: connected, sending: %1",
                 "Server: connesso, invio in corso: %1")
          .arg(waitingText(s.waiting));
    case S::Unreachable:
      return s.waiting > 0 ? tr3("Serwer nieosiągalny: %1", "Server unreachable: %1",
                                 "Server non raggiungibile: %1")
                                 .arg(waitingText(s.waiting))
                           : tr3("Serwer nieosiągalny: nic nie czeka na wysłanie",
                                 "Server unreachable: nothing waiting to be sent",
                                 "Server non raggiungibile: niente in attesa di invio");
    case S::Refused:
      return serverProblemText(s) + QLatin1Char(' ') +
             tr3("Odczyty są zapisywane na tym komputerze; %1.",
                 "Read-outs are kept on this PC; %1.", "Le letture restano su questo PC; %1.")
                 .arg(waitingText(s.waiting));
  }
  return QString();
}

}  // namespace orvel
