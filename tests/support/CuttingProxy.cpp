#include "support/CuttingProxy.h"

#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace orvel::test {

namespace {

int unixSocket(const QString& path, bool listen) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const QByteArray name = QFile::encodeName(path);
  std::memcpy(address.sun_path, name.constData(),
              std::min<std::size_t>(name.size(), sizeof address.sun_path - 1));
  const auto* raw = reinterpret_cast<const sockaddr*>(&address);
  const bool ok = listen ? ::bind(fd, raw, sizeof address) == 0 && ::listen(fd, 16) == 0
                         : ::connect(fd, raw, sizeof address) == 0;
  if (!ok) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Where one side's messages begin and end: a length after a type byte, and no type byte on
// the client's first message.
struct Framing {
  bool untyped;
  bool report = false;  // the current message is a ParameterStatus of the server
  int header = 0;       // bytes of the current message's header seen
  quint32 length = 0;
  qint64 left = 0;  // bytes of the current message still to come after its header

  bool atStart() const { return header == 0; }
  // Takes one byte; true when it ended a message.
  bool take(unsigned char byte) {
    const int headerSize = untyped ? 4 : 5;
    if (header < headerSize) {
      if (header >= headerSize - 4) length = length << 8 | byte;
      if (++header < headerSize) return false;
      left = static_cast<qint64>(length) - 4;
    } else {
      --left;
    }
    if (left > 0) return false;
    untyped = false;
    header = 0;
    length = 0;
    return true;
  }
};

// Half a message that starts at `at`, from its header when this read holds it; one byte when it
// does not.
int halfOf(const unsigned char* at, ssize_t available, bool untyped) {
  const int headerSize = untyped ? 4 : 5;
  if (available < headerSize) return 1;
  const unsigned char* l = at + headerSize - 4;
  const quint32 length = quint32(l[0]) << 24 | quint32(l[1]) << 16 | quint32(l[2]) << 8 | l[3];
  return std::max(1, static_cast<int>((headerSize - 4 + length) / 2));
}

struct Pair {
  int fd[2];  // the client's, the server's
  Framing framing[2] = {{true}, {false}};
};

}  // namespace

CuttingProxy::CuttingProxy(QString upstreamFolder, int port)
    : upstream_(std::move(upstreamFolder)), port_(port) {
  if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
  thread_ = std::thread([this] { serve(); });
}

CuttingProxy::~CuttingProxy() {
  quit_ = true;
  if (::write(wake_[1], "q", 1) < 0) {
  }
  thread_.join();
  ::close(wake_[0]);
  ::close(wake_[1]);
}

void CuttingProxy::arm(Side side, int messages, bool inside) {
  std::lock_guard<std::mutex> lock(mutex_);
  armed_ = true;
  cut_ = false;
  side_ = side;
  messages_ = messages;
  inside_ = inside;
  into_ = 0;
}

bool CuttingProxy::cutHappened() {
  std::lock_guard<std::mutex> lock(mutex_);
  armed_ = false;
  return cut_;
}

void CuttingProxy::setDown(bool down) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    down_ = down;
  }
  if (::write(wake_[1], "d", 1) < 0) {
  }
}

void CuttingProxy::serve() {
  const QString name = QStringLiteral("/.s.PGSQL.%1").arg(port_);
  int listener = -1;
  std::vector<Pair> pairs;
  const auto hangUp = [](Pair& p) {
    ::close(p.fd[0]);
    ::close(p.fd[1]);
    p.fd[0] = p.fd[1] = -1;
  };
  while (!quit_) {
    bool down;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      down = down_;
    }
    if (down && listener >= 0) {
      ::close(listener);
      listener = -1;
      ::unlink(QFile::encodeName(dir_.path() + name).constData());
      for (Pair& p : pairs)
        hangUp(p);
    } else if (!down && listener < 0) {
      listener = unixSocket(dir_.path() + name, true);
    }
    pairs.erase(
        std::remove_if(pairs.begin(), pairs.end(), [](const Pair& p) { return p.fd[0] < 0; }),
        pairs.end());

    std::vector<pollfd> fds{{wake_[0], POLLIN, 0}, {listener, POLLIN, 0}};
    for (const Pair& p : pairs)
      for (int fd : p.fd)
        fds.push_back({fd, POLLIN, 0});
    if (::poll(fds.data(), fds.size(), -1) < 0) continue;
    char drain[16];
    while (::read(wake_[0], drain, sizeof drain) > 0) {
    }
    const std::size_t polled = pairs.size();
    for (std::size_t i = 0; i < polled; ++i) {
      Pair& p = pairs[i];
      for (int from = 0; from < 2 && p.fd[0] >= 0; ++from) {
        if (!(fds[2 + 2 * i + from].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        unsigned char buffer[65536];
        const ssize_t n = ::read(p.fd[from], buffer, sizeof buffer);
        if (n <= 0) {
          hangUp(p);
          break;
        }
        // Passed on up to the armed cut; the line goes dead right there.
        std::lock_guard<std::mutex> lock(mutex_);
        const bool counting = armed_ && !cut_ && (from == 0) == (side_ == Side::Client);
        ssize_t pass = n;
        bool cutNow = false;
        for (ssize_t k = 0; k < n; ++k) {
          Framing& f = p.framing[from];
          // The server's reports of its settings at start-up follow one another unanswered:
          // a cut between two of them is a cut between any others.
          if (f.atStart()) f.report = from == 1 && buffer[k] == 'S';
          if (counting && messages_ == 0 && !f.report) {
            if (f.atStart()) target_ = inside_ ? halfOf(buffer + k, n - k, f.untyped) : 0;
            if (into_++ >= target_) {
              pass = k;
              cutNow = true;
              break;
            }
          }
          if (f.take(buffer[k]) && counting && !f.report && --messages_ == 0 && !inside_) {
            pass = k + 1;
            cutNow = true;
            break;
          }
        }
        cut_ = cut_ || cutNow;
        if (pass > 0 && ::send(p.fd[1 - from], buffer, pass, MSG_NOSIGNAL) != pass) cutNow = true;
        if (cutNow) {
          hangUp(p);
          break;
        }
      }
    }
    if (listener >= 0 && (fds[1].revents & POLLIN)) {
      const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
      const int server = unixSocket(upstream_ + name, false);
      if (client >= 0 && server >= 0) {
        pairs.push_back({{client, server}});
      } else {
        ::close(client);
        ::close(server);
      }
    }
  }
  for (Pair& p : pairs)
    if (p.fd[0] >= 0) hangUp(p);
  if (listener >= 0) ::close(listener);
}

}  // namespace orvel::test
