// The delimiter watch: a search of each piece as it is read, and a short one
// across the seam with the bytes before it.
#include "upload/portable/delimiter_watch.h"

#include <algorithm>
#include <cstring>

#include "upload/portable/multipart.h"

namespace brimlet {

std::string BodyDelimiter() { return std::string("\r\n--") + kBoundary; }

namespace {

unsigned Byte(char c) { return static_cast<unsigned char>(c); }

}  // namespace

DelimiterWatch::DelimiterWatch(std::string delimiter) : m_delimiter(std::move(delimiter)) {
  for (std::size_t at = 0; at < m_delimiter.size(); ++at) {
    m_offsets[Byte(m_delimiter[at])].push_back(static_cast<char>(at));
    if (at + 1 == m_delimiter.size()) break;
    const unsigned pair = Byte(m_delimiter[at]) << 8 | Byte(m_delimiter[at + 1]);
    m_pairs[pair / 64] |= std::uint64_t{1} << (pair % 64);
  }
  m_tail.reserve(m_delimiter.size());
  m_seam.reserve(2 * m_delimiter.size());
}

void DelimiterWatch::Start(std::string_view before) {
  const std::size_t keep = std::min(before.size(), m_delimiter.size() - 1);
  m_tail.assign(before.substr(before.size() - keep));
}

bool DelimiterWatch::Found(const char* piece, std::size_t size) {
  const std::size_t reach = m_delimiter.size() - 1;
  // Across the seam: the tail and the piece's first bytes hold every
  // delimiter that starts before the piece and ends in it.
  m_seam.assign(m_tail);
  m_seam.append(piece, std::min(size, reach));
  if (m_seam.find(m_delimiter) != std::string::npos) return true;
  if (FoundWithin(piece, size)) return true;
  const char* end = piece + size;
  // The new tail: the seam's last bytes when the piece is short.
  if (size >= reach) {
    m_tail.assign(end - reach, end);
  } else {
    m_tail.assign(m_seam, m_seam.size() - std::min(m_seam.size(), reach), std::string::npos);
  }
  return false;
}

// Every delimiter that lies within the piece covers a pair of bytes that
// starts at a multiple of its length less one, so only those pairs are
// looked up; in data of any kind few of them occur in the delimiter at all,
// and only those are compared. The lookups do not wait on one another, so
// the watch runs at many times the rate a file is read and sent.
bool DelimiterWatch::FoundWithin(const char* piece, std::size_t size) const {
  const std::size_t length = m_delimiter.size();
  for (std::size_t at = 0; at + 1 < size; at += length - 1) {
    const unsigned pair = Byte(piece[at]) << 8 | Byte(piece[at + 1]);
    if ((m_pairs[pair / 64] >> (pair % 64) & 1) == 0) continue;
    for (const char stored : m_offsets[Byte(piece[at])]) {
      const std::size_t offset = Byte(stored);
      if (offset > at || at - offset + length > size) continue;
      if (std::memcmp(piece + at - offset, m_delimiter.data(), length) == 0) return true;
    }
  }
  return false;
}

bool HoldsDelimiter(std::string_view before, std::string_view text) {
  DelimiterWatch watch;
  watch.Start(before);
  return watch.Found(text.data(), text.size());
}

}  // namespace brimlet
