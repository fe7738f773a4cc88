// The URL grammar by which a test tells the receiver how to behave.
#include <gtest/gtest.h>

#include "tests/receiver/route.h"

namespace receiver {
namespace {

Route Parsed(const char* target) {
  const RouteParse parsed = ParseRoute(target);
  EXPECT_TRUE(parsed.ok) << target << ": " << parsed.error;
  return parsed.route;
}

TEST(ReceiverRoute, OkIsTheDefaultAnswerAndStoresTheBody) {
  const Route route = Parsed("/ok");
  EXPECT_EQ(200, route.status);
  EXPECT_FALSE(route.replyBytes);
  EXPECT_FALSE(route.emptyReply);
  EXPECT_EQ(0u, route.slowReplyMs);
  EXPECT_EQ(0u, route.readBytesPerSecond);
  EXPECT_FALSE(route.closeAfterBodyBytes);
  EXPECT_EQ(BodyStorage::kStore, route.storage);
  EXPECT_FALSE(route.quit);
}

TEST(ReceiverRoute, EachDirectiveSetsItsBehaviour) {
  EXPECT_EQ(500, Parsed("/status/500").status);
  EXPECT_EQ(150000u, Parsed("/reply/150000").replyBytes.value_or(0));
  EXPECT_EQ(0u, Parsed("/reply/0").replyBytes.value_or(1));
  EXPECT_TRUE(Parsed("/empty").emptyReply);
  EXPECT_EQ(2500u, Parsed("/slow-reply/2500").slowReplyMs);
  EXPECT_EQ(65536u, Parsed("/slow-read/65536").readBytesPerSecond);
  EXPECT_EQ(1000u, Parsed("/close-mid-body/1000").closeAfterBodyBytes.value_or(0));
  EXPECT_EQ(0u, Parsed("/close-mid-body/0").closeAfterBodyBytes.value_or(1));
  EXPECT_EQ(BodyStorage::kStore, Parsed("/store").storage);
  EXPECT_EQ(BodyStorage::kDiscard, Parsed("/discard").storage);
  EXPECT_EQ(BodyStorage::kDrain, Parsed("/drain").storage);
  EXPECT_TRUE(Parsed("/__quit").quit);
  EXPECT_EQ("http://a.example:81", Parsed("/allow-origin/http%3A%2F%2Fa.example%3a81/ok").allowOrigin);
}

TEST(ReceiverRoute, DirectivesCombineInAnyOrder) {
  const Route route = Parsed("/reply/150000/status/500/slow-reply/10/discard");
  EXPECT_EQ(500, route.status);
  EXPECT_EQ(150000u, route.replyBytes.value_or(0));
  EXPECT_EQ(10u, route.slowReplyMs);
  EXPECT_EQ(BodyStorage::kDiscard, route.storage);
}

TEST(ReceiverRoute, QueryAndFreeTailTakeNoPart) {
  EXPECT_EQ(404, Parsed("/status/404?status=500&reply=3").status);
  EXPECT_EQ(200, Parsed("/ok?status/500").status);
  const Route tail = Parsed("/status/201/upload.asp/status/500?x=1");
  EXPECT_EQ(201, tail.status);
  EXPECT_EQ(BodyStorage::kStore, Parsed("/ok/upload.asp/drain").storage);
  EXPECT_EQ(BodyStorage::kDrain, Parsed("/ok/drain/upload.asp").storage);
  EXPECT_EQ(200, Parsed("/ok/").status);
}

TEST(ReceiverRoute, MistakesAreRefusedWithAReason) {
  const char* const bad[] = {
      "/",                        // nothing asked
      "/upload.asp",              // no directive first
      "/stauts/500",              // misspelt
      "/status",                  // number missing
      "/status/",                 // number empty
      "/status/abc",              // not a number
      "/status/199",              // an interim status is no answer
      "/status/600",              // past the last class
      "/status/-500",             // signed
      "/allow-origin",            // origin missing
      "/allow-origin/http%3",     // a cut escape
      "/reply/268435457",         // more than the reply limit
      "/reply/99999999999999999999",  // overflow
      "/slow-reply/120001",       // longer than the wait limit
      "/slow-read/0",             // zero rate would never end
      "/status/500/status/404",   // given twice
      "/discard/drain",           // storages exclude each other
      "/empty/reply/5",           // contradicting answers
      "/__quit/ok",               // quit stands alone
      "?status/500",              // a query alone
  };
  for (const char* target : bad) {
    const RouteParse parsed = ParseRoute(target);
    EXPECT_FALSE(parsed.ok) << target;
    EXPECT_FALSE(parsed.error.empty()) << target;
  }
}

TEST(ReceiverRoute, LimitsThemselvesAreAccepted) {
  EXPECT_EQ(200, Parsed("/status/200").status);
  EXPECT_EQ(599, Parsed("/status/599").status);
  EXPECT_EQ(kMaxReplyBytes, Parsed("/reply/268435456").replyBytes.value_or(0));
  EXPECT_EQ(kMaxSlowReplyMs, Parsed("/slow-reply/120000").slowReplyMs);
}

}  // namespace
}  // namespace receiver
