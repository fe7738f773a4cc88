// Each example receiver, started from this Windows program under Wine, takes
// an upload posted through WinInet with the control's own framing and
// headers, stores the files under their base names and says how many; the
// Korean name comes back through Wine's file system as the same CP949 text.
#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <string>

#include "framework/unique_handle.h"
#include "tests/wine/support/example_server.h"
#include "tests/wine/support/receiver.h"
#include "upload/multipart.h"
#include "upload/upload_job.h"

namespace {

using UniqueInternet = fw::Unique<HINTERNET, &::InternetCloseHandle, fw::NullHandle<HINTERNET>>;

struct File {
  std::string listedPath;
  std::string bytes;
};

// The whole body the control sends for `files`, built from the job framing.
std::string UploadBody(const std::vector<File>& files) {
  brimlet::UploadJob job;
  for (const File& file : files)
    brimlet::AddJobFile(job, file.listedPath, "", file.bytes.size(), "application/octet-stream");
  std::string body;
  for (std::size_t i = 0; i < files.size(); ++i)
    body += job.entries[i].boundaryLine + job.entries[i].partHeader + files[i].bytes;
  body += brimlet::Trailer();
  EXPECT_EQ(brimlet::ContentLength(job), body.size());
  return body;
}

struct Reply {
  DWORD status = 0;
  std::string text;
};

// One HTTP/1.0 POST with the control's header lines, the body in pieces.
Reply Post(unsigned short port, const std::string& body) {
  Reply reply;
  UniqueInternet session(::InternetOpenA(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  DWORD timeout = 20000;
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                       INTERNET_OPTION_RECEIVE_TIMEOUT})
    ::InternetSetOptionA(session.get(), option, &timeout, sizeof timeout);
  UniqueInternet connection(::InternetConnectA(session.get(), "127.0.0.1", port, nullptr, nullptr,
                                               INTERNET_SERVICE_HTTP, 0, 0));
  const char* accept[] = {"*/*", nullptr};
  UniqueInternet request(::HttpOpenRequestA(connection.get(), "POST", "/receive", "HTTP/1.0",
                                            nullptr, accept,
                                            INTERNET_FLAG_NO_CACHE_WRITE |
                                                INTERNET_FLAG_KEEP_CONNECTION |
                                                INTERNET_FLAG_FORMS_SUBMIT,
                                            0));
  if (!request) {
    ADD_FAILURE() << "HttpOpenRequest: " << ::GetLastError();
    return reply;
  }
  const std::string headers[] = {brimlet::AcceptHeaderLine(), brimlet::ContentTypeHeaderLine(),
                                 brimlet::ContentLengthHeaderLine(body.size())};
  for (const std::string& line : headers)
    ::HttpAddRequestHeadersA(request.get(), line.c_str(), static_cast<DWORD>(-1),
                             HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE);
  INTERNET_BUFFERSA buffers{};
  buffers.dwStructSize = sizeof buffers;
  if (!::HttpSendRequestExA(request.get(), &buffers, nullptr, HSR_INITIATE, 0)) {
    ADD_FAILURE() << "HttpSendRequestEx: " << ::GetLastError();
    return reply;
  }
  for (std::size_t offset = 0; offset < body.size(); offset += 4096) {
    const DWORD size = static_cast<DWORD>(std::min<std::size_t>(4096, body.size() - offset));
    DWORD written = 0;
    if (!::InternetWriteFile(request.get(), body.data() + offset, size, &written) ||
        written != size) {
      ADD_FAILURE() << "InternetWriteFile: " << ::GetLastError();
      return reply;
    }
  }
  if (!::HttpEndRequestA(request.get(), nullptr, HSR_INITIATE, 0)) {
    ADD_FAILURE() << "HttpEndRequest: " << ::GetLastError();
    return reply;
  }
  DWORD size = sizeof reply.status;
  ::HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &reply.status,
                   &size, nullptr);
  char buffer[1024];
  DWORD got = 0;
  while (::InternetReadFile(request.get(), buffer, sizeof buffer, &got) && got > 0)
    reply.text.append(buffer, got);
  return reply;
}

class ExampleReceiver : public ::testing::TestWithParam<const char*> {};

TEST_P(ExampleReceiver, StoresEachFileUnderItsBaseNameAndSaysHowMany) {
  scenario::ExampleServer server(GetParam());
  ASSERT_TRUE(server.Started());

  std::string binary = "\r\n----MULTI-PARTS-FORM-DATA-BOUNDAR\r\n";
  for (int i = 0; i < 70000; ++i) binary += static_cast<char>((i * 7919) >> 3);
  const std::vector<File> files = {
      {"C:\\문서\\보고서.txt", "보고서 내용\r\n"},
      {"D:\\data\\..\\..\\table.bin", binary},
      {"E:\\보고서.txt", ""},
  };
  const Reply reply = Post(server.Port(), UploadBody(files));
  EXPECT_EQ(200u, reply.status) << server.Log();
  EXPECT_EQ("Stored 3 files.\r\n", reply.text);

  std::string stored;
  EXPECT_TRUE(scenario::ReadWholeFile(server.UploadFolder() + "\\보고서.txt", &stored));
  EXPECT_EQ(files[0].bytes, stored);
  EXPECT_TRUE(scenario::ReadWholeFile(server.UploadFolder() + "\\table.bin", &stored));
  EXPECT_TRUE(stored == binary) << "table.bin differs: " << stored.size() << " bytes";
  EXPECT_TRUE(scenario::ReadWholeFile(server.UploadFolder() + "\\보고서 (2).txt", &stored));
  EXPECT_EQ("", stored);

  EXPECT_TRUE(server.Stop());
}

INSTANTIATE_TEST_SUITE_P(EachLanguage, ExampleReceiver, ::testing::Values("php", "node", "python"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
