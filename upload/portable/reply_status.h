// Whether the server's answer makes an upload a success.
#pragma once

#include <cstdint>

namespace brimlet {

// A status from 200 to 399. No status (0: the connection ended without an
// answer) and an error status (400 and up) are failed uploads.
inline bool IsSuccessStatus(std::uint32_t status) { return status >= 200 && status < 400; }

}  // namespace brimlet
