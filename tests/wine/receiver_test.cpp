// A Windows program under Wine starts the native receiver, posts to it through
// bare WinInet the way an upload does (one streamed HTTP/1.0 POST), and reads
// back what the receiver filed; each misbehaviour asked for by URL reaches the
// sender as it would from a real server, within bounded time.
#include <winsock2.h>  // before <windows.h>
#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <string>

#include "framework/unique_handle.h"
#include "tests/receiver/record.h"
#include "tests/receiver/reply.h"
#include "tests/wine/support/receiver.h"

namespace {

using UniqueInternet = fw::Unique<HINTERNET, &::InternetCloseHandle, fw::NullHandle<HINTERNET>>;
using scenario::Receiver;

// What the sender saw of one POST.
struct PostResult {
  bool sendStarted = false;  // HttpSendRequestEx succeeded
  DWORD sendError = 0;
  bool allWritten = false;   // every InternetWriteFile succeeded
  DWORD writeError = 0;
  bool ended = false;        // HttpEndRequest succeeded
  DWORD endError = 0;
  DWORD status = 0;          // 0 when no status line came back
  std::string reply;
  DWORD elapsedMs = 0;
};

// Posts `body` in pieces of `piece` bytes through WinInet, as the control
// does: HttpSendRequestEx with the total, InternetWriteFile per piece,
// HttpEndRequest, then the status and the reply. `secure` posts over TLS to
// "localhost", the name the receiver's certificates carry.
PostResult Post(unsigned short port, const std::string& path, const std::string& body,
                std::size_t piece = 4096, bool secure = false) {
  PostResult result;
  const DWORD start = ::GetTickCount();
  UniqueInternet session(::InternetOpenA("receiver_test", INTERNET_OPEN_TYPE_DIRECT, nullptr,
                                         nullptr, 0));
  EXPECT_TRUE(session);
  // Nothing in these scenarios may wait long for a peer.
  DWORD timeout = 10000;
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                       INTERNET_OPTION_RECEIVE_TIMEOUT})
    ::InternetSetOptionA(session.get(), option, &timeout, sizeof timeout);
  UniqueInternet connection(::InternetConnectA(session.get(), secure ? "localhost" : "127.0.0.1",
                                               port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0,
                                               0));
  EXPECT_TRUE(connection);
  const char* accept[] = {"*/*", nullptr};
  UniqueInternet request(::HttpOpenRequestA(
      connection.get(), "POST", path.c_str(), "HTTP/1.0", nullptr, accept,
      INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RELOAD | INTERNET_FLAG_PRAGMA_NOCACHE |
          (secure ? INTERNET_FLAG_SECURE : 0),
      0));
  EXPECT_TRUE(request);
  if (!request) return result;
  const std::string contentType =
      "Content-Type: multipart/form-data; boundary=---------------------------7d21a8\r\n";
  ::HttpAddRequestHeadersA(request.get(), contentType.c_str(), static_cast<DWORD>(-1),
                           HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE);

  INTERNET_BUFFERSA buffers{};
  buffers.dwStructSize = sizeof buffers;
  buffers.dwBufferTotal = static_cast<DWORD>(body.size());
  result.sendStarted = ::HttpSendRequestExA(request.get(), &buffers, nullptr, 0, 0);
  if (!result.sendStarted) {
    result.sendError = ::GetLastError();
    result.elapsedMs = ::GetTickCount() - start;
    return result;
  }
  result.allWritten = true;
  for (std::size_t offset = 0; offset < body.size() && result.allWritten; offset += piece) {
    const DWORD size = static_cast<DWORD>(std::min(piece, body.size() - offset));
    DWORD written = 0;
    result.allWritten = ::InternetWriteFile(request.get(), body.data() + offset, size, &written) &&
                        written == size;
    if (!result.allWritten) result.writeError = ::GetLastError();
  }
  result.ended = ::HttpEndRequestA(request.get(), nullptr, 0, 0);
  if (!result.ended) {
    result.endError = ::GetLastError();
  } else {
    DWORD size = sizeof result.status;
    ::HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                     &result.status, &size, nullptr);
    char buffer[16384];
    DWORD got = 0;
    while (::InternetReadFile(request.get(), buffer, sizeof buffer, &got) && got > 0)
      result.reply.append(buffer, got);
  }
  result.elapsedMs = ::GetTickCount() - start;
  return result;
}

// A small multipart body with every byte value in its file part.
std::string MultipartBody() {
  std::string file;
  for (int i = 0; i < 256; ++i) file += static_cast<char>(i);
  file += "\r\n\r\n--not-the-boundary\r\n";
  return "-----------------------------7d21a8\r\n"
         "Content-Disposition: form-data; name=\"FILE1\"; filename=\"C:\\data\\a.bin\"\r\n"
         "Content-Type: application/octet-stream\r\n"
         "\r\n" +
         file +
         "\r\n-----------------------------7d21a8--\r\n";
}

std::string LargeBody(std::size_t size) {
  std::string body(size, '\0');
  for (std::size_t i = 0; i < size; ++i) body[i] = static_cast<char>((i * 7 + i / 4093) & 0xff);
  return body;
}

