#include "sync/ServerLine.h"

#include <QElapsedTimer>
#include <QStringList>

#include <libpq-fe.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orvel {

namespace {

// A dead network is noticed within seconds: a connection that does not come up, a link that
// stops answering while idle, and data that is never acknowledged.
const std::pair<const char*, const char*> kNetworkDefaults[] = {
    {"connect_timeout", "5"},  {"keepalives_idle", "10"},     {"keepalives_interval", "5"},
    {"keepalives_count", "3"}, {"tcp_user_timeout", "20000"}, {"application_name", "orvel"},
};

QString quoted(const QString& value) {
  QString v = value;
  v.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
      .replace(QLatin1Char('\''), QStringLiteral("\\'"));
  return QLatin1Char('\'') + v + QLatin1Char('\'');
}

}  // namespace

ServerLine checkServerLine(const QString& line) {
  ServerLine out;
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(line.trimmed().toUtf8().constData(), &error);
  if (!options) {
    out.kind = ServerLine::Problem::Syntax;
    out.problem = error ? QString::fromUtf8(error).trimmed() : QStringLiteral("out of memory");
    PQfreemem(error);
    return out;
  }
  QStringList parts;
  QStringList given;
  for (PQconninfoOption* o = options; o->keyword; ++o) {
    if (!o->val) continue;
    const QString key = QString::fromUtf8(o->keyword);
    const QString value = QString::fromUtf8(o->val);
    if (key == QLatin1String("password") && !value.isEmpty()) {
      out.kind = ServerLine::Problem::Password;
    } else if (value.contains(QLatin1Char(';'))) {
      out.kind = ServerLine::Problem::Semicolon;
    }
    given << key;
    parts << key + QLatin1Char('=') + quoted(value);
  }
  PQconninfoFree(options);
  if (out.kind == ServerLine::Problem::Password) {
    out.problem = QStringLiteral("password in the connection line");
    return out;
  }
  if (out.kind == ServerLine::Problem::Semicolon) {
    out.problem = QStringLiteral("';' in the connection line");
    return out;
  }
  for (const auto& [key, value] : kNetworkDefaults)
    if (!given.contains(QLatin1String(key)))
      parts << QLatin1String(key) + QLatin1Char('=') + QLatin1String(value);
  out.connection = parts.join(QLatin1Char(' '));
  return out;
}

LineCutter::LineCutter() : event_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

LineCutter::~LineCutter() {
  if (event_ >= 0) ::close(event_);
}

void LineCutter::cut() {
  std::lock_guard<std::mutex> lock(mutex_);
  cut_ = true;
  if (socket_ >= 0) ::shutdown(socket_, SHUT_RDWR);
  const std::uint64_t one = 1;
  if (event_ >= 0 && ::write(event_, &one, sizeof one) < 0) {
    // The counter is full only after 2^64 cuts: the descriptor stays readable either way.
  }
}

bool LineCutter::isCut() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return cut_;
}

void LineCutter::attach(int socket) {
  std::lock_guard<std::mutex> lock(mutex_);
  socket_ = socket;
  if (cut_ && socket_ >= 0) ::shutdown(socket_, SHUT_RDWR);
}

void LineCutter::detach() {
  std::lock_guard<std::mutex> lock(mutex_);
  socket_ = -1;
}

namespace {

// One attempt; contact: a server took the network connection.
Reach attempt(const QString& connection, const LineCutter& cutter, int timeoutMs, bool* contact) {
  Reach reach;
  PGconn* conn = PQconnectStart(connection.toUtf8().constData());
  if (!conn) {
    reach.detail = QStringLiteral("out of memory");
    return reach;
  }
  // libpq's asynchronous connect, so that the wait can be cut short; connect_timeout does not
  // apply to it, the caller's limit does.
  QElapsedTimer clock;
  clock.start();
  PostgresPollingStatusType state = PGRES_POLLING_WRITING;
  while (PQstatus(conn) != CONNECTION_BAD && state != PGRES_POLLING_OK &&
         state != PGRES_POLLING_FAILED) {
    const int left = timeoutMs - static_cast<int>(clock.elapsed());
    if (left <= 0) {
      reach.detail = QStringLiteral("timeout expired");
      break;
    }
    const short wanted = state == PGRES_POLLING_READING ? POLLIN : POLLOUT;
    pollfd fds[2] = {{PQsocket(conn), wanted, 0}, {cutter.wakeDescriptor(), POLLIN, 0}};
    if (poll(fds, 2, left) < 0 && errno != EINTR) break;
    if (fds[1].revents || cutter.isCut()) {
      PQfinish(conn);
      reach.outcome = Reach::Outcome::Cut;
      return reach;
    }
    if (fds[0].revents) state = PQconnectPoll(conn);
    const ConnStatusType status = PQstatus(conn);
    *contact = *contact || (status != CONNECTION_STARTED && status != CONNECTION_NEEDED &&
                            status != CONNECTION_BAD);
  }
  if (PQstatus(conn) == CONNECTION_OK) reach.outcome = Reach::Outcome::Connected;
  if (reach.detail.isEmpty() && reach.outcome != Reach::Outcome::Connected)
    reach.detail = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
  PQfinish(conn);
  return reach;
}

}  // namespace

Reach reachServer(const QString& connection, const LineCutter& cutter, int timeoutMs) {
  bool contact = false;
  Reach reach = attempt(connection, cutter, timeoutMs, &contact);
  if (reach.outcome != Reach::Outcome::Unreachable || !contact) return reach;
  // A server that answered and then failed refuses this PC (a password, a database, a
  // certificate) every time, where a line that broke, or a server starting up, lets a second
  // attempt through or says it is not ready. Nobody answering is not asked again: that would
  // wait for the network's timeout a second time.
  contact = false;
  reach = attempt(connection, cutter, timeoutMs, &contact);
  if (reach.outcome == Reach::Outcome::Unreachable && contact &&
      PQping(connection.toUtf8().constData()) == PQPING_OK)
    reach.outcome = Reach::Outcome::Refused;
  return reach;
}

}  // namespace orvel
