#include "tests/receiver/connection.h"

#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tests/receiver/http_head.h"
#include "tests/receiver/reply.h"
#include "tests/receiver/route.h"
#include "tests/receiver/server.h"

namespace receiver {
namespace {

using Clock = std::chrono::steady_clock;

// Large reads keep a fast sender from being paced by the receiver.
constexpr std::size_t kBufferBytes = 1 << 20;
// How often a waiting loop looks at the stop flag.
constexpr int kPollMs = 100;
// How long a closing connection keeps reading what the client still sends,
// so that our answer is not destroyed by a reset.
constexpr auto kLingerTime = std::chrono::milliseconds(1000);

enum class ReadResult { kData, kClosed, kTimedOut, kStopping };

// The request target from the first line of a head that could not be parsed,
// so that even a refused request is listed under what it asked for.
std::string GuessTarget(std::string_view bytes) {
  const std::string_view line = bytes.substr(0, bytes.find_first_of("\r\n"));
  const std::size_t first = line.find(' ');
  if (first == std::string_view::npos) return {};
  const std::string_view rest = line.substr(first + 1);
  return std::string(rest.substr(0, std::min<std::size_t>(rest.find(' '), 2048)));
}

struct SslFree {
  void operator()(SSL* ssl) const { SSL_free(ssl); }
};

class Connection {
 public:
  Connection(Server& server, int fd, std::uint64_t id)
      : server_(server), fd_(fd), id_(id), buffer_(kBufferBytes) {}
  ~Connection() {
    ssl_.reset();
    if (fd_ >= 0) ::close(fd_);
  }

  // The TLS handshake, bounded like every other wait; false if it failed.
  bool Handshake(SSL_CTX* context);
  void Run();

 private:
  // What the last TLS call waits for (POLLIN or POLLOUT), 0 on a real failure.
  short TlsWants(int result) const;
  ReadResult Read(std::size_t max, std::size_t* got);
  bool SendAll(const char* data, std::size_t size);
  bool SendReplyText(std::uint64_t size);
  void TakeBody(const char* data, std::size_t size);
  // Waits until the body read so far is within the slow-read allowance.
  bool Throttle(Clock::time_point start, std::uint64_t bytesPerSecond, std::size_t* want);
  bool SleepUnlessStopping(std::chrono::milliseconds time);
  void Commit(Outcome outcome, int status);
  void LingeringClose();
  void ResetClose();

  Server& server_;
  int fd_;
  std::uint64_t id_;
  std::unique_ptr<SSL, SslFree> ssl_;
  std::vector<char> buffer_;
  RecordFile file_;
  RecordEntry entry_;
  Fnv1a64 hash_;
  BodyStorage storage_ = BodyStorage::kStore;
  bool committed_ = false;
};

short Connection::TlsWants(int result) const {
  switch (SSL_get_error(ssl_.get(), result)) {
    case SSL_ERROR_WANT_READ: return POLLIN;
    case SSL_ERROR_WANT_WRITE: return POLLOUT;
    default: return 0;
  }
}

bool Connection::Handshake(SSL_CTX* context) {
  ssl_.reset(SSL_new(context));
  if (!ssl_ || SSL_set_fd(ssl_.get(), fd_) != 1) return false;
  SSL_set_mode(ssl_.get(), SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  const auto deadline = Clock::now() + std::chrono::milliseconds(server_.options().readTimeoutMs);
  for (;;) {
    if (server_.stopping()) return false;
    const int result = SSL_accept(ssl_.get());
    if (result == 1) return true;
    const short wants = TlsWants(result);
    if (!wants) return false;
    pollfd wait{fd_, wants, 0};
    if (::poll(&wait, 1, kPollMs) == 0 && Clock::now() > deadline) return false;
  }
}

ReadResult Connection::Read(std::size_t max, std::size_t* got) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(server_.options().readTimeoutMs);
  for (;;) {
    if (server_.stopping()) return ReadResult::kStopping;
    short wants = POLLIN;
    if (ssl_) {
      const int n = SSL_read(ssl_.get(), buffer_.data(), static_cast<int>(std::min<std::size_t>(max, INT_MAX)));
      if (n > 0) {
        *got = static_cast<std::size_t>(n);
        return ReadResult::kData;
      }
      wants = TlsWants(n);
      if (!wants) return ReadResult::kClosed;
    } else {
      const ssize_t n = ::recv(fd_, buffer_.data(), max, 0);
      if (n > 0) {
        *got = static_cast<std::size_t>(n);
        return ReadResult::kData;
      }
      if (n == 0) return ReadResult::kClosed;
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) return ReadResult::kClosed;
    }
    pollfd wait{fd_, wants, 0};
    const int ready = ::poll(&wait, 1, kPollMs);
    if (ready < 0 && errno != EINTR) return ReadResult::kClosed;
    if (ready == 0 && Clock::now() > deadline) return ReadResult::kTimedOut;
  }
}

bool Connection::SendAll(const char* data, std::size_t size) {
  auto deadline = Clock::now() + std::chrono::milliseconds(server_.options().readTimeoutMs);
  while (size > 0) {
    if (server_.stopping()) return false;
    short wants = POLLOUT;
    if (ssl_) {
      const int n = SSL_write(ssl_.get(), data, static_cast<int>(std::min<std::size_t>(size, INT_MAX)));
      if (n > 0) {
        data += n;
        size -= static_cast<std::size_t>(n);
        deadline = Clock::now() + std::chrono::milliseconds(server_.options().readTimeoutMs);
        continue;
      }
      wants = TlsWants(n);
      if (!wants) return false;
    } else {
      const ssize_t n = ::send(fd_, data, size, MSG_NOSIGNAL);
      if (n > 0) {
        data += n;
        size -= static_cast<std::size_t>(n);
        deadline = Clock::now() + std::chrono::milliseconds(server_.options().readTimeoutMs);
        continue;
      }
      if (n < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    }
    pollfd wait{fd_, wants, 0};
    ::poll(&wait, 1, kPollMs);
    if (Clock::now() > deadline) return false;
  }
  return true;
}

bool Connection::SendReplyText(std::uint64_t size) {
  constexpr std::size_t kPiece = 64 * 1024;
  for (std::uint64_t offset = 0; offset < size;) {
    const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, size - offset));
    FillReplyText(offset, buffer_.data(), piece);
    if (!SendAll(buffer_.data(), piece)) return false;
    offset += piece;
  }
  return true;
}

