// The demo's reading of an upload body, against bodies the control's own
// framing builds.
#include <gtest/gtest.h>

#include "tests/drivers/portable/multipart_reader.h"
#include "upload/portable/multipart.h"

namespace {

const std::string kBoundary = "--MULTI-PARTS-FORM-DATA-BOUNDARY";

TEST(MultipartReader, ReadsBackEveryPartOfABodyTheControlFrames) {
  const std::string tricky("\r\n----MULTI-PARTS-FORM-DATA-BOUNDAR\0Y", 37);
  const std::string body = brimlet::BoundaryLine(true) + brimlet::PartHeader(1, "C:\\my docs\\a \"q\".txt", "text/plain") +
                           "hello" + brimlet::BoundaryLine(false) +
                           brimlet::PartHeader(2, "C:\\b.bin", "application/octet-stream") + tricky +
                           brimlet::BoundaryLine(false) + brimlet::PartHeader(3, "C:\\empty", "x/y") + brimlet::Trailer();
  const auto parts = drivers::ReadMultipart(body, kBoundary);
  ASSERT_TRUE(parts);
  ASSERT_EQ(3u, parts->size());
  EXPECT_EQ("FILE1", (*parts)[0].name);
  EXPECT_EQ("C:\\my docs\\a \"q\".txt", (*parts)[0].filename);
  EXPECT_EQ("text/plain", (*parts)[0].contentType);
  EXPECT_EQ("hello", (*parts)[0].data);
  EXPECT_EQ(tricky, (*parts)[1].data);
  EXPECT_EQ("FILE3", (*parts)[2].name);
  EXPECT_EQ("", (*parts)[2].data);
}

TEST(MultipartReader, RefusesABodyCutShortOrWithoutItsOpeningLine) {
  const std::string whole = brimlet::BoundaryLine(true) + brimlet::PartHeader(1, "C:\\a", "t/t") + "data" +
                            brimlet::Trailer();
  EXPECT_TRUE(drivers::ReadMultipart(whole, kBoundary));
  EXPECT_FALSE(drivers::ReadMultipart(whole.substr(0, whole.size() - 3), kBoundary));
  EXPECT_FALSE(drivers::ReadMultipart(whole.substr(2), kBoundary));
  EXPECT_FALSE(drivers::ReadMultipart("", kBoundary));
}

}  // namespace
