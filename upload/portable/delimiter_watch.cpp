// The delimiter watch: a search of each piece as it is read, and a short one
// across the seam with the bytes before it.
#include "upload/portable/delimiter_watch.h"

#include <algorithm>

#include "upload/portable/multipart.h"

namespace brimlet {

std::string BodyDelimiter() { return std::string("\r\n--") + kBoundary; }

DelimiterWatch::DelimiterWatch(std::string delimiter)
    : m_delimiter(std::move(delimiter)), m_searcher(m_delimiter.begin(), m_delimiter.end()) {
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
  const char* end = piece + size;
  if (std::search(piece, end, m_searcher) != end) return true;
  // The new tail: the seam's last bytes when the piece is short.
  if (size >= reach) {
    m_tail.assign(end - reach, end);
  } else {
    m_tail.assign(m_seam, m_seam.size() - std::min(m_seam.size(), reach), std::string::npos);
  }
  return false;
}

bool HoldsDelimiter(std::string_view before, std::string_view text) {
  DelimiterWatch watch;
  watch.Start(before);
  return watch.Found(text.data(), text.size());
}

}  // namespace brimlet
