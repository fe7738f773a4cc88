// What the receiver does with a request, chosen by the path of its URL so that
// each test picks a behaviour by the URL it hands the sender.
//
// Grammar: the path is a chain of directives, left to right; a directive is a
// name, followed by one decimal number for those that take one:
//
//   ok                 200 with a short text body (the default answer)
//   empty              200 with an empty body
//   status/CODE        answer with CODE (200..599) and a short text body
//   reply/N            answer with a body of exactly N printable bytes
//   json-reply         answer with a short JSON body in UTF-8, Korean text
//                      included, and "application/json; charset=utf-8"
//   korean-reply       answer with a short Korean text in code page 949 and
//                      a Content-Type that names no charset
//   slow-reply/MS      wait MS milliseconds after the body before answering
//   slow-read/BPS      read the body at most BPS bytes per second
//   close-mid-body/N   drop the connection (reset) once N body bytes arrived,
//                      without answering
//   store              record the body in the request's file (the default)
//   discard            record only the body's length and FNV-1a hash
//   drain              record only the body's length: the fastest mode
//   allow-origin/ORIGIN   answer as a server that takes uploads from pages of
//                      ORIGIN (percent-encoded: http%3A%2F%2Fa.example%3A81):
//                      every answer carries Access-Control-Allow-Origin: ORIGIN
//                      and Access-Control-Allow-Credentials: true, and one to
//                      OPTIONS allows POST and the headers the request names
//   __quit             answer 200 and stop the receiver (never recorded)
//
// Directives combine: /status/500/reply/150000, /slow-read/65536/discard.
// The first segment that is not a directive ends the chain and the rest is
// free, so /ok/upload.asp reads like a real script. A path that starts with
// no directive, a directive given twice, a bad number or contradicting
// directives are answered 404 with the reason. The query string never takes
// part: it is recorded with the request line as sent.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace receiver {

enum class BodyStorage { kStore, kDiscard, kDrain };

// Limits that keep a mistyped URL from asking for a gigabyte reply or an
// hour-long wait.
constexpr std::uint64_t kMaxReplyBytes = 256u * 1024 * 1024;
constexpr std::uint32_t kMaxSlowReplyMs = 120000;

struct Route {
  int status = 200;
  std::optional<std::uint64_t> replyBytes;  // reply/N; otherwise the short text
  bool emptyReply = false;
  bool jsonReply = false;    // json-reply
  bool koreanReply = false;  // korean-reply
  std::uint32_t slowReplyMs = 0;
  std::uint64_t readBytesPerSecond = 0;  // 0: as fast as it arrives
  std::optional<std::uint64_t> closeAfterBodyBytes;
  BodyStorage storage = BodyStorage::kStore;
  std::string allowOrigin;  // allow-origin/ORIGIN, decoded; empty without
  bool quit = false;
};

struct RouteParse {
  bool ok = false;
  std::string error;  // for the 404 body when !ok
  Route route;
};

// `target` is the request target: path, optionally "?" and a query.
RouteParse ParseRoute(std::string_view target);

// The body answered when no reply/N or empty is asked for.
std::string ShortReplyText(int status);

// The bodies of json-reply (UTF-8) and korean-reply (code page 949).
std::string JsonReplyText();
std::string KoreanReplyText();

}  // namespace receiver
