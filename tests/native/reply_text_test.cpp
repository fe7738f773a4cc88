// What the user is shown of a server's reply.
#include <gtest/gtest.h>

#include <string>

#include "upload/portable/reply_status.h"
#include "upload/portable/reply_text.h"

namespace {

using brimlet::IsCp949LeadByte;
using brimlet::KeptReply;
using brimlet::ShownReply;

TEST(ReplyText, KeepsTheFirst99999BytesUpToAnyNul) {
  EXPECT_EQ(99999u, KeptReply(std::string(150000, 'r')).size());
  EXPECT_EQ("short", KeptReply("short"));
  EXPECT_EQ("text", KeptReply(std::string("text\0binary", 11)));
  EXPECT_EQ("", KeptReply(""));
}

TEST(ReplyText, ShowsWhatAMessageBoxCanHoldAndNoHalfCharacter) {
  const std::string fits(32766, 'a');
  EXPECT_EQ(fits, ShownReply(fits, false, &IsCp949LeadByte));
  EXPECT_EQ(fits, ShownReply(std::string(99999, 'a'), false, &IsCp949LeadByte));

  // A two-byte character that would straddle the limit is left out whole.
  std::string korean(32765, 'a');
  korean += "\xB0\xA1";  // 가
  korean += "tail";
  const std::string shown = ShownReply(korean, false, &IsCp949LeadByte);
  EXPECT_EQ(std::string(32765, 'a'), shown);
  // One byte earlier the same character fits.
  std::string earlier(32764, 'a');
  earlier += "\xB0\xA1tail";
  EXPECT_EQ(std::string(32764, 'a') + "\xB0\xA1", ShownReply(earlier, false, &IsCp949LeadByte));

  // In a UTF-8 reply a character's bytes stay together: 가 takes three.
  std::string utf8(32764, 'a');
  utf8 += "\xEA\xB0\x80tail";
  EXPECT_EQ(std::string(32764, 'a'), ShownReply(utf8, true, &IsCp949LeadByte));
  EXPECT_EQ(std::string(32763, 'a') + "\xEA\xB0\x80", ShownReply(utf8.substr(1), true, &IsCp949LeadByte));
}

}  // namespace

namespace {

TEST(ReplyStatus, OnlyAnAnswerBelow400IsASuccess) {
  EXPECT_FALSE(brimlet::IsSuccessStatus(0)) << "no answer at all";
  EXPECT_FALSE(brimlet::IsSuccessStatus(100));
  EXPECT_TRUE(brimlet::IsSuccessStatus(200));
  EXPECT_TRUE(brimlet::IsSuccessStatus(302));
  EXPECT_FALSE(brimlet::IsSuccessStatus(400));
  EXPECT_FALSE(brimlet::IsSuccessStatus(500));
}

}  // namespace
