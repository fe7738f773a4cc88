// How the receiver reads a request head: where it ends, what it asks for and
// how long its body is, and which heads it refuses with which status.
#include <gtest/gtest.h>

#include <string>

#include "tests/receiver/http_head.h"

namespace receiver {
namespace {

// What Wine's WinInet sends for a streamed HTTP/1.0 upload.
const char kUploadHead[] =
    "POST /ok/upload.asp?user=kim&id=7 HTTP/1.0\r\n"
    "Accept: */*\r\n"
    "Content-Type: multipart/form-data; boundary=---------------------------7d21a8\r\n"
    "User-Agent: brimlet\r\n"
    "Host: 127.0.0.1:4000\r\n"
    "Content-Length: 176\r\n"
    "Pragma: no-cache\r\n"
    "\r\n";

TEST(ReceiverHeadEnd, FoundJustPastTheBlankLineWhateverFollows) {
  const std::string head = kUploadHead;
  EXPECT_EQ(head.size(), FindHeadEnd(head));
  EXPECT_EQ(head.size(), FindHeadEnd(head + "--body bytes\r\n\r\nmore"));
  EXPECT_EQ(std::string::npos, FindHeadEnd(head.substr(0, head.size() - 1)));
  EXPECT_EQ(std::string::npos, FindHeadEnd("GET /ok HTTP/1.0\r\nHost: x\r\n"));
  EXPECT_EQ(std::string::npos, FindHeadEnd(""));
  // A client that ends its lines with LF alone is still understood.
  EXPECT_EQ(23u, FindHeadEnd("GET /ok HTTP/1.0\nA: b\n\nbody"));
}

TEST(ReceiverHead, UploadHeadGivesMethodTargetVersionHeadersAndBodyLength) {
  const HeadParse parsed = ParseRequestHead(kUploadHead);
  ASSERT_TRUE(parsed.ok) << parsed.error;
  EXPECT_EQ("POST", parsed.head.method);
  EXPECT_EQ("/ok/upload.asp?user=kim&id=7", parsed.head.target);
  EXPECT_EQ("HTTP/1.0", parsed.head.version);
  EXPECT_EQ(176u, parsed.bodyLength);
  EXPECT_FALSE(parsed.expectContinue);
  ASSERT_EQ(6u, parsed.head.headers.size());
  EXPECT_EQ("multipart/form-data; boundary=---------------------------7d21a8",
            parsed.head.Header("content-type").value_or(""));
  EXPECT_EQ("127.0.0.1:4000", parsed.head.Header("HOST").value_or(""));
  EXPECT_FALSE(parsed.head.Header("Cookie"));
}

TEST(ReceiverHead, HeaderValuesLoseSurroundingBlanksOnly) {
  const HeadParse parsed =
      ParseRequestHead("GET /ok HTTP/1.1\r\nX-Note: \t two  words \t\r\nX-Empty:\r\n\r\n");
  ASSERT_TRUE(parsed.ok);
  EXPECT_EQ("two  words", parsed.head.Header("x-note").value_or("?"));
  EXPECT_EQ("", parsed.head.Header("x-empty").value_or("?"));
  EXPECT_EQ(0u, parsed.bodyLength);
}

TEST(ReceiverHead, ContinueIsAwaitedOnlyByHttp11Clients) {
  EXPECT_TRUE(ParseRequestHead("POST /ok HTTP/1.1\r\nContent-Length: 5\r\n"
                               "Expect: 100-Continue\r\n\r\n")
                  .expectContinue);
  EXPECT_FALSE(ParseRequestHead("POST /ok HTTP/1.0\r\nContent-Length: 5\r\n"
                                "Expect: 100-continue\r\n\r\n")
                   .expectContinue);
  EXPECT_FALSE(ParseRequestHead("POST /ok HTTP/1.1\r\nContent-Length: 5\r\n\r\n").expectContinue);
}

TEST(ReceiverContentLength, OnlyPlainDecimalsThatAgreeAreTrusted) {
  EXPECT_EQ(0u, ParseContentLength("0").value_or(99));
  EXPECT_EQ(5368709120u, ParseContentLength("5368709120").value_or(0));  // past 4 GiB
  EXPECT_EQ(18446744073709551615u, ParseContentLength("18446744073709551615").value_or(0));
  EXPECT_EQ(12u, ParseContentLength("12, 12").value_or(0));
  EXPECT_FALSE(ParseContentLength("18446744073709551616"));  // one past 64 bits
  EXPECT_FALSE(ParseContentLength("12, 13"));
  EXPECT_FALSE(ParseContentLength("-1"));
  EXPECT_FALSE(ParseContentLength("+5"));
  EXPECT_FALSE(ParseContentLength("0x10"));
  EXPECT_FALSE(ParseContentLength("1 2"));
  EXPECT_FALSE(ParseContentLength(""));
  EXPECT_FALSE(ParseContentLength("12,"));
}

TEST(ReceiverHead, RepeatedContentLengthMustAgree) {
  EXPECT_EQ(7u, ParseRequestHead("POST /ok HTTP/1.0\r\nContent-Length: 7\r\n"
                                 "content-length: 7\r\n\r\n")
                    .bodyLength);
  const HeadParse conflict = ParseRequestHead(
      "POST /ok HTTP/1.0\r\nContent-Length: 7\r\nContent-Length: 8\r\n\r\n");
  EXPECT_FALSE(conflict.ok);
  EXPECT_EQ(400, conflict.errorStatus);
}

TEST(ReceiverHead, RefusedHeadsCarryTheStatusToAnswer) {
  const struct {
    const char* head;
    int status;
  } rows[] = {
      {"POST /ok HTTP/1.0\r\nContent-Type: text/plain\r\n\r\n", 411},
      {"PUT /ok HTTP/1.1\r\n\r\n", 411},
      {"POST /ok HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", 501},
      {"POST /ok HTTP/1.0\r\nContent-Length: -3\r\n\r\n", 400},
      {"GET /ok HTTP/2.0\r\n\r\n", 505},
      {"GET /ok FTP/1.0\r\n\r\n", 400},
      {"GET http://example.com/ok HTTP/1.1\r\n\r\n", 400},
      {"GET  /ok HTTP/1.0\r\n\r\n", 400},
      {"GET /ok\r\n\r\n", 400},
      {"G(T /ok HTTP/1.0\r\n\r\n", 400},
      {"GET /o\x01k HTTP/1.0\r\n\r\n", 400},
      {"GET /ok HTTP/1.0\r\nNo colon here\r\n\r\n", 400},
      {"GET /ok HTTP/1.0\r\nBad Name: x\r\n\r\n", 400},
      {"GET /ok HTTP/1.0\r\n: no name\r\n\r\n", 400},
      {"GET /ok HTTP/1.0\r\nA: b\r\n  folded\r\n\r\n", 400},
      {"\r\n", 400},
      {"GET /ok HTTP/1.0\r\nA: b\r\n", 400},
  };
  for (const auto& row : rows) {
    const HeadParse parsed = ParseRequestHead(row.head);
    EXPECT_FALSE(parsed.ok) << row.head;
    EXPECT_EQ(row.status, parsed.errorStatus) << row.head;
    EXPECT_FALSE(parsed.error.empty()) << row.head;
  }
}

TEST(ReceiverHead, OversizedHeadIsRefusedWith431) {
  std::string head = "GET /ok HTTP/1.0\r\nX-Filler: ";
  head.append(kMaxHeadBytes, 'x');
  head += "\r\n\r\n";
  const HeadParse parsed = ParseRequestHead(head);
  EXPECT_FALSE(parsed.ok);
  EXPECT_EQ(431, parsed.errorStatus);
}

TEST(ReceiverHead, GetWithoutLengthHasNoBody) {
  const HeadParse parsed = ParseRequestHead("GET /reply/10 HTTP/1.0\r\n\r\n");
  ASSERT_TRUE(parsed.ok);
  EXPECT_EQ(0u, parsed.bodyLength);
  EXPECT_TRUE(parsed.head.headers.empty());
}

}  // namespace
}  // namespace receiver
