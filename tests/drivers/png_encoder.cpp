// A PNG writer small enough to carry: 8-bit RGB, no filtering, and the zlib
// stream made of stored (uncompressed) deflate blocks. Screenshots are small,
// so size is no concern and no library is needed.
#include "host/png_encoder.h"

#include <array>

namespace host {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Crc32(const std::uint8_t* data, size_t size, std::uint32_t crc = 0) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> entries{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      entries[n] = c;
    }
    return entries;
  }();
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

std::uint32_t Adler32(const Bytes& data) {
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t byte : data) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

void PutBigEndian(Bytes* out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back((value >> shift) & 0xFF);
}

void PutChunk(Bytes* out, const char type[4], const Bytes& data) {
  PutBigEndian(out, static_cast<std::uint32_t>(data.size()));
  const size_t start = out->size();
  out->insert(out->end(), type, type + 4);
  out->insert(out->end(), data.begin(), data.end());
  PutBigEndian(out, Crc32(out->data() + start, out->size() - start));
}

// zlib header, stored blocks of at most 65535 bytes, Adler-32 of the data.
Bytes ZlibStored(const Bytes& raw) {
  Bytes out = {0x78, 0x01};
  size_t offset = 0;
  do {
    const size_t length = raw.size() - offset < 65535 ? raw.size() - offset : 65535;
    const bool last = offset + length == raw.size();
    out.push_back(last ? 1 : 0);
    out.push_back(length & 0xFF);
    out.push_back((length >> 8) & 0xFF);
    out.push_back(~length & 0xFF);
    out.push_back((~length >> 8) & 0xFF);
    out.insert(out.end(), raw.begin() + offset, raw.begin() + offset + length);
    offset += length;
  } while (offset < raw.size());
  PutBigEndian(&out, Adler32(raw));
  return out;
}

}  // namespace

Bytes EncodePng(int width, int height, const Bytes& rgb) {
  const size_t row = static_cast<size_t>(width) * 3;
  if (width <= 0 || height <= 0 || rgb.size() < row * height) return {};

  Bytes raw;  // each row preceded by its filter type, 0 (none)
  raw.reserve((row + 1) * height);
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), rgb.begin() + y * row, rgb.begin() + (y + 1) * row);
  }

  Bytes header;
  PutBigEndian(&header, static_cast<std::uint32_t>(width));
  PutBigEndian(&header, static_cast<std::uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter, no interlace

  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  PutChunk(&png, "IHDR", header);
  PutChunk(&png, "IDAT", ZlibStored(raw));
  PutChunk(&png, "IEND", {});
  return png;
}

}  // namespace host
