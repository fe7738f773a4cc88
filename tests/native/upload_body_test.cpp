// The body writer that feeds the server-script tests: what it writes must be
// what the control sends, and it must never pass off a short body.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "tools/upload_body.h"

namespace brimlet {
namespace {

class UploadBodyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/upload_body_test.XXXXXX";
    ASSERT_NE(nullptr, ::mkdtemp(pattern));
    folder_ = pattern;
  }
  void TearDown() override {
    for (const std::string& file : created_) std::remove(file.c_str());
    ::rmdir(folder_.c_str());
  }
  std::string Make(const std::string& name, const std::string& bytes) {
    const std::string path = folder_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    created_.push_back(path);
    return path;
  }

  std::string folder_;
  std::vector<std::string> created_;
};

TEST_F(UploadBodyTest, OneSmallFileIsTheWorkedExample) {
  const std::string local = Make("a", "hello");
  std::ostringstream out;
  std::uint64_t length = 0;
  std::string error;
  ASSERT_TRUE(WriteUploadBody({{local, "C:\\a.txt", "text/plain"}}, out, &length, &error)) << error;
  EXPECT_EQ(176u, length);
  EXPECT_EQ(
      "----MULTI-PARTS-FORM-DATA-BOUNDARY\r\n"
      "Content-Disposition: form-data; name=\"FILE1\"; filename=\"C:\\a.txt\"\r\n"
      "Content-Type: text/plain\r\n\r\n"
      "hello"
      "\r\n----MULTI-PARTS-FORM-DATA-BOUNDARY--\r\n",
      out.str());
}

TEST_F(UploadBodyTest, EveryFileAppearsWhole_AndTheLengthIsWhatWasWritten) {
  // Data that looks like framing must pass untouched between the real lines.
  const std::string tricky =
      std::string("\r\n----MULTI-PARTS-FORM-DATA-BOUNDARY\r\n\0\xff", 40) + "--\r\n";
  const std::string empty = Make("empty", "");
  const std::string binary = Make("binary", tricky);
  const std::string text = Make("text", "line\r\n");
  std::ostringstream out;
  std::uint64_t length = 0;
  std::string error;
  ASSERT_TRUE(WriteUploadBody({{empty, "C:\\e", "a/b"},
                               {binary, "C:\\b.bin", "application/octet-stream"},
                               {text, "D:\\t.txt", "text/plain"}},
                              out, &length, &error))
      << error;
  const std::string body = out.str();
  EXPECT_EQ(body.size(), length);
  const std::string header2 =
      "name=\"FILE2\"; filename=\"C:\\b.bin\"\r\nContent-Type: application/octet-stream\r\n\r\n";
  const std::size_t start = body.find(header2);
  ASSERT_NE(std::string::npos, start);
  EXPECT_EQ(tricky, body.substr(start + header2.size(), tricky.size()));
  EXPECT_NE(std::string::npos,
            body.find("filename=\"C:\\e\"\r\nContent-Type: a/b\r\n\r\n"
                      "\r\n----MULTI-PARTS-FORM-DATA-BOUNDARY\r\n"));
  EXPECT_EQ("line\r\n\r\n----MULTI-PARTS-FORM-DATA-BOUNDARY--\r\n",
            body.substr(body.size() - 46));
}

TEST_F(UploadBodyTest, MissingFileFailsWithItsName) {
  std::ostringstream out;
  std::uint64_t length = 0;
  std::string error;
  EXPECT_FALSE(WriteUploadBody({{folder_ + "/none", "C:\\x", "a/b"}}, out, &length, &error));
  EXPECT_NE(std::string::npos, error.find(folder_ + "/none"));
}

TEST(UploadBodyHeadersTest, CarryTheBoundaryTheBodyUses) {
  const std::string headers = UploadRequestHeaders();
  EXPECT_NE(std::string::npos, headers.find("Accept: */*\r\n"));
  EXPECT_NE(std::string::npos,
            headers.find("multipart/form-data; boundary=--MULTI-PARTS-FORM-DATA-BOUNDARY\r\n"));
  EXPECT_EQ(std::string::npos, headers.find("Content-Length"));
}

}  // namespace
}  // namespace brimlet