void Connection::TakeBody(const char* data, std::size_t size) {
  entry_.received += size;
  if (storage_ == BodyStorage::kDrain) return;
  hash_.Update(data, size);
  if (storage_ == BodyStorage::kStore && file_.Write(data, size)) entry_.stored += size;
}

bool Connection::SleepUnlessStopping(std::chrono::milliseconds time) {
  const auto until = Clock::now() + time;
  while (Clock::now() < until) {
    if (server_.stopping()) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
    std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(kPollMs)));
  }
  return !server_.stopping();
}

bool Connection::Throttle(Clock::time_point start, std::uint64_t bytesPerSecond,
                          std::size_t* want) {
  // A tenth of a second's worth per read, so progress arrives in small steps.
  const std::uint64_t chunk = std::clamp<std::uint64_t>(bytesPerSecond / 10, 1, 64 * 1024);
  *want = static_cast<std::size_t>(std::min<std::uint64_t>(*want, chunk));
  // The first chunk is free; after that the body may only run as far as the
  // rate allows since the body began.
  const double dueSeconds =
      static_cast<double>(entry_.received + *want) / static_cast<double>(bytesPerSecond) -
      static_cast<double>(chunk) / static_cast<double>(bytesPerSecond);
  const auto due = start + std::chrono::duration_cast<Clock::duration>(
                               std::chrono::duration<double>(std::max(0.0, dueSeconds)));
  const auto now = Clock::now();
  if (due <= now) return true;
  return SleepUnlessStopping(std::chrono::duration_cast<std::chrono::milliseconds>(due - now) +
                             std::chrono::milliseconds(1));
}

void Connection::Commit(Outcome outcome, int status) {
  if (committed_) return;
  committed_ = true;
  entry_.outcome = outcome;
  entry_.status = status;
  if (storage_ != BodyStorage::kDrain) entry_.fnv1a = hash_.value();
  server_.recorder().Commit(file_, entry_);
}

void Connection::LingeringClose() {
  if (ssl_) SSL_shutdown(ssl_.get());  // close_notify, without waiting for the peer's
  ::shutdown(fd_, SHUT_WR);
  const auto until = Clock::now() + kLingerTime;
  while (Clock::now() < until && !server_.stopping()) {
    pollfd wait{fd_, POLLIN, 0};
    if (::poll(&wait, 1, kPollMs) <= 0) continue;
    const ssize_t n = ::recv(fd_, buffer_.data(), buffer_.size(), 0);
    if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) break;
  }
  ::close(fd_);
  fd_ = -1;
}