bool Listening(unsigned short port) {
  SOCKET probe = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool connected =
      ::connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::closesocket(probe);
  return connected;
}

TEST(Receiver, FilesAWinInetPostByteForByte) {
  Receiver receiver;
  ASSERT_TRUE(receiver.Started());
  const std::string body = MultipartBody();
  // Uneven pieces: the record must not depend on how the sender cut the body.
  const PostResult sent = Post(receiver.Port(), "/ok/upload.asp?id=7&name=kim", body, 100);
  ASSERT_TRUE(sent.sendStarted) << sent.sendError;
  EXPECT_TRUE(sent.allWritten);
  ASSERT_TRUE(sent.ended) << sent.endError;
  EXPECT_EQ(200u, sent.status);
  EXPECT_EQ("OK\n", sent.reply);

  const auto requests = receiver.WaitForRequests(1);
  ASSERT_EQ(1u, requests.size());
  const auto& request = requests[0];
  EXPECT_EQ(0u, request.bytes.find("POST /ok/upload.asp?id=7&name=kim HTTP/1.0\r\n"))
      << request.Head();
  EXPECT_EQ(std::to_string(body.size()), request.Header("Content-Length"));
  EXPECT_EQ("multipart/form-data; boundary=---------------------------7d21a8",
            request.Header("Content-Type"));
  EXPECT_EQ("*/*", request.Header("Accept"));
  EXPECT_EQ(body, request.Body());
  EXPECT_EQ(receiver::Outcome::kComplete, request.entry.outcome);
  EXPECT_EQ(200, request.entry.status);
  EXPECT_EQ(body.size(), request.entry.received);
  EXPECT_EQ(receiver::Fnv1a(body), request.entry.fnv1a.value_or(0));
}

TEST(Receiver, StatusAskedForIsWhatHttpQueryInfoReports) {
  Receiver receiver;
  ASSERT_TRUE(receiver.Started());
  const PostResult sent = Post(receiver.Port(), "/status/500", MultipartBody());
  ASSERT_TRUE(sent.ended) << sent.endError;
  EXPECT_EQ(500u, sent.status);
  EXPECT_EQ("status 500\n", sent.reply);
  const auto requests = receiver.WaitForRequests(1);
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ(500, requests[0].entry.status);
}

TEST(Receiver, LargeReplyArrivesWhole) {
  Receiver receiver;
  ASSERT_TRUE(receiver.Started());
  const PostResult sent = Post(receiver.Port(), "/reply/150000", MultipartBody());
  ASSERT_TRUE(sent.ended) << sent.endError;
  EXPECT_EQ(200u, sent.status);
  ASSERT_EQ(150000u, sent.reply.size());
  EXPECT_EQ(receiver::ReplyText(150000), sent.reply);
}

TEST(Receiver, ClosingMidBodyFailsTheSenderInBoundedTime) {
  // A body larger than the socket buffers fails while being written (Wine
  // reports WSAECONNRESET); a small one is all written before the reset, and
  // then Wine's HttpEndRequest succeeds with no status line: status 0.
  for (std::size_t size : {std::size_t{8} << 20, std::size_t{5000}}) {
    Receiver receiver;
    ASSERT_TRUE(receiver.Started());
    const std::string body = LargeBody(size);
    const PostResult sent = Post(receiver.Port(), "/close-mid-body/1000", body, 65536);
    ASSERT_TRUE(sent.sendStarted) << sent.sendError;
    EXPECT_FALSE(sent.allWritten && sent.ended && sent.status != 0)
        << size << ": status " << sent.status << ", reply " << sent.reply.size() << " bytes";
    if (!sent.allWritten) {
      EXPECT_NE(0u, sent.writeError);
    }
    EXPECT_LT(sent.elapsedMs, 15000u);

    const auto requests = receiver.WaitForRequests(1);
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ(receiver::Outcome::kClosedMidBody, requests[0].entry.outcome);
    EXPECT_EQ(body.size(), requests[0].entry.declared.value_or(0));
    EXPECT_EQ(1000u, requests[0].entry.received);
    EXPECT_EQ(body.substr(0, 1000), requests[0].Body());
  }
}

TEST(Receiver, UnusedPortRefusesTheConnection) {
  const unsigned short port = Receiver::UnusedPort();
  ASSERT_NE(0, port);
  const PostResult sent = Post(port, "/ok", MultipartBody());
  EXPECT_FALSE(sent.sendStarted);
  EXPECT_EQ(static_cast<DWORD>(ERROR_INTERNET_CANNOT_CONNECT), sent.sendError);
  EXPECT_LT(sent.elapsedMs, 15000u);
}

TEST(Receiver, DiscardedUploadIsCheckedByLengthAndHash) {
  Receiver receiver;
  ASSERT_TRUE(receiver.Started());
  const std::string body = LargeBody(16 << 20);
  const PostResult sent = Post(receiver.Port(), "/discard", body, 65536);
  ASSERT_TRUE(sent.ended) << sent.endError;
  EXPECT_EQ(200u, sent.status);
  const auto requests = receiver.WaitForRequests(1);
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ(body.size(), requests[0].entry.received);
  EXPECT_EQ(0u, requests[0].entry.stored);
  EXPECT_EQ(receiver::Fnv1a(body), requests[0].entry.fnv1a.value_or(0));
  EXPECT_EQ("", requests[0].Body());
}

