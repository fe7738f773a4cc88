// The binary form in which a control persists its properties to a stream:
// a 32-bit payload length, then the values in exchange order without names
// (32-bit little-endian numbers; texts as a 32-bit byte count and the bytes).
// Everything read is bounds-checked, so a truncated or corrupt stream is
// reported, never trusted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fw {

// A stored payload longer than this is taken for corruption rather than read:
// no property of a control comes near it, and it keeps a forged length from
// making the reader allocate gigabytes.
constexpr std::uint32_t kMaxRecordPayload = 64u * 1024 * 1024;

class RecordWriter {
 public:
  void U32(std::uint32_t value);
  void I32(std::int32_t value) { U32(static_cast<std::uint32_t>(value)); }
  void Text(const std::string& text);

  const std::vector<std::uint8_t>& payload() const { return payload_; }
  // Length prefix followed by the payload, as written to a stream.
  std::vector<std::uint8_t> Framed() const;

 private:
  std::vector<std::uint8_t> payload_;
};

class RecordReader {
 public:
  explicit RecordReader(std::vector<std::uint8_t> payload) : payload_(std::move(payload)) {}

  // Each returns false, and leaves `value` alone, when the payload ends first.
  bool U32(std::uint32_t& value);
  bool I32(std::int32_t& value);
  bool Text(std::string& text);

  std::size_t remaining() const { return payload_.size() - position_; }

 private:
  std::vector<std::uint8_t> payload_;
  std::size_t position_ = 0;
};

// Reads the 4-byte length prefix of a framed record.
std::uint32_t DecodeLength(const std::uint8_t bytes[4]);

}  // namespace fw
