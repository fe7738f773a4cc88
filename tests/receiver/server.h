// The receiver's socket side: a listener on 127.0.0.1 and one thread per
// connection. It stops when asked (RequestStop, a /__quit request), when the
// lease file it was given disappears (its owner has ended, however it ended),
// or after a stretch with no connection at all, so it never outlives the run
// that started it.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "tests/receiver/recorder.h"

struct ssl_ctx_st;

namespace receiver {

struct ServerOptions {
  std::string recordFolder;
  std::uint16_t port = 0;     // 0: any free port
  std::string portFile;       // written (atomically) with the port once listening
  std::string leaseFile;      // stop once this file no longer exists
  int idleTimeoutMs = 120000; // stop after this long without a connection
  int readTimeoutMs = 30000;  // drop a connection that sends nothing for this long
  // Connections served at once; one more is closed unanswered, so a flood
  // costs a refused client instead of the receiver's threads.
  int maxConnections = 256;
  // With a certificate and its key, a second listener speaks TLS; it serves
  // the same URLs and files into the same folder and numbering.
  std::string certificateFile;  // PEM, the server's certificate first
  std::string keyFile;          // PEM
  std::uint16_t tlsPort = 0;
  std::string tlsPortFile;
};

class Server {
 public:
  explicit Server(ServerOptions options);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Binds and listens (and loads the TLS material, if given); false with a
  // reason when it cannot.
  bool Listen(std::string* error);
  std::uint16_t port() const { return port_; }
  std::uint16_t tlsPort() const { return tlsPort_; }

  // Serves until stopped, then waits (bounded) for the connections to end.
  void Run();
  // Safe from a signal handler: it only sets a flag the loops poll.
  void RequestStop() { stop_.store(true); }
  bool stopping() const { return stop_.load(); }

  Recorder& recorder() { return recorder_; }
  const ServerOptions& options() const { return options_; }

 private:
  void Serve(int fd, std::uint64_t id, bool tls);
  bool LeaseGone() const;
  bool ListenOn(std::uint16_t wanted, int* listener, std::uint16_t* port, std::string* error);
  bool LoadTls(std::string* error);

  ServerOptions options_;
  Recorder recorder_;
  int listener_ = -1;
  std::uint16_t port_ = 0;
  int tlsListener_ = -1;
  std::uint16_t tlsPort_ = 0;
  ssl_ctx_st* tls_ = nullptr;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable ended_;
  int active_ = 0;
  std::chrono::steady_clock::time_point lastActivity_;
};

// Binds 127.0.0.1:0 and lets go: a port nobody listens on right after.
std::uint16_t UnusedPort();

}  // namespace receiver
