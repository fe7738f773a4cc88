// brimlet_receiver: the local HTTP server that uploads under test go to. It
// records every request byte for byte and misbehaves on request; the URL
// grammar is described in route.h, the record folder in record.h.
//
//   brimlet_receiver --dir FOLDER [--port N] [--port-file FILE] [--lease FILE]
//                    [--log FILE] [--idle-timeout SECONDS] [--read-timeout SECONDS]
//                    [--cert PEM --key PEM [--tls-port N] [--tls-port-file FILE]]
//   brimlet_receiver --unused-port
//
// It listens on 127.0.0.1 (port 0, the default, picks a free one), prints
// "listening on 127.0.0.1:PORT" and writes PORT to the port file, which it
// removes again when it ends. It ends on /__quit, SIGINT/SIGTERM/SIGHUP, when
// the lease file disappears, or after the idle timeout (120 s by default)
// passes without any connection. With --log its output goes to that file and
// it lets go of the standard streams it inherited, so that it never keeps the
// pipe of whoever started it open. With --cert and --key it also listens
// for TLS on a second port (printed, and written to the TLS port file), with
// the same URLs and one numbering of the records for both.
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/receiver/server.h"

namespace {

receiver::Server* g_server = nullptr;

void OnSignal(int) {
  if (g_server) g_server->RequestStop();
}

int Usage(const char* why) {
  std::fprintf(stderr,
               "brimlet_receiver: %s\n"
               "usage: brimlet_receiver --dir FOLDER [--port N] [--port-file FILE] [--lease FILE]\n"
               "                        [--log FILE] [--idle-timeout SECONDS] [--read-timeout SECONDS]\n"
               "                        [--cert PEM --key PEM [--tls-port N] [--tls-port-file FILE]]\n"
               "       brimlet_receiver --unused-port\n",
               why);
  return 2;
}

bool Seconds(const char* text, int* milliseconds) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (!*text || *end || value < 1 || value > 86400) return false;
  *milliseconds = static_cast<int>(value * 1000);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  receiver::ServerOptions options;
  std::string logFile;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--unused-port") {
      const auto port = receiver::UnusedPort();
      if (!port) return 1;
      std::printf("%u\n", port);
      return 0;
    }
    if (i + 1 >= argc) return Usage(("missing value after " + option).c_str());
    const char* value = argv[++i];
    if (option == "--dir") {
      options.recordFolder = value;
    } else if (option == "--port" || option == "--tls-port") {
      char* end = nullptr;
      const long port = std::strtol(value, &end, 10);
      if (!*value || *end || port < 0 || port > 65535) return Usage("bad port");
      (option == "--port" ? options.port : options.tlsPort) = static_cast<std::uint16_t>(port);
    } else if (option == "--tls-port-file") {
      options.tlsPortFile = value;
    } else if (option == "--cert") {
      options.certificateFile = value;
    } else if (option == "--key") {
      options.keyFile = value;
    } else if (option == "--port-file") {
      options.portFile = value;
    } else if (option == "--log") {
      logFile = value;
    } else if (option == "--lease") {
      options.leaseFile = value;
    } else if (option == "--idle-timeout") {
      if (!Seconds(value, &options.idleTimeoutMs)) return Usage("bad idle timeout");
    } else if (option == "--read-timeout") {
      if (!Seconds(value, &options.readTimeoutMs)) return Usage("bad read timeout");
    } else {
      return Usage(("unknown option " + option).c_str());
    }
  }
  if (options.recordFolder.empty()) return Usage("--dir is required");
  if (!logFile.empty()) {
    const int log = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int nothing = ::open("/dev/null", O_RDONLY);
    if (log < 0 || nothing < 0) return Usage("cannot open the log file");
    ::dup2(nothing, 0);
    ::dup2(log, 1);
    ::dup2(log, 2);
    ::close(nothing);
    ::close(log);
  }

  std::signal(SIGPIPE, SIG_IGN);
  receiver::Server server(options);
  std::string error;
  if (!server.Listen(&error)) {
    std::fprintf(stderr, "brimlet_receiver: %s\n", error.c_str());
    return 1;
  }
  g_server = &server;
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGHUP, OnSignal);
  std::printf("listening on 127.0.0.1:%u\n", server.port());
  if (server.tlsPort()) std::printf("listening for TLS on 127.0.0.1:%u\n", server.tlsPort());
  std::fflush(stdout);
  server.Run();
  g_server = nullptr;
  return 0;
}
