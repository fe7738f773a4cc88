#include "framework/portable/persisted_record.h"

namespace fw {

void RecordWriter::U32(std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) payload_.push_back(static_cast<std::uint8_t>(value >> shift));
}

void RecordWriter::Text(const std::string& text) {
  U32(static_cast<std::uint32_t>(text.size()));
  payload_.insert(payload_.end(), text.begin(), text.end());
}

std::vector<std::uint8_t> RecordWriter::Framed() const {
  RecordWriter framed;
  framed.U32(static_cast<std::uint32_t>(payload_.size()));
  framed.payload_.insert(framed.payload_.end(), payload_.begin(), payload_.end());
  return framed.payload_;
}

std::uint32_t DecodeLength(const std::uint8_t bytes[4]) {
  return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
         std::uint32_t(bytes[3]) << 24;
}

bool RecordReader::U32(std::uint32_t& value) {
  if (remaining() < 4) return false;
  value = DecodeLength(&payload_[position_]);
  position_ += 4;
  return true;
}

bool RecordReader::I32(std::int32_t& value) {
  std::uint32_t raw;
  if (!U32(raw)) return false;
  value = static_cast<std::int32_t>(raw);
  return true;
}

bool RecordReader::Text(std::string& text) {
  const std::size_t start = position_;
  std::uint32_t length;
  if (!U32(length)) return false;
  if (length > remaining()) {
    position_ = start;
    return false;
  }
  text.assign(reinterpret_cast<const char*>(&payload_[position_]), length);
  position_ += length;
  return true;
}

}  // namespace fw