TEST(Receiver, SlowReadHoldsTheSenderBack) {
  Receiver receiver;
  ASSERT_TRUE(receiver.Started());
  // 300,000 bytes read at 500,000 a second: after the free first tenth the
  // rest needs half a second at least, and the answer comes only after it.
  const PostResult sent = Post(receiver.Port(), "/slow-read/500000", LargeBody(300000));
  ASSERT_TRUE(sent.ended) << sent.endError;
  EXPECT_EQ(200u, sent.status);
  EXPECT_GE(sent.elapsedMs, 450u);
  EXPECT_EQ(300000u, receiver.WaitForRequests(1).at(0).entry.received);
}

TEST(Receiver, TwoReceiversKeepSeparateRecords) {
  Receiver first, second;
  ASSERT_TRUE(first.Started());
  ASSERT_TRUE(second.Started());
  EXPECT_NE(first.Port(), second.Port());
  EXPECT_NE(first.RecordFolder(), second.RecordFolder());
  EXPECT_TRUE(Post(first.Port(), "/ok/one", "1").ended);
  EXPECT_TRUE(Post(second.Port(), "/ok/two", "22").ended);
  EXPECT_TRUE(Post(second.Port(), "/ok/three", "333").ended);
  const auto one = first.WaitForRequests(1);
  const auto two = second.WaitForRequests(2);
  ASSERT_EQ(1u, one.size());
  ASSERT_EQ(2u, two.size());
  EXPECT_EQ("/ok/one", one[0].entry.target);
  EXPECT_EQ("22", two[0].Body());
  EXPECT_EQ("333", two[1].Body());
  EXPECT_EQ("http://127.0.0.1:" + std::to_string(first.Port()) + "/ok?a=1", first.Url("/ok?a=1"));
}

TEST(Receiver, HttpsToATrustedReceiverIsFiledLikeHttp) {
  ASSERT_TRUE(Receiver::TrustTestAuthority());
  Receiver receiver(Receiver::Tls::kTrusted);
  ASSERT_TRUE(receiver.Started());
  EXPECT_NE(receiver.Port(), receiver.TlsPort());
  EXPECT_EQ("https://localhost:" + std::to_string(receiver.TlsPort()) + "/ok",
            receiver.SecureUrl("/ok"));
  const std::string body = MultipartBody();
  const PostResult sent = Post(receiver.TlsPort(), "/status/201/reply/150000?tls=1", body, 100, true);
  ASSERT_TRUE(sent.sendStarted) << sent.sendError;
  ASSERT_TRUE(sent.ended) << sent.endError;
  EXPECT_EQ(201u, sent.status);
  EXPECT_EQ(receiver::ReplyText(150000), sent.reply);
  // The same receiver still answers in the clear, into the same numbering.
  EXPECT_EQ(200u, Post(receiver.Port(), "/ok/plain", "x").status);

  const auto requests = receiver.WaitForRequests(2);
  ASSERT_EQ(2u, requests.size());
  EXPECT_EQ(0u, requests[0].bytes.find("POST /status/201/reply/150000?tls=1 HTTP/1.0\r\n"));
  EXPECT_EQ(body, requests[0].Body());
  EXPECT_EQ("/ok/plain", requests[1].entry.target);
}

TEST(Receiver, HttpsToAStrangerFailsBeforeAnyRequest) {
  Receiver receiver(Receiver::Tls::kStranger);
  ASSERT_TRUE(receiver.Started());
  const PostResult sent = Post(receiver.TlsPort(), "/ok", MultipartBody(), 4096, true);
  EXPECT_FALSE(sent.sendStarted);
  // Wine's WinInet reports a certificate it cannot chain to a trusted root
  // as a failed revocation check, not as ERROR_INTERNET_INVALID_CA.
  EXPECT_EQ(static_cast<DWORD>(ERROR_INTERNET_SEC_CERT_REV_FAILED), sent.sendError);
  EXPECT_LT(sent.elapsedMs, 15000u);
  // Nothing was filed: a plain request afterwards is the first record.
  EXPECT_EQ(200u, Post(receiver.Port(), "/ok/after", "x").status);
  const auto requests = receiver.WaitForRequests(1);
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ("/ok/after", requests[0].entry.target);
}

TEST(Receiver, StopsPromptlyAndForGood) {
  unsigned short port = 0;
  std::string folder;
  {
    Receiver receiver;
    ASSERT_TRUE(receiver.Started());
    port = receiver.Port();
    folder = receiver.RecordFolder();
    EXPECT_TRUE(Listening(port));
    const DWORD start = ::GetTickCount();
    EXPECT_TRUE(receiver.Stop());
    EXPECT_LT(::GetTickCount() - start, 5000u);
  }
  EXPECT_FALSE(Listening(port));
  // Its records went with it.
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(folder.c_str()));
}

}  // namespace
