#include "tests/receiver/server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>

#include "tests/receiver/connection.h"

namespace receiver {
namespace {

using Clock = std::chrono::steady_clock;

// How long a stopping receiver waits for its connections; each of them looks
// at the stop flag every tenth of a second, so this is only a backstop.
constexpr auto kDrainTime = std::chrono::seconds(10);

sockaddr_in Loopback(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

bool WriteFileAtomically(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".tmp";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(fd);
  return written && ::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace

Server::Server(ServerOptions options)
    : options_(std::move(options)), recorder_(options_.recordFolder) {}

Server::~Server() {
  RequestStop();
  if (listener_ >= 0) ::close(listener_);
  if (tlsListener_ >= 0) ::close(tlsListener_);
  {
    // Connection threads hold a reference to this object until they end.
    std::unique_lock<std::mutex> lock(mutex_);
    ended_.wait(lock, [this] { return active_ == 0; });
  }
  SSL_CTX_free(tls_);
}

bool Server::ListenOn(std::uint16_t wanted, int* listener, std::uint16_t* port,
                      std::string* error) {
  *listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (*listener < 0) {
    *error = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  const int on = 1;
  ::setsockopt(*listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address = Loopback(wanted);
  socklen_t length = sizeof address;
  if (::bind(*listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(*listener, 128) != 0 ||
      ::getsockname(*listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    *error = "cannot listen on 127.0.0.1:" + std::to_string(wanted) + ": " + std::strerror(errno);
    return false;
  }
  *port = ntohs(address.sin_port);
  return true;
}

bool Server::LoadTls(std::string* error) {
  tls_ = SSL_CTX_new(TLS_server_method());
  if (!tls_ ||
      SSL_CTX_use_certificate_chain_file(tls_, options_.certificateFile.c_str()) != 1 ||
      SSL_CTX_use_PrivateKey_file(tls_, options_.keyFile.c_str(), SSL_FILETYPE_PEM) != 1 ||
      SSL_CTX_check_private_key(tls_) != 1) {
    char reason[256] = "no TLS context";
    if (const unsigned long code = ERR_get_error()) ERR_error_string_n(code, reason, sizeof reason);
    *error = "cannot use certificate '" + options_.certificateFile + "' with key '" +
             options_.keyFile + "': " + reason;
    return false;
  }
  return true;
}

bool Server::Listen(std::string* error) {
  if (!recorder_.ready()) {
    *error = "cannot write records into '" + options_.recordFolder + "'";
    return false;
  }
  if (!ListenOn(options_.port, &listener_, &port_, error)) return false;
  const bool tls = !options_.certificateFile.empty() || !options_.keyFile.empty();
  if (tls) {
    if (options_.certificateFile.empty() || options_.keyFile.empty()) {
      *error = "TLS needs both a certificate and its key";
      return false;
    }
    if (!LoadTls(error) || !ListenOn(options_.tlsPort, &tlsListener_, &tlsPort_, error))
      return false;
    if (!options_.tlsPortFile.empty() &&
        !WriteFileAtomically(options_.tlsPortFile, std::to_string(tlsPort_) + "\n")) {
      *error = "cannot write the TLS port file '" + options_.tlsPortFile + "'";
      return false;
    }
  }
  // Written last: once it exists, every listener is ready.
  if (!options_.portFile.empty() &&
      !WriteFileAtomically(options_.portFile, std::to_string(port_) + "\n")) {
    *error = "cannot write the port file '" + options_.portFile + "'";
    return false;
  }
  return true;
}

bool Server::LeaseGone() const {
  return !options_.leaseFile.empty() && ::access(options_.leaseFile.c_str(), F_OK) != 0;
}

void Server::Serve(int fd, std::uint64_t id, bool tls) {
  ServeConnection(*this, fd, id, tls ? tls_ : nullptr);
  std::lock_guard<std::mutex> lock(mutex_);
  --active_;
  lastActivity_ = Clock::now();
  ended_.notify_all();
}

void Server::Run() {
  std::uint64_t nextId = 1;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    lastActivity_ = Clock::now();
  }
  while (!stopping()) {
    pollfd waits[2] = {{listener_, POLLIN, 0}, {tlsListener_, POLLIN, 0}};
    if (::poll(waits, tlsListener_ >= 0 ? 2 : 1, 200) > 0) {
      for (const pollfd& wait : waits) {
        if (wait.fd < 0 || !(wait.revents & POLLIN)) continue;
        const int fd = ::accept4(wait.fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) continue;
        std::lock_guard<std::mutex> lock(mutex_);
        lastActivity_ = Clock::now();
        if (active_ >= options_.maxConnections) {
          ::close(fd);
          continue;
        }
        try {
          std::thread(&Server::Serve, this, fd, nextId++, wait.fd == tlsListener_).detach();
          ++active_;
        } catch (const std::system_error&) {
          ::close(fd);  // no thread to be had: refuse this one, keep serving
        }
      }
    }
    if (LeaseGone()) RequestStop();
    std::lock_guard<std::mutex> lock(mutex_);
    if (active_ == 0 &&
        Clock::now() - lastActivity_ > std::chrono::milliseconds(options_.idleTimeoutMs))
      RequestStop();
  }
  ::close(listener_);
  listener_ = -1;
  if (tlsListener_ >= 0) ::close(tlsListener_);
  tlsListener_ = -1;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    ended_.wait_for(lock, kDrainTime, [this] { return active_ == 0; });
  }
  // Its absence tells the starter that the receiver has ended.
  if (!options_.tlsPortFile.empty()) ::unlink(options_.tlsPortFile.c_str());
  if (!options_.portFile.empty()) ::unlink(options_.portFile.c_str());
}

std::uint16_t UnusedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof address;
  std::uint16_t port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  ::close(fd);
  return port;
}

}  // namespace receiver
