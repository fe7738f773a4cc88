// Which encoding a page file is read in, and the placeholders a test fills.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "container/portable/page_text.h"

namespace {

using container::page::DetectEncoding;
using container::page::PageEncoding;

TEST(PageEncoding, Utf8TextAndBomAreUtf8AndCp949BytesAreNot) {
  EXPECT_EQ(PageEncoding::Utf8, DetectEncoding("<html>plain ASCII</html>"));
  EXPECT_EQ(PageEncoding::Utf8, DetectEncoding(u8"<p>모든 파일</p>"));
  EXPECT_EQ(PageEncoding::Utf8, DetectEncoding("\xEF\xBB\xBF<p>\xB8\xF0</p>"))
      << "a byte order mark decides even over invalid bytes";
  // "모든 파일" in CP949.
  EXPECT_EQ(PageEncoding::Cp949, DetectEncoding("<p>\xB8\xF0\xB5\xE7 \xC6\xC4\xC0\xCF</p>"));
}

TEST(PageEncoding, OverlongSurrogateAndTruncatedSequencesAreNotUtf8) {
  using container::page::IsValidUtf8;
  EXPECT_TRUE(IsValidUtf8(""));
  EXPECT_TRUE(IsValidUtf8(u8"\U0010FFFF"));
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong '/'
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // a surrogate
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // past U+10FFFF
  EXPECT_FALSE(IsValidUtf8("abc\xE2\x82"));       // cut short
  EXPECT_FALSE(IsValidUtf8("\x80"));
  EXPECT_FALSE(IsValidUtf8("\xF8\x88\x80\x80\x80"));
}

TEST(PageEncoding, BomIsStrippedOnlyAtTheStart) {
  using container::page::WithoutUtf8Bom;
  EXPECT_EQ("<p>", WithoutUtf8Bom("\xEF\xBB\xBF<p>"));
  EXPECT_EQ("<p>\xEF\xBB\xBF", WithoutUtf8Bom("<p>\xEF\xBB\xBF"));
  EXPECT_EQ("\xEF\xBB", WithoutUtf8Bom("\xEF\xBB"));
}

TEST(PagePlaceholders, KnownNamesAreFilledAndUnknownOnesReportedOnce) {
  const std::map<std::string, std::string> values = {{"SERVER", "http://127.0.0.1:8123"},
                                                     {"EMPTY", ""}};
  std::vector<std::string> missing;
  EXPECT_EQ("<param value=\"http://127.0.0.1:8123/up\">[]{{OTHER}} {{OTHER}}",
            container::page::SubstitutePlaceholders(
                "<param value=\"{{SERVER}}/up\">[{{EMPTY}}]{{OTHER}} {{OTHER}}", values, &missing));
  EXPECT_EQ(std::vector<std::string>{"OTHER"}, missing);
}

TEST(PagePlaceholders, BracesThatAreNoPlaceholderStayAsWritten) {
  std::vector<std::string> missing;
  const std::map<std::string, std::string> values = {{"A", "1"}};
  EXPECT_EQ("var o = {{a: 1}}; {{}} {{A {1} {{A-B}} 1",
            container::page::SubstitutePlaceholders("var o = {{a: 1}}; {{}} {{A {{{A}}} {{A-B}} {{A}}",
                                               values, &missing));
  EXPECT_TRUE(missing.empty());
}

TEST(PagePlaceholders, ValuesAreNotScannedAgain) {
  std::vector<std::string> missing;
  EXPECT_EQ("{{B}}", container::page::SubstitutePlaceholders("{{A}}", {{"A", "{{B}}"}}, &missing));
  EXPECT_TRUE(missing.empty());
}

}  // namespace
