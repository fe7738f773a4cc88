// Winsock's header must come before <windows.h>, which the class header brings.
#include <winsock2.h>

#include "tests/wine/support/receiver.h"
#include "tests/wine/support/scenario.h"

#include <wincrypt.h>

#include <gtest/gtest.h>

#include <atomic>

namespace scenario {
namespace {

// How long the receiver may sit without any connection before ending on its
// own: only a backstop, since the lease ends it with this program.
constexpr const char* kIdleTimeoutSeconds = "300";

void EnsureWinsock() {
  static const bool started = [] {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
}

// Closes a Winsock socket; a one-line owner like the framework's handles.
struct SocketCloser {
  SOCKET socket;
  ~SocketCloser() {
    if (socket != INVALID_SOCKET) ::closesocket(socket);
  }
};

sockaddr_in Loopback(unsigned short port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

inline void CloseStore(HCERTSTORE store) { ::CertCloseStore(store, 0); }
using UniqueCertStore = fw::Unique<HCERTSTORE, &CloseStore, fw::NullHandle<HCERTSTORE>>;

// Waits for a file of one decimal line that the receiver writes; 0 on timeout.
unsigned short ReadPortFile(const std::string& path, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  std::string text;
  do {
    if (ReadWholeFile(path, &text) && !text.empty() && text.back() == '\n')
      return static_cast<unsigned short>(std::strtoul(text.c_str(), nullptr, 10));
    ::Sleep(20);
  } while (::GetTickCount() - start < timeoutMs);
  return 0;
}

bool FileExists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Sends GET /__quit and reads the answer, every step bounded.
void SendQuit(unsigned short port) {
  EnsureWinsock();
  SocketCloser connection{::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)};
  if (connection.socket == INVALID_SOCKET) return;
  const DWORD timeout = 3000;
  ::setsockopt(connection.socket, SOL_SOCKET, SO_RCVTIMEO,
               reinterpret_cast<const char*>(&timeout), sizeof timeout);
  ::setsockopt(connection.socket, SOL_SOCKET, SO_SNDTIMEO,
               reinterpret_cast<const char*>(&timeout), sizeof timeout);
  sockaddr_in address = Loopback(port);
  if (::connect(connection.socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    return;
  static const char kQuit[] = "GET /__quit HTTP/1.0\r\n\r\n";
  ::send(connection.socket, kQuit, sizeof kQuit - 1, 0);
  char answer[256];
  while (::recv(connection.socket, answer, sizeof answer, 0) > 0) {
  }
}

}  // namespace

std::string WindowsPathOf(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

bool ReadWholeFile(const std::string& path, std::string* content) {
  fw::UniqueFile file(::CreateFileA(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  content->clear();
  char buffer[65536];
  DWORD got = 0;
  while (::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
    content->append(buffer, got);
  return true;
}

std::string RecordedRequest::Head() const {
  const std::size_t end = bytes.find("\r\n\r\n");
  return end == std::string::npos ? bytes : bytes.substr(0, end + 4);
}

std::string RecordedRequest::Body() const {
  const std::size_t end = bytes.find("\r\n\r\n");
  return end == std::string::npos ? std::string() : bytes.substr(end + 4);
}

std::string RecordedRequest::Header(const std::string& name) const {
  const std::string head = Head();
  std::size_t line = head.find("\r\n");
  while (line != std::string::npos && line + 2 < head.size()) {
    const std::size_t start = line + 2;
    line = head.find("\r\n", start);
    const std::string text = head.substr(start, line - start);
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos || colon != name.size()) continue;
    if (::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, text.c_str(), static_cast<int>(colon),
                         name.c_str(), static_cast<int>(name.size())) != CSTR_EQUAL)
      continue;
    std::size_t value = colon + 1;
    while (value < text.size() && text[value] == ' ') ++value;
    return text.substr(value);
  }
  return {};
}

std::string Receiver::ProgramPath() { return WindowsPathOf(BRIMLET_NATIVE_DIR "/brimlet_receiver"); }

bool Receiver::TrustTestAuthority() {
  std::string der;
  if (!ReadWholeFile(WindowsPathOf(BRIMLET_NATIVE_DIR "/tls/ca.der"), &der) || der.empty())
    return false;
  UniqueCertStore root(::CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0,
                                       CERT_SYSTEM_STORE_LOCAL_MACHINE, "Root"));
  return root && ::CertAddEncodedCertificateToStore(
                     root.get(), X509_ASN_ENCODING,
                     reinterpret_cast<const BYTE*>(der.data()), static_cast<DWORD>(der.size()),
                     CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
}

unsigned short Receiver::UnusedPort() {
  EnsureWinsock();
  SocketCloser probe{::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)};
  if (probe.socket == INVALID_SOCKET) return 0;
  sockaddr_in address = Loopback(0);
  int length = sizeof address;
  if (::bind(probe.socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(probe.socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    return 0;
  return ntohs(address.sin_port);
}

bool CreateRunFolder(const std::string& runs, const std::string& prefix, RunFolder* run) {
  static std::atomic<unsigned> counter{0};
  ::CreateDirectoryA(WindowsPathOf(runs).c_str(), nullptr);
  for (unsigned attempt = 0;; ++attempt) {
    run->unixFolder = runs + "/" + prefix + std::to_string(::GetCurrentProcessId()) + "-" +
                      std::to_string(::GetTickCount64()) + "-" + std::to_string(++counter);
    run->folder = WindowsPathOf(run->unixFolder);
    if (::CreateDirectoryA(run->folder.c_str(), nullptr)) break;
    if (::GetLastError() != ERROR_ALREADY_EXISTS || attempt == 100) {
      ADD_FAILURE() << "cannot create the receiver's folder " << run->folder;
      return false;
    }
  }
  run->lease.reset(::CreateFileA((run->folder + "\\lease").c_str(), GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!run->lease) {
    ADD_FAILURE() << "cannot create the receiver's lease file in " << run->folder;
    return false;
  }
  return true;
}

Receiver::Receiver(Tls tls) {
  if (!CreateRunFolder(BRIMLET_BUILD_DIR "/receiver-runs", "", &run_)) return;

  const std::string program = ProgramPath();
  if (!FileExists(program)) {
    ADD_FAILURE() << "the native receiver is missing: " << program
                  << " (the native build makes it)";
    return;
  }
  std::string line = "\"" + program + "\" --dir \"" + run_.unixFolder + "/records\" --port-file \"" +
                     run_.unixFolder + "/port\" --lease \"" + run_.unixFolder + "/lease\" --log \"" +
                     run_.unixFolder + "/log\" --idle-timeout " + kIdleTimeoutSeconds;
  if (tls != Tls::kNone) {
    const std::string name = tls == Tls::kTrusted ? "server" : "stranger";
    const std::string material = BRIMLET_NATIVE_DIR "/tls/" + name;
    line += " --cert \"" + material + ".pem\" --key \"" + material + ".key\" --tls-port-file \"" +
            run_.unixFolder + "/tls-port\"";
  }
  if (!StartProcess(line)) {
    ADD_FAILURE() << "cannot start " << line << ": error " << ::GetLastError();
    return;
  }

  // The port file comes last, once every listener is ready.
  port_ = ReadPortFile(run_.folder + "\\port", 10000);
  if (port_ && tls != Tls::kNone) tlsPort_ = ReadPortFile(run_.folder + "\\tls-port", 1000);
  if (!port_ || (tls != Tls::kNone && !tlsPort_)) {
    std::string log;
    ReadWholeFile(run_.folder + "\\log", &log);
    ADD_FAILURE() << "the receiver did not start within 10 s: " << line << "\n" << log;
    port_ = 0;
  }
}

Receiver::~Receiver() {
  const bool ended = Stop();
  // A receiver that has not ended may still be writing; leave its folder.
  if (ended && !run_.folder.empty()) RemoveTree(run_.folder);
}

bool Receiver::Stop(DWORD timeoutMs) {
  if (stopped_) return true;
  if (port_) SendQuit(port_);
  run_.lease.reset();  // the second way to end it, should the request not get through
  // The program removes its port file as its last act.
  if (!WaitUntilGone(run_.folder + "\\port", timeoutMs)) return false;
  stopped_ = true;
  return true;
}

std::string Receiver::Url(const std::string& pathAndQuery) const {
  return LoopbackUrl(port_, pathAndQuery);
}

std::string Receiver::SecureUrl(const std::string& pathAndQuery) const {
  return "https://localhost:" + std::to_string(tlsPort_) + pathAndQuery;
}

std::vector<RecordedRequest> Receiver::WaitForRequests(std::size_t count, DWORD timeoutMs) const {
  std::vector<RecordedRequest> requests;
  const DWORD start = ::GetTickCount();
  for (;;) {
    std::string index;
    std::vector<receiver::RecordEntry> entries;
    if (ReadWholeFile(RecordFolder() + "\\index.txt", &index)) {
      // Only whole lines: one may be half appended as we read.
      std::size_t begin = 0;
      for (std::size_t end; (end = index.find('\n', begin)) != std::string::npos; begin = end + 1)
        if (auto entry = receiver::ParseRecordLine(index.substr(begin, end - begin)))
          entries.push_back(*entry);
    }
    if (entries.size() >= count || ::GetTickCount() - start > timeoutMs) {
      for (const auto& entry : entries) {
        RecordedRequest request{entry, {}};
        ReadWholeFile(RecordFolder() + "\\" + receiver::RecordFileName(entry.number),
                      &request.bytes);
        requests.push_back(std::move(request));
      }
      return requests;
    }
    ::Sleep(20);
  }
}

}  // namespace scenario