void Connection::ResetClose() {
  // Linger zero: the close sends a reset, so the sender's next write or read fails.
  linger abort{1, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  ::close(fd_);
  fd_ = -1;
}

Outcome OutcomeOf(ReadResult result) {
  switch (result) {
    case ReadResult::kTimedOut: return Outcome::kTimedOut;
    case ReadResult::kStopping: return Outcome::kStopped;
    default: return Outcome::kClientClosed;
  }
}

void Connection::Run() {
  // The head: read until its blank line, within the size limit.
  std::string pending;
  std::size_t headEnd = std::string::npos;
  while (headEnd == std::string::npos) {
    std::size_t got = 0;
    const ReadResult result = Read(kBufferBytes, &got);
    if (result != ReadResult::kData) {
      if (pending.empty()) return;  // a connection that never spoke leaves no record
      file_ = server_.recorder().Open(id_);
      file_.Write(pending.data(), pending.size());
      entry_.target = GuessTarget(pending);
      Commit(OutcomeOf(result), 0);
      return;
    }
    const std::size_t searchFrom = pending.size() >= 3 ? pending.size() - 3 : 0;
    pending.append(buffer_.data(), got);
    const std::size_t end = FindHeadEnd(std::string_view(pending).substr(searchFrom));
    if (end != std::string::npos) {
      headEnd = searchFrom + end;
    } else if (pending.size() > kMaxHeadBytes) {
      headEnd = pending.size();  // refused below as too large
    }
  }

  file_ = server_.recorder().Open(id_);
  const std::string_view head(pending.data(), headEnd);
  file_.Write(head.data(), head.size());
  const HeadParse parsed = ParseRequestHead(head);
  if (!parsed.ok) {
    entry_.target = GuessTarget(pending);
    Commit(Outcome::kRefused, parsed.errorStatus);
    const std::string body = parsed.error + "\n";
    const std::string answer = ResponseHead(parsed.errorStatus, body.size()) + body;
    SendAll(answer.data(), answer.size());
    LingeringClose();
    return;
  }
  entry_.target = parsed.head.target;
  entry_.declared = parsed.bodyLength;

  const RouteParse routed = ParseRoute(parsed.head.target);
  const Route route = routed.ok ? routed.route : Route{};
  if (route.quit) {
    const std::string answer = ResponseHead(200, 9) + "stopping\n";
    SendAll(answer.data(), answer.size());
    server_.RequestStop();
    return;  // not recorded: it is the test's housekeeping, not its traffic
  }
  storage_ = route.storage;

  // The body: as much as declared, or less when told to cut it off.
  std::uint64_t limit = parsed.bodyLength;
  if (route.closeAfterBodyBytes) limit = std::min(limit, *route.closeAfterBodyBytes);
  if (parsed.expectContinue && parsed.bodyLength > 0) {
    static const char kContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";
    SendAll(kContinue, sizeof kContinue - 1);
  }
  const std::size_t early = static_cast<std::size_t>(
      std::min<std::uint64_t>(pending.size() - headEnd, limit));
  TakeBody(pending.data() + headEnd, early);
  pending.clear();
  pending.shrink_to_fit();

  if (route.readBytesPerSecond) {
    // A small socket buffer keeps the sender from running far ahead of us.
    const int size = static_cast<int>(std::clamp<std::uint64_t>(route.readBytesPerSecond / 10, 4096, 65536));
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
  }
  const auto bodyStart = Clock::now();
  while (entry_.received < limit) {
    std::size_t want = static_cast<std::size_t>(
        std::min<std::uint64_t>(buffer_.size(), limit - entry_.received));
    if (route.readBytesPerSecond &&
        !Throttle(bodyStart, route.readBytesPerSecond, &want)) {
      Commit(Outcome::kStopped, 0);
      return;
    }
    std::size_t got = 0;
    const ReadResult result = Read(want, &got);
    if (result != ReadResult::kData) {
      Commit(OutcomeOf(result), 0);
      return;
    }
    TakeBody(buffer_.data(), got);
  }

  if (route.closeAfterBodyBytes) {
    ResetClose();
    Commit(Outcome::kClosedMidBody, 0);
    return;
  }
  if (route.slowReplyMs && !SleepUnlessStopping(std::chrono::milliseconds(route.slowReplyMs))) {
    Commit(Outcome::kStopped, 0);
    return;
  }

  // Filed before answering: a client that has its answer finds its record.
  const int status = routed.ok ? route.status : 404;
  Commit(Outcome::kComplete, status);
  const bool bodyless = status == 204 || status == 304;
  std::string cors;
  if (routed.ok && !route.allowOrigin.empty()) {
    cors = "Access-Control-Allow-Origin: " + route.allowOrigin + "\r\nAccess-Control-Allow-Credentials: true\r\n";
    if (parsed.head.method == "OPTIONS")
      cors += "Access-Control-Allow-Methods: POST\r\nAccess-Control-Allow-Headers: " +
              parsed.head.Header("Access-Control-Request-Headers").value_or("") + "\r\n";
  }
  if (!routed.ok || bodyless || !route.replyBytes) {
    std::string body = routed.ok ? ShortReplyText(status) : routed.error + "\n";
    std::string type = "text/plain";
    if (routed.ok && route.jsonReply) {
      body = JsonReplyText();
      type = "application/json; charset=utf-8";
    } else if (routed.ok && route.koreanReply) {
      body = KoreanReplyText();
    }
    if (bodyless || route.emptyReply) body.clear();
    const std::string answer = ResponseHead(status, body.size(), type, cors) + body;
    SendAll(answer.data(), answer.size());
  } else {
    const std::string answerHead = ResponseHead(status, *route.replyBytes, "text/plain", cors);
    if (SendAll(answerHead.data(), answerHead.size())) SendReplyText(*route.replyBytes);
  }
  LingeringClose();
}

}  // namespace

void ServeConnection(Server& server, int fd, std::uint64_t id, ssl_ctx_st* tls) {
  Connection connection(server, fd, id);
  // A client that gives up on the handshake (one that does not trust the
  // certificate) never sent a request, so it leaves no record.
  if (tls && !connection.Handshake(tls)) return;
  connection.Run();
}

}  // namespace receiver
