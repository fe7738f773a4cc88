#include "tests/receiver/record.h"

#include <cstdio>

namespace receiver {
namespace {

constexpr struct {
  Outcome outcome;
  std::string_view name;
} kOutcomes[] = {
    {Outcome::kComplete, "complete"},
    {Outcome::kClientClosed, "client-closed"},
    {Outcome::kClosedMidBody, "closed-mid-body"},
    {Outcome::kRefused, "refused"},
    {Outcome::kTimedOut, "timed-out"},
    {Outcome::kStopped, "stopped"},
};

// Reads "key=value" at the front of `line` (up to the next space).
std::optional<std::string_view> Field(std::string_view& line, std::string_view key) {
  if (line.substr(0, key.size()) != key || line.size() <= key.size() || line[key.size()] != '=')
    return std::nullopt;
  line.remove_prefix(key.size() + 1);
  const std::size_t space = line.find(' ');
  const std::string_view value = line.substr(0, space);
  line.remove_prefix(space == std::string_view::npos ? line.size() : space + 1);
  return value;
}

std::optional<std::uint64_t> Decimal(std::string_view text) {
  if (text.empty() || text.size() > 19) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value;
}

std::optional<std::uint64_t> Hex(std::string_view text) {
  if (text.size() != 16) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    unsigned digit;
    if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
    else if (c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
    else return std::nullopt;
    value = value << 4 | digit;
  }
  return value;
}

}  // namespace

std::string_view OutcomeName(Outcome outcome) {
  for (const auto& entry : kOutcomes)
    if (entry.outcome == outcome) return entry.name;
  return "unknown";
}

std::optional<Outcome> OutcomeFromName(std::string_view name) {
  for (const auto& entry : kOutcomes)
    if (entry.name == name) return entry.outcome;
  return std::nullopt;
}

std::string RecordFileName(unsigned number) {
  char name[32];
  std::snprintf(name, sizeof name, "%04u.req", number);
  return name;
}

std::string FormatRecordLine(const RecordEntry& entry) {
  char hash[24] = "-";
  if (entry.fnv1a)
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(*entry.fnv1a));
  char fields[200];
  std::snprintf(fields, sizeof fields, "%04u %s status=%d declared=%s received=%llu stored=%llu fnv1a=%s target=",
                entry.number, std::string(OutcomeName(entry.outcome)).c_str(), entry.status,
                entry.declared ? std::to_string(*entry.declared).c_str() : "-",
                static_cast<unsigned long long>(entry.received),
                static_cast<unsigned long long>(entry.stored), hash);
  std::string line = fields;
  // A line break inside the target would forge a second index line.
  for (char c : entry.target) line += (c == '\n' || c == '\r') ? '?' : c;
  return line + "\n";
}

std::optional<RecordEntry> ParseRecordLine(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  RecordEntry entry;
  const std::size_t space = line.find(' ');
  const auto number = Decimal(line.substr(0, space));
  if (!number || *number == 0 || *number > 0xffffffffu || space == std::string_view::npos)
    return std::nullopt;
  entry.number = static_cast<unsigned>(*number);
  line.remove_prefix(space + 1);

  const std::size_t next = line.find(' ');
  const auto outcome = OutcomeFromName(line.substr(0, next));
  if (!outcome || next == std::string_view::npos) return std::nullopt;
  entry.outcome = *outcome;
  line.remove_prefix(next + 1);

  const auto status = Field(line, "status");
  const auto declared = Field(line, "declared");
  const auto received = Field(line, "received");
  const auto stored = Field(line, "stored");
  const auto hash = Field(line, "fnv1a");
  if (!status || !declared || !received || !stored || !hash) return std::nullopt;
  const auto statusValue = Decimal(*status);
  const auto receivedValue = Decimal(*received);
  const auto storedValue = Decimal(*stored);
  if (!statusValue || *statusValue > 999 || !receivedValue || !storedValue) return std::nullopt;
  entry.status = static_cast<int>(*statusValue);
  entry.received = *receivedValue;
  entry.stored = *storedValue;
  if (*hash != "-") {
    entry.fnv1a = Hex(*hash);
    if (!entry.fnv1a) return std::nullopt;
  }
  if (*declared != "-") {
    entry.declared = Decimal(*declared);
    if (!entry.declared) return std::nullopt;
  }
  if (line.substr(0, 7) != "target=") return std::nullopt;
  entry.target = std::string(line.substr(7));
  return entry;
}

void Fnv1a64::Update(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  std::uint64_t hash = hash_;
  for (std::size_t i = 0; i < size; ++i) {
    hash ^= bytes[i];
    hash *= 0x100000001b3ull;
  }
  hash_ = hash;
}

std::uint64_t Fnv1a(std::string_view bytes) {
  Fnv1a64 hash;
  hash.Update(bytes.data(), bytes.size());
  return hash.value();
}

}  // namespace receiver
