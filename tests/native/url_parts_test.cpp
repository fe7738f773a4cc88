// Which upload addresses are taken once the system has split them, and what
// of the split goes into the connection and the request. The splitting itself
// is the system's; the Wine scenarios see it through the control.
#include "upload/portable/url_parts.h"

#include <gtest/gtest.h>

namespace brimlet {
namespace {

constexpr UrlScheme kHttp = UrlScheme::kHttp;
constexpr UrlScheme kHttps = UrlScheme::kHttps;

TEST(UrlPartsTest, ASplitAddressGivesItsHostPortAndObjectWithoutTheFragment) {
  const struct {
    SplitAddress split;
    bool secure;
    const char* host;
    int port;
    const char* object;
  } rows[] = {
      {{kHttp, "example.com", "", 80, "/upload.php", ""}, false, "example.com", 80, "/upload.php"},
      {{kHttps, "example.com", "", 443, "/up", "?x=1&y=2"}, true, "example.com", 443, "/up?x=1&y=2"},
      {{kHttp, "127.0.0.1", ":8080", 8080, "/a/b", ""}, false, "127.0.0.1", 8080, "/a/b"},
      {{kHttps, "Host", ":065535", 65535, "", ""}, true, "Host", 65535, "/"},
      {{kHttp, "host", "", 80, "", "?q"}, false, "host", 80, "/?q"},
      {{kHttp, "host", "", 80, "/p", "?q#f?g"}, false, "host", 80, "/p?q"},
      {{kHttp, "host", "", 80, "", "#frag"}, false, "host", 80, "/"},
      {{kHttp, "[::1]", ":81", 81, "/x", ""}, false, "[::1]", 81, "/x"},
      // Escapes and spaces stay as written: the request is made of them.
      {{kHttp, "h", "", 80, "/%7e%20a b", "?q=%25"}, false, "h", 80, "/%7e%20a b?q=%25"},
  };
  for (const auto& row : rows) {
    const auto parts = UrlPartsOf(row.split);
    ASSERT_TRUE(parts) << row.split.host << row.split.path;
    EXPECT_EQ(row.secure, parts->secure) << row.split.host;
    EXPECT_EQ(row.host, parts->host);
    EXPECT_EQ(row.port, parts->port) << row.split.host;
    EXPECT_EQ(row.object, parts->object);
  }
}

TEST(UrlPartsTest, ASplitThatCannotBeSentAsWrittenIsRefused) {
  const SplitAddress refused[] = {
      {UrlScheme::kOther, "h", "", 21, "/x", ""},   // ftp:, file:, javascript:
      {kHttp, "", "", 80, "/x", ""},                // http:///x, http://
      {kHttp, "[:", ":1", 1, "/x", ""},             // http://[::1/x as a splitter may cut it
      {kHttp, "[::1]x", "", 80, "/", ""},
      {kHttp, "a]", "", 80, "/", ""},
      {kHttp, "h", ":99999", 34463, "/x", ""},      // wrapped into 16 bits
      {kHttp, "h", ":65536", 0, "/x", ""},
      {kHttp, "h", ":0", 0, "/x", ""},              // would mean "the default port"
      {kHttp, "h", ":", 0, "/x", ""},
      {kHttp, "h", ":8o", 8, "/x", ""},
      {kHttp, "h", ":+80", 80, "/x", ""},
      {kHttp, "h", "", 0, "/x", ""},
  };
  for (const auto& split : refused)
    EXPECT_FALSE(UrlPartsOf(split)) << split.host << " " << split.afterHost << " " << split.port;
}

TEST(UrlPartsTest, ControlCharactersAreFoundAnywhereAndNothingElseIs) {
  for (const std::string& address :
       {std::string("http://h/x\r\nX-Evil: 1"), std::string("http://h/\tx"), std::string("http://h/x\x7f"),
        std::string("http://h/\0x", 10), std::string("\x1fhttp://h/")})
    EXPECT_TRUE(HasControlCharacter(address)) << address;
  for (const std::string& address :
       {std::string("http://h/a b?%0d%0a"), std::string("http://h/\xB1\xDB\x80\xFF"), std::string()})
    EXPECT_FALSE(HasControlCharacter(address)) << address;
}

}  // namespace
}  // namespace brimlet
