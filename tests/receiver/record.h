// How the receiver files what it got. Each request becomes one file, NNNN.req
// (numbered from 0001 in the order requests finish), holding the bytes exactly
// as received: the head, then the body when it is stored. The file is written
// under another name and renamed into place, so a reader never sees half of
// it. After the rename, one line is appended to index.txt:
//
//   0001 complete status=200 declared=120 received=120 stored=120 fnv1a=cbf29ce484222325 target=/ok?a=1
//
// `declared` is the Content-Length (or "-" when the head was refused before
// one was known), `received` the body bytes that arrived, `stored` those
// written to the file, `fnv1a` the 64-bit FNV-1a hash of the received body
// ("-" in drain mode, which skips it for speed),
// and the target comes last because it is the one field that may hold spaces
// when a client misbehaves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace receiver {

enum class Outcome {
  kComplete,       // the whole body arrived and was answered
  kClientClosed,   // the client closed or reset before the body ended
  kClosedMidBody,  // we dropped the connection as close-mid-body asked
  kRefused,        // the head was malformed and answered with an error status
  kTimedOut,       // nothing arrived for too long
  kStopped,        // the receiver was stopping
};

std::string_view OutcomeName(Outcome outcome);
std::optional<Outcome> OutcomeFromName(std::string_view name);

struct RecordEntry {
  unsigned number = 0;
  Outcome outcome = Outcome::kComplete;
  int status = 0;  // what was answered; 0 when nothing was
  std::optional<std::uint64_t> declared;
  std::uint64_t received = 0;
  std::uint64_t stored = 0;
  std::optional<std::uint64_t> fnv1a;  // not computed in drain mode
  std::string target;
};

// "0001.req"; numbers past 9999 simply grow more digits.
std::string RecordFileName(unsigned number);

// One index line, newline included.
std::string FormatRecordLine(const RecordEntry& entry);
// Parses one line (with or without its newline); nullopt if it is not one.
std::optional<RecordEntry> ParseRecordLine(std::string_view line);

// Incremental 64-bit FNV-1a, the hash the index gives for every body.
class Fnv1a64 {
 public:
  static constexpr std::uint64_t kOffsetBasis = 0xcbf29ce484222325ull;
  void Update(const void* data, std::size_t size);
  std::uint64_t value() const { return hash_; }

 private:
  std::uint64_t hash_ = kOffsetBasis;
};

std::uint64_t Fnv1a(std::string_view bytes);

}  // namespace receiver
