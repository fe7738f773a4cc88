// The receiver as a client meets it over a real loopback socket: what it
// answers, what it files, and that it always stops.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/receiver/record.h"
#include "tests/receiver/reply.h"
#include "tests/receiver/server.h"

namespace receiver {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

long long MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

bool Exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

// A connected loopback client with bounded waits.
class Client {
 public:
  explicit Client(std::uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    timeval wait{10, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~Client() { ::close(fd_); }

  bool connected() const { return connected_; }
  int fd() const { return fd_; }
  bool Send(const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
      const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return false;
      sent += static_cast<std::size_t>(n);
    }
    return true;
  }
  // Reads up to `size` bytes (fewer if the connection ends first).
  std::string Receive(std::size_t size) {
    std::string text;
    char buffer[65536];
    while (text.size() < size) {
      const ssize_t n = ::recv(fd_, buffer, std::min(sizeof buffer, size - text.size()), 0);
      if (n <= 0) break;
      text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
  }
  std::string ReceiveAll() { return Receive(std::string::npos); }
  void EndSending() { ::shutdown(fd_, SHUT_WR); }

 private:
  int fd_ = -1;
  bool connected_ = false;
};

std::string Post(const std::string& target, const std::string& body,
                 const std::string& version = "HTTP/1.0") {
  return "POST " + target + " " + version +
         "\r\n"
         "Content-Type: multipart/form-data; boundary=XyZ\r\n"
         "Content-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string Get(const std::string& target) { return "GET " + target + " HTTP/1.0\r\n\r\n"; }

std::string BinaryBody(std::size_t size) {
  std::string body(size, '\0');
  for (std::size_t i = 0; i < size; ++i) body[i] = static_cast<char>((i * 131 + i / 251) & 0xff);
  return body;
}

std::string BodyOf(const std::string& response) {
  const std::size_t end = response.find("\r\n\r\n");
  return end == std::string::npos ? std::string() : response.substr(end + 4);
}

class ReceiverServer : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/receiver-test-XXXXXX";
    ASSERT_NE(nullptr, ::mkdtemp(pattern));
    folder_ = pattern;
    options_.recordFolder = folder_ + "/records";
    options_.portFile = folder_ + "/port";
  }
  void TearDown() override {
    Stop();
    const std::string remove = "rm -rf '" + folder_ + "'";
    EXPECT_EQ(0, std::system(remove.c_str()));
  }

  void Start() {
    server_ = std::make_unique<Server>(options_);
    std::string error;
    ASSERT_TRUE(server_->Listen(&error)) << error;
    thread_ = std::thread([this] { server_->Run(); });
  }
  void Stop() {
    if (!server_) return;
    server_->RequestStop();
    if (thread_.joinable()) thread_.join();
    server_.reset();
  }
  std::uint16_t port() const { return server_->port(); }

  std::string Exchange(const std::string& request) {
    Client client(port());
    EXPECT_TRUE(client.connected());
    EXPECT_TRUE(client.Send(request));
    return client.ReceiveAll();
  }

  std::vector<RecordEntry> Index() const {
    std::vector<RecordEntry> entries;
    std::istringstream lines(ReadFile(options_.recordFolder + "/index.txt"));
    for (std::string line; std::getline(lines, line);) {
      auto entry = ParseRecordLine(line);
      EXPECT_TRUE(entry) << line;
      if (entry) entries.push_back(*entry);
    }
    return entries;
  }
  std::vector<RecordEntry> WaitForRecords(std::size_t count) const {
    const auto start = Clock::now();
    auto entries = Index();
    while (entries.size() < count && MillisecondsSince(start) < 10000) {
      std::this_thread::sleep_for(milliseconds(20));
      entries = Index();
    }
    return entries;
  }
  std::string Record(unsigned number) const {
    return ReadFile(options_.recordFolder + "/" + RecordFileName(number));
  }

  std::string folder_;
  ServerOptions options_;
  std::unique_ptr<Server> server_;
  std::thread thread_;
};

TEST_F(ReceiverServer, PostIsFiledByteForByteAndAnsweredOk) {
  Start();
  const std::string body = "--XyZ\r\nContent-Disposition: form-data; name=\"FILE1\"\r\n\r\n" +
                           BinaryBody(70000) + "\r\n\r\n--XyZ--\r\n";
  const std::string request = Post("/ok/upload.asp?user=kim&n=1", body);
  const std::string response = Exchange(request);
  EXPECT_EQ(0u, response.find("HTTP/1.1 200 OK\r\n"));
  EXPECT_EQ("OK\n", BodyOf(response));

  const auto entries = WaitForRecords(1);
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ(1u, entries[0].number);
  EXPECT_EQ(Outcome::kComplete, entries[0].outcome);
  EXPECT_EQ(200, entries[0].status);
  EXPECT_EQ(body.size(), entries[0].declared.value_or(0));
  EXPECT_EQ(body.size(), entries[0].received);
  EXPECT_EQ(body.size(), entries[0].stored);
  EXPECT_EQ(Fnv1a(body), entries[0].fnv1a.value_or(0));
  EXPECT_EQ("/ok/upload.asp?user=kim&n=1", entries[0].target);
  EXPECT_EQ(request, Record(1));
}

TEST_F(ReceiverServer, RequestDribbledOneByteAtATimeIsStillWhole) {
  Start();
  const std::string request = Post("/ok", "a=1&b=2\r\n\r\nc");
  Client client(port());
  for (char c : request) ASSERT_TRUE(client.Send(std::string(1, c)));
  EXPECT_EQ(0u, client.ReceiveAll().find("HTTP/1.1 200 OK\r\n"));
  ASSERT_EQ(1u, WaitForRecords(1).size());
  EXPECT_EQ(request, Record(1));
}

TEST_F(ReceiverServer, StatusAndLargeReplyAreAnsweredAsAsked) {
  Start();
  const std::string response = Exchange(Post("/status/500/reply/150000", "x"));
  EXPECT_EQ(0u, response.find("HTTP/1.1 500 Internal Server Error\r\n"));
  EXPECT_NE(std::string::npos, response.find("\r\nContent-Length: 150000\r\n"));
  EXPECT_EQ(ReplyText(150000), BodyOf(response));
  const auto entries = WaitForRecords(1);
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ(500, entries[0].status);
}

TEST_F(ReceiverServer, EmptyAndStatusOnlyReplies) {
  Start();
  const std::string empty = Exchange(Get("/empty"));
  EXPECT_EQ(0u, empty.find("HTTP/1.1 200 OK\r\n"));
  EXPECT_NE(std::string::npos, empty.find("\r\nContent-Length: 0\r\n"));
  EXPECT_EQ("", BodyOf(empty));
  const std::string failed = Exchange(Get("/status/503"));
  EXPECT_EQ(0u, failed.find("HTTP/1.1 503 Service Unavailable\r\n"));
  EXPECT_EQ("status 503\n", BodyOf(failed));
}

TEST_F(ReceiverServer, UnknownPathIsAnswered404ButTheUploadIsStillFiled) {
  Start();
  const std::string request = Post("/upload.asp", "payload");
  const std::string response = Exchange(request);
  EXPECT_EQ(0u, response.find("HTTP/1.1 404 Not Found\r\n"));
  EXPECT_NE(std::string::npos, BodyOf(response).find("/upload.asp"));
  const auto entries = WaitForRecords(1);
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ(404, entries[0].status);
  EXPECT_EQ(request, Record(1));
}

TEST_F(ReceiverServer, CloseMidBodyCutsTheConnectionAfterThatManyBytes) {
  Start();
  const std::string request = Post("/close-mid-body/1000", BinaryBody(4 << 20));
  Client client(port());
  // The sender either fails while writing or finds no answer: never a status.
  client.Send(request);
  EXPECT_EQ(std::string::npos, client.ReceiveAll().find("HTTP/1.1"));
  const auto entries = WaitForRecords(1);
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ(Outcome::kClosedMidBody, entries[0].outcome);
  EXPECT_EQ(0, entries[0].status);
  EXPECT_EQ(4u << 20, entries[0].declared.value_or(0));
  EXPECT_EQ(1000u, entries[0].received);
  const std::size_t headSize = request.find("\r\n\r\n") + 4;
  EXPECT_EQ(request.substr(0, headSize + 1000), Record(1));
}

TEST_F(ReceiverServer, ClientThatHangsUpEarlyIsFiledWithWhatArrived) {
  Start();
  {
    Client client(port());
    const std::string full = Post("/ok", std::string(100, 'z'));
    ASSERT_TRUE(client.Send(full.substr(0, full.size() - 90)));
  }
  const auto entries = WaitForRecords(1);
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ(Outcome::kClientClosed, entries[0].outcome);
  EXPECT_EQ(100u, entries[0].declared.value_or(0));
  EXPECT_EQ(10u, entries[0].received);
  EXPECT_EQ(0, entries[0].status);
}

TEST_F(ReceiverServer, MalformedHeadIsAnsweredWithItsStatusAndFiledAsRefused) {
  Start();
  const std::string request = "POST /ok?x=1 HTTP/1.0\r\nContent-Type: text/plain\r\n\r\n";
  const std::string response = Exchange(request);
  EXPECT_EQ(0u, response.find("HTTP/1.1 411 Length Required\r\n"));
  const auto entries = WaitForRecords(1);
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ(Outcome::kRefused, entries[0].outcome);
  EXPECT_EQ(411, entries[0].status);
  EXPECT_FALSE(entries[0].declared);
  EXPECT_EQ("/ok?x=1", entries[0].target);
  EXPECT_EQ(request, Record(1));
}

TEST_F(ReceiverServer, Http11ClientIsToldToContinueBeforeSendingItsBody) {
  Start();
  Client client(port());
  ASSERT_TRUE(client.Send("POST /ok HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\n"
                          "Expect: 100-continue\r\n\r\n"));
  EXPECT_EQ("HTTP/1.1 100 Continue\r\n\r\n", client.Receive(25));
  ASSERT_TRUE(client.Send("hello"));
  EXPECT_EQ(0u, client.ReceiveAll().find("HTTP/1.1 200 OK\r\n"));
  const auto entries = WaitForRecords(1);
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ(5u, entries[0].received);
}

TEST_F(ReceiverServer, DiscardAndDrainKeepTheHeadOnly) {
  Start();
  const std::string body = BinaryBody(3 << 20);
  const std::string discard = Post("/discard", body);
  EXPECT_EQ(0u, Exchange(discard).find("HTTP/1.1 200 OK\r\n"));
  const std::string drain = Post("/drain", body);
  EXPECT_EQ(0u, Exchange(drain).find("HTTP/1.1 200 OK\r\n"));

  const auto entries = WaitForRecords(2);
  ASSERT_EQ(2u, entries.size());
  for (const auto& entry : entries) {
    EXPECT_EQ(body.size(), entry.received);
    EXPECT_EQ(0u, entry.stored);
  }
  EXPECT_EQ(Fnv1a(body), entries[0].fnv1a.value_or(0));
  EXPECT_FALSE(entries[1].fnv1a);
  EXPECT_EQ(discard.substr(0, discard.size() - body.size()), Record(1));
  EXPECT_EQ(drain.substr(0, drain.size() - body.size()), Record(2));
}

TEST_F(ReceiverServer, SlowReadTakesTheBodyNoFasterThanTheRate) {
  Start();
  const auto start = Clock::now();
  // 200,000 bytes at 400,000 a second: the first tenth is free, the rest
  // needs 0.4 s at least.
  EXPECT_EQ(0u, Exchange(Post("/slow-read/400000", BinaryBody(200000))).find("HTTP/1.1 200"));
  EXPECT_GE(MillisecondsSince(start), 380);
  EXPECT_EQ(200000u, WaitForRecords(1).at(0).received);
}

TEST_F(ReceiverServer, SlowReplyWaitsBeforeAnswering) {
  Start();
  const auto start = Clock::now();
  EXPECT_EQ(0u, Exchange(Post("/slow-reply/300", "x")).find("HTTP/1.1 200"));
  EXPECT_GE(MillisecondsSince(start), 300);
}

TEST_F(ReceiverServer, TwoConnectionsAtOnceAreFiledInTheOrderTheyFinish) {
  Start();
  std::string slowResponse;
  std::thread slow([&] { slowResponse = Exchange(Post("/slow-reply/600/slow", "first")); });
  std::this_thread::sleep_for(milliseconds(100));
  EXPECT_EQ(0u, Exchange(Post("/ok/quick", "second")).find("HTTP/1.1 200"));
  slow.join();
  EXPECT_EQ(0u, slowResponse.find("HTTP/1.1 200"));
  const auto entries = WaitForRecords(2);
  ASSERT_EQ(2u, entries.size());
  EXPECT_EQ("/ok/quick", entries[0].target);
  EXPECT_EQ("/slow-reply/600/slow", entries[1].target);
}

TEST_F(ReceiverServer, SilentConnectionLeavesNoRecordAndStalledOneTimesOut) {
  options_.readTimeoutMs = 300;
  Start();
  { Client silent(port()); }
  Client stalled(port());
  ASSERT_TRUE(stalled.Send("POST /ok HTTP/1.0\r\nContent-Len"));
  EXPECT_EQ("", stalled.ReceiveAll());  // dropped, unanswered
  const auto entries = WaitForRecords(1);
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ(Outcome::kTimedOut, entries[0].outcome);
  EXPECT_EQ("/ok", entries[0].target);
  EXPECT_EQ("POST /ok HTTP/1.0\r\nContent-Len", Record(1));
}

TEST_F(ReceiverServer, ConnectionsBeyondTheLimitAreClosedUnanswered) {
  options_.maxConnections = 1;
  Start();
  {
    Client holder(port());
    ASSERT_TRUE(holder.Send("POST /ok HTTP/1.0\r\nContent-Length: 2\r\n\r\n"));
    std::this_thread::sleep_for(milliseconds(300));  // the receiver has taken it up
    {
      const auto start = Clock::now();
      Client extra(port());
      extra.Send(Get("/ok/extra"));
      EXPECT_EQ("", extra.ReceiveAll());
      EXPECT_LT(MillisecondsSince(start), 5000);
    }
    ASSERT_TRUE(holder.Send("ab"));
    EXPECT_EQ(0u, holder.ReceiveAll().find("HTTP/1.1 200"));
  }
  // With the first one closed there is room again.
  std::this_thread::sleep_for(milliseconds(300));
  EXPECT_EQ(0u, Exchange(Get("/ok/later")).find("HTTP/1.1 200"));
  const auto entries = WaitForRecords(2);
  ASSERT_EQ(2u, entries.size());
  EXPECT_EQ("/ok", entries[0].target);
  EXPECT_EQ("/ok/later", entries[1].target);
}

TEST_F(ReceiverServer, QuitStopsTheReceiverUnrecordedAndRemovesThePortFile) {
  Start();
  EXPECT_EQ(std::to_string(port()) + "\n", ReadFile(options_.portFile));
  const std::string response = Exchange(Get("/__quit"));
  EXPECT_EQ(0u, response.find("HTTP/1.1 200 OK\r\n"));
  const auto start = Clock::now();
  thread_.join();
  EXPECT_LT(MillisecondsSince(start), 3000);
  EXPECT_FALSE(Exists(options_.portFile));
  EXPECT_TRUE(Index().empty());
  EXPECT_FALSE(Client(port()).connected());
}

TEST_F(ReceiverServer, LosingTheLeaseStopsIt) {
  options_.leaseFile = folder_ + "/lease";
  std::ofstream(options_.leaseFile) << "held";
  Start();
  EXPECT_EQ(0u, Exchange(Get("/ok")).find("HTTP/1.1 200"));
  ::unlink(options_.leaseFile.c_str());
  const auto start = Clock::now();
  thread_.join();
  EXPECT_LT(MillisecondsSince(start), 3000);
  EXPECT_FALSE(Exists(options_.portFile));
}

TEST_F(ReceiverServer, IdleReceiverStopsByItself) {
  options_.idleTimeoutMs = 300;
  Start();
  const auto start = Clock::now();
  thread_.join();
  EXPECT_GE(MillisecondsSince(start), 250);
  EXPECT_LT(MillisecondsSince(start), 3000);
}

TEST_F(ReceiverServer, StoppingCutsShortATransferInProgress) {
  Start();
  Client client(port());
  const std::string request = Post("/slow-read/10000", BinaryBody(1 << 20));
  std::thread sender([&] { client.Send(request); });
  std::this_thread::sleep_for(milliseconds(300));
  const auto start = Clock::now();
  Stop();
  EXPECT_LT(MillisecondsSince(start), 3000);
  client.EndSending();
  sender.join();
  const auto entries = Index();
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ(Outcome::kStopped, entries[0].outcome);
  EXPECT_LT(entries[0].received, 1u << 20);
}

// A TLS client that checks the receiver's certificate against the test
// authority and the name "localhost".
class TlsClient {
 public:
  TlsClient(std::uint16_t port, const std::string& authorityFile) : plain_(port) {
    context_ = SSL_CTX_new(TLS_client_method());
    SSL_CTX_load_verify_locations(context_, authorityFile.c_str(), nullptr);
    SSL_CTX_set_verify(context_, SSL_VERIFY_PEER, nullptr);
    ssl_ = SSL_new(context_);
    SSL_set_fd(ssl_, plain_.fd());
    SSL_set1_host(ssl_, "localhost");
    SSL_set_tlsext_host_name(ssl_, "localhost");
    handshaken_ = plain_.connected() && SSL_connect(ssl_) == 1;
  }
  ~TlsClient() {
    SSL_free(ssl_);
    SSL_CTX_free(context_);
  }
  bool handshaken() const { return handshaken_; }
  bool Send(const std::string& bytes) {
    return SSL_write(ssl_, bytes.data(), static_cast<int>(bytes.size())) ==
           static_cast<int>(bytes.size());
  }
  std::string ReceiveAll() {
    std::string text;
    char buffer[16384];
    for (int n; (n = SSL_read(ssl_, buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    return text;
  }

 private:
  Client plain_;
  SSL_CTX* context_ = nullptr;
  SSL* ssl_ = nullptr;
  bool handshaken_ = false;
};

TEST_F(ReceiverServer, TlsPortServesTheSameUrlsAndFilesTheDecryptedRequest) {
  options_.certificateFile = BRIMLET_RECEIVER_CERTS "/server.pem";
  options_.keyFile = BRIMLET_RECEIVER_CERTS "/server.key";
  options_.tlsPortFile = folder_ + "/tls-port";
  Start();
  ASSERT_NE(0, server_->tlsPort());
  EXPECT_EQ(std::to_string(server_->tlsPort()) + "\n", ReadFile(options_.tlsPortFile));

  TlsClient client(server_->tlsPort(), BRIMLET_RECEIVER_CERTS "/ca.pem");
  ASSERT_TRUE(client.handshaken());
  const std::string request = Post("/status/201/reply/100000", BinaryBody(50000));
  ASSERT_TRUE(client.Send(request));
  const std::string response = client.ReceiveAll();
  EXPECT_EQ(0u, response.find("HTTP/1.1 201 Created\r\n"));
  EXPECT_EQ(ReplyText(100000), BodyOf(response));
  EXPECT_EQ(0u, Exchange(Get("/ok/plain")).find("HTTP/1.1 200"));

  const auto entries = WaitForRecords(2);
  ASSERT_EQ(2u, entries.size());
  EXPECT_EQ(request, Record(1));
  EXPECT_EQ("/ok/plain", entries[1].target);
  Stop();
  EXPECT_FALSE(Exists(options_.tlsPortFile));
}

TEST_F(ReceiverServer, StrangerCertificateFailsTheHandshakeAndLeavesNoRecord) {
  options_.certificateFile = BRIMLET_RECEIVER_CERTS "/stranger.pem";
  options_.keyFile = BRIMLET_RECEIVER_CERTS "/stranger.key";
  Start();
  EXPECT_FALSE(TlsClient(server_->tlsPort(), BRIMLET_RECEIVER_CERTS "/ca.pem").handshaken());
  EXPECT_EQ(0u, Exchange(Get("/ok/after")).find("HTTP/1.1 200"));
  const auto entries = WaitForRecords(1);
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ("/ok/after", entries[0].target);
}

TEST_F(ReceiverServer, MismatchedTlsMaterialIsReportedNotServed) {
  options_.certificateFile = BRIMLET_RECEIVER_CERTS "/server.pem";
  options_.keyFile = BRIMLET_RECEIVER_CERTS "/stranger.key";
  Server server(options_);
  std::string error;
  EXPECT_FALSE(server.Listen(&error));
  EXPECT_NE(std::string::npos, error.find("stranger.key")) << error;
  options_.keyFile.clear();
  Server halfGiven(options_);
  EXPECT_FALSE(halfGiven.Listen(&error));
}

TEST(ReceiverUnusedPort, NobodyAnswersOnIt) {
  const std::uint16_t port = UnusedPort();
  ASSERT_NE(0, port);
  EXPECT_FALSE(Client(port).connected());
}

}  // namespace
}  // namespace receiver
