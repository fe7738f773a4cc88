// Which upload addresses are taken and how they are split.
#include "upload/url_parts.h"

#include <gtest/gtest.h>

namespace brimlet {
namespace {

TEST(UrlPartsTest, SplitsHttpAndHttps) {
  const struct {
    const char* url;
    bool secure;
    const char* host;
    int port;
    const char* object;
  } rows[] = {
      {"http://example.com/upload.php", false, "example.com", 80, "/upload.php"},
      {"https://example.com/up?x=1&y=2", true, "example.com", 443, "/up?x=1&y=2"},
      {"http://127.0.0.1:8080/a/b", false, "127.0.0.1", 8080, "/a/b"},
      {"HTTPS://Host:65535", true, "Host", 65535, "/"},
      {"http://host", false, "host", 80, "/"},
      {"http://host?q", false, "host", 80, "/?q"},
      {"http://host/p#frag", false, "host", 80, "/p"},
      {"http://[::1]:81/x", false, "::1", 81, "/x"},
  };
  for (const auto& row : rows) {
    const auto parts = SplitUrl(row.url);
    ASSERT_TRUE(parts) << row.url;
    EXPECT_EQ(row.secure, parts->secure) << row.url;
    EXPECT_EQ(row.host, parts->host) << row.url;
    EXPECT_EQ(row.port, parts->port) << row.url;
    EXPECT_EQ(row.object, parts->object) << row.url;
  }
}

TEST(UrlPartsTest, RefusesWhatCannotBeSentAsIs) {
  for (const char* url :
       {"ftp://host/x", "/upload", "upload.php", "", "http:/host/x", "http://",
        "http:///x", "http://:80/x", "http://host:0/", "http://host:65536/",
        "http://host:8o/", "http://host:/x", "http://user:pw@host/",
        "http://ho st/", "http://host/a b", "http://host/x\r\nX-Evil: 1",
        "http://[::1/x", "http://[::1]x/", "file:///C:/x"})
    EXPECT_FALSE(SplitUrl(url)) << url;
}

}  // namespace
}  // namespace brimlet
