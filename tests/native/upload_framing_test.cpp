// Framing, job counters, grouped numbers and the content-type key rule.
#include <gtest/gtest.h>

#include "upload/portable/content_type_key.h"
#include "upload/portable/grouped_number.h"
#include "upload/portable/multipart.h"
#include "upload/portable/upload_job.h"

namespace brimlet {
namespace {

TEST(UploadFramingTest, WorkedExampleCountsTo176) {
  UploadJob job;
  AddJobFile(job, L"C:\\a.txt", "C:\\a.txt", "5", 5, "text/plain");
  ASSERT_EQ(1u, job.entries.size());
  const UploadJobEntry& e = job.entries[0];
  EXPECT_EQ("----MULTI-PARTS-FORM-DATA-BOUNDARY\r\n", e.boundaryLine);
  EXPECT_EQ("Content-Disposition: form-data; name=\"FILE1\"; filename=\"C:\\a.txt\"\r\n"
            "Content-Type: text/plain\r\n\r\n",
            e.partHeader);
  EXPECT_EQ(95u, e.partHeader.size());
  EXPECT_EQ(5u, job.totalFileSize);
  EXPECT_EQ(176u, ContentLength(job));
  EXPECT_EQ("Content-Length: 176\r\n", ContentLengthHeaderLine(ContentLength(job)));
}

TEST(UploadFramingTest, LaterPartsOpenWithCrLfAndCountOn) {
  UploadJob job;
  for (int i = 0; i < 10; ++i) AddJobFile(job, L"C:\\f", "C:\\f", "1", 1, "a/b");
  EXPECT_EQ("\r\n----MULTI-PARTS-FORM-DATA-BOUNDARY\r\n", job.entries[1].boundaryLine);
  EXPECT_NE(std::string::npos, job.entries[9].partHeader.find("name=\"FILE10\""));
  EXPECT_EQ(10u, job.jobFileCount);
  // 36 + 9 * 38 framing lines, headers of 76 + digits + 4 + 3, ten data bytes.
  EXPECT_EQ(36u + 9 * 38 + 9 * 84 + 85 + 10 + 40, ContentLength(job));
}

TEST(UploadFramingTest, TotalsBeyond32BitsStayExact) {
  UploadJob job;
  AddJobFile(job, L"C:\\a", "C:\\a", "", 0xFFFFFFFFu, "a/b");
  AddJobFile(job, L"C:\\b", "C:\\b", "", 0xFFFFFFFFu, "a/b");
  EXPECT_EQ(0x1FFFFFFFEu, job.totalFileSize);
  EXPECT_EQ(0x1FFFFFFFEu + 36 + 38 + 2 * 84 + 40, ContentLength(job));
  EXPECT_EQ("Content-Length: 18446744073709551615\r\n",
            ContentLengthHeaderLine(0xFFFFFFFFFFFFFFFFu));
}

TEST(UploadFramingTest, Cp949PathGoesIntoTheHeaderAsItsBytes) {
  UploadJob job;
  const std::string path = "C:\\문서\\보고서.hwp";  // CP949: two bytes a syllable
  ASSERT_EQ(18u, path.size());
  AddJobFile(job, L"C:\\문서\\보고서.hwp", path, "0", 0, "application/x-hwp");
  EXPECT_NE(std::string::npos, job.entries[0].partHeader.find("filename=\"" + path + "\""));
  EXPECT_EQ(76u + 1 + 18 + 17, job.entries[0].partHeader.size());
}

TEST(UploadFramingTest, RequestHeaderLines) {
  EXPECT_EQ("Accept: */*\r\n", AcceptHeaderLine());
  EXPECT_EQ("Content-Type: multipart/form-data; boundary=--MULTI-PARTS-FORM-DATA-BOUNDARY\r\n",
            ContentTypeHeaderLine());
  EXPECT_EQ("\r\n----MULTI-PARTS-FORM-DATA-BOUNDARY--\r\n", Trailer());
}

TEST(GroupedNumberTest, CommaBeforeEachGroupOfThree) {
  EXPECT_EQ("0", FormatGroupedNumber(0));
  EXPECT_EQ("999", FormatGroupedNumber(999));
  EXPECT_EQ("1,000", FormatGroupedNumber(1000));
  EXPECT_EQ("1,234,567", FormatGroupedNumber(1234567));
  EXPECT_EQ("4,294,967,295", FormatGroupedNumber(4294967295u));
  EXPECT_EQ("4,294,967,296", FormatGroupedNumber(4294967296u));
  EXPECT_EQ("18,446,744,073,709,551,615", FormatGroupedNumber(0xFFFFFFFFFFFFFFFFu));
}

// A double-byte code page whose trail bytes may be '\' or '.', to show the
// searches step over whole characters.
bool WideTrailLead(unsigned char byte) { return byte == 0x95; }

TEST(ContentTypeKeyTest, KeyIsTheTailFromTheLastDot) {
  const struct {
    const char* path;
    std::optional<std::string> key;
  } rows[] = {
      {"C:\\docs\\a.txt", ".txt"},      {"C:\\a.tar.gz", ".gz"},
      {"C:\\my.dir\\file", ".dir\\file"}, {"C:\\name.", "."},
      {"C:\\noext", std::nullopt},      {".profile", std::nullopt},
      {"C:\\문서\\보고서.hwp", ".hwp"},   {"", std::nullopt},
  };
  for (const auto& row : rows)
    EXPECT_EQ(row.key, ContentTypeKey(row.path, &IsCp949LeadByte)) << row.path;
  EXPECT_EQ(std::nullopt, ContentTypeKey("C:\\a\x95.b", &WideTrailLead));
  EXPECT_EQ(".c", ContentTypeKey("C:\\a\x95.b.c", &WideTrailLead));
}

TEST(ContentTypeKeyTest, NoAnswerGivesOctetStream) {
  EXPECT_EQ("application/octet-stream", ContentTypeOrDefault(std::nullopt));
  EXPECT_EQ("application/octet-stream", ContentTypeOrDefault(std::string()));
  EXPECT_EQ("text/plain", ContentTypeOrDefault(std::string("text/plain")));
}

TEST(PathTextTest, BaseNameIsWhatFollowsTheLastBackslash) {
  EXPECT_EQ(L"a.txt", BaseName(L"C:\\docs\\a.txt"));
  EXPECT_EQ(L"보고서.hwp", BaseName(L"C:\\문서\\보고서.hwp"));
  EXPECT_EQ(L"caf\u00e9.txt", BaseName(L"C:\\r\u00e9sum\u00e9s\\caf\u00e9.txt"));
  EXPECT_EQ(L"plain", BaseName(L"plain"));
  EXPECT_EQ(L"", BaseName(L"C:\\dir\\"));
}

TEST(PathTextTest, NameExtensionComesFromTheFileNameOnly) {
  EXPECT_EQ(L".hwp", NameExtension(L"C:\\문서\\보고서.hwp"));
  EXPECT_EQ(L".TXT", NameExtension(L"C:\\a\\b.c.TXT"));
  EXPECT_EQ(L"", NameExtension(L"C:\\my.dir\\README"));
  EXPECT_EQ(L"", NameExtension(L"C:\\dir.d\\"));
  EXPECT_EQ(L".\u0e20\u0e32", NameExtension(L"C:\\d\\x.\u0e20\u0e32"));
}

}  // namespace
}  // namespace brimlet
