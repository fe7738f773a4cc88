// Watches the bytes a part carries for the body's delimiter, so that no
// file's content can end its part early and start parts of its own choosing
// (extra files, a replaced page field) at the receiver. The boundary stays
// what receivers know; instead, a part whose content holds the delimiter is
// never sent whole.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace brimlet {

// The delimiter as it stands in the body between parts: CR LF, two hyphens
// and the boundary.
std::string BodyDelimiter();

// Fed a part's content piece by piece as it is read, it finds the delimiter
// wherever the pieces cut it, and also where it is completed by the framing
// just before the content: the part header ends in CR LF CR LF, so content
// that starts with the hyphens and the boundary forms the delimiter too.
class DelimiterWatch {
 public:
  // `delimiter`: from 2 to 255 bytes.
  explicit DelimiterWatch(std::string delimiter = BodyDelimiter());

  // Starts a part whose content follows `before` in the body. Only its last
  // bytes matter; nothing in `before` itself counts as found.
  void Start(std::string_view before);
  // Whether the content fed so far, with what came before it, holds the
  // delimiter now that `piece` follows.
  bool Found(const char* piece, std::size_t size);

 private:
  bool FoundWithin(const char* piece, std::size_t size) const;

  const std::string m_delimiter;
  // Where each byte value stands in the delimiter.
  std::array<std::string, 256> m_offsets;
  // The two-byte sequences the delimiter holds, a bit for each.
  std::array<std::uint64_t, 65536 / 64> m_pairs{};
  // The last delimiter-length-less-one bytes of the body so far: enough to
  // complete a delimiter that the next piece finishes.
  std::string m_tail;
  // Scratch for the seam between the tail and a new piece.
  std::string m_seam;
};

// Whether `text`, standing in the body right after `before`, holds the
// delimiter.
bool HoldsDelimiter(std::string_view before, std::string_view text);

}  // namespace brimlet
