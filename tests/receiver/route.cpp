#include "tests/receiver/route.h"

#include <limits>

namespace receiver {
namespace {

enum class Directive {
  kOk, kEmpty, kStatus, kReply, kSlowReply, kSlowRead, kCloseMidBody,
  kJsonReply, kKoreanReply, kStore, kDiscard, kDrain, kAllowOrigin, kQuit, kCount
};

struct DirectiveName {
  Directive directive;
  std::string_view name;
  bool takesNumber;
  std::uint64_t min, max;
};

constexpr std::uint64_t kNoLimit = std::numeric_limits<std::uint64_t>::max();

constexpr DirectiveName kDirectives[] = {
    {Directive::kOk, "ok", false, 0, 0},
    {Directive::kEmpty, "empty", false, 0, 0},
    {Directive::kStatus, "status", true, 200, 599},
    {Directive::kReply, "reply", true, 0, kMaxReplyBytes},
    {Directive::kSlowReply, "slow-reply", true, 0, kMaxSlowReplyMs},
    {Directive::kSlowRead, "slow-read", true, 1, kNoLimit},
    {Directive::kCloseMidBody, "close-mid-body", true, 0, kNoLimit},
    {Directive::kJsonReply, "json-reply", false, 0, 0},
    {Directive::kKoreanReply, "korean-reply", false, 0, 0},
    {Directive::kStore, "store", false, 0, 0},
    {Directive::kDiscard, "discard", false, 0, 0},
    {Directive::kDrain, "drain", false, 0, 0},
    {Directive::kAllowOrigin, "allow-origin", false, 0, 0},
    {Directive::kQuit, "__quit", false, 0, 0},
};

const DirectiveName* Find(std::string_view segment) {
  for (const auto& entry : kDirectives)
    if (entry.name == segment) return &entry;
  return nullptr;
}

std::optional<std::uint64_t> ParseNumber(std::string_view text) {
  if (text.empty() || text.size() > 19) return std::nullopt;  // 19 digits never overflow
  std::uint64_t number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + static_cast<unsigned>(c - '0');
  }
  return number;
}

// %XX escapes decoded; nothing when one is malformed.
std::optional<std::string> PercentDecoded(std::string_view text) {
  std::string decoded;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      decoded += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const std::string hex(text.substr(i + 1, 2));
    if (hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return std::nullopt;
    decoded += static_cast<char>(std::stoi(hex, nullptr, 16));
    i += 2;
  }
  return decoded;
}

RouteParse Fail(std::string why) {
  RouteParse result;
  result.error = std::move(why);
  return result;
}

// Next path segment, consuming it and its leading slash.
std::string_view NextSegment(std::string_view& path) {
  if (!path.empty() && path.front() == '/') path.remove_prefix(1);
  const std::size_t slash = path.find('/');
  const std::string_view segment = path.substr(0, slash);
  path.remove_prefix(slash == std::string_view::npos ? path.size() : slash);
  return segment;
}

}  // namespace

RouteParse ParseRoute(std::string_view target) {
  std::string_view path = target.substr(0, target.find('?'));
  RouteParse result;
  Route& route = result.route;
  bool seen[static_cast<int>(Directive::kCount)] = {};
  int count = 0;

  while (!path.empty()) {
    const std::string_view segment = NextSegment(path);
    const DirectiveName* entry = Find(segment);
    if (!entry) {
      if (count == 0) return Fail("no directive in path: " + std::string(target));
      break;  // the free tail
    }
    auto& already = seen[static_cast<int>(entry->directive)];
    if (already) return Fail("directive given twice: " + std::string(entry->name));
    already = true;
    ++count;

    std::uint64_t number = 0;
    if (entry->takesNumber) {
      const auto parsed = ParseNumber(NextSegment(path));
      if (!parsed || *parsed < entry->min || *parsed > entry->max)
        return Fail("bad number after " + std::string(entry->name));
      number = *parsed;
    }
    switch (entry->directive) {
      case Directive::kOk: break;
      case Directive::kEmpty: route.emptyReply = true; break;
      case Directive::kStatus: route.status = static_cast<int>(number); break;
      case Directive::kReply: route.replyBytes = number; break;
      case Directive::kSlowReply: route.slowReplyMs = static_cast<std::uint32_t>(number); break;
      case Directive::kSlowRead: route.readBytesPerSecond = number; break;
      case Directive::kCloseMidBody: route.closeAfterBodyBytes = number; break;
      case Directive::kJsonReply: route.jsonReply = true; break;
      case Directive::kKoreanReply: route.koreanReply = true; break;
      case Directive::kStore: route.storage = BodyStorage::kStore; break;
      case Directive::kDiscard: route.storage = BodyStorage::kDiscard; break;
      case Directive::kDrain: route.storage = BodyStorage::kDrain; break;
      case Directive::kAllowOrigin: {
        const auto origin = PercentDecoded(NextSegment(path));
        if (!origin || origin->empty()) return Fail("bad origin after allow-origin");
        route.allowOrigin = *origin;
        break;
      }
      case Directive::kQuit: route.quit = true; break;
      case Directive::kCount: break;
    }
  }
  if (count == 0) return Fail("no directive in path: " + std::string(target));

  const int storages = seen[static_cast<int>(Directive::kStore)] +
                       seen[static_cast<int>(Directive::kDiscard)] +
                       seen[static_cast<int>(Directive::kDrain)];
  if (storages > 1) return Fail("store, discard and drain exclude each other");
  if (route.emptyReply + !!route.replyBytes + route.jsonReply + route.koreanReply > 1)
    return Fail("empty, reply, json-reply and korean-reply exclude each other");
  if (route.quit && count > 1) return Fail("__quit takes no other directive");
  result.ok = true;
  return result;
}

std::string ShortReplyText(int status) {
  return status < 300 ? "OK\n" : "status " + std::to_string(status) + "\n";
}

// u8: the UTF-8 bytes whatever the execution character set (CP949 here).
std::string JsonReplyText() { return u8"{\"stored\":\"보고서.txt\",\"note\":\"저장했습니다\"}"; }

std::string KoreanReplyText() { return "저장했습니다"; }

}  // namespace receiver
