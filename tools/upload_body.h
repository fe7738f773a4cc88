// The body of an upload request written to a file, byte for byte as the
// control sends it: the same job framing, the same order, the files' bytes
// as they are on disk. Server scripts are tested against it without Wine.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace brimlet {

// A form field, sent before the files as a part without a file name.
struct BodyField {
  std::string name;
  std::string value;  // bytes as sent (the control sends code page 949)
};

struct BodyFile {
  std::string localPath;    // where the bytes come from
  std::string listedPath;   // the path the control would list, as its part names it: C:\docs\a.txt
  std::string contentType;
};

// Writes the whole body of a job made of `fields` and `files` to `out`.
// Returns the Content-Length the control would declare, which is also the
// count written; on failure (a file that cannot be read, a write that fails)
// returns false and says why in `error`.
bool WriteUploadBody(const std::vector<BodyField>& fields, const std::vector<BodyFile>& files,
                     std::ostream& out, std::uint64_t* contentLength, std::string* error);
inline bool WriteUploadBody(const std::vector<BodyFile>& files, std::ostream& out,
                            std::uint64_t* contentLength, std::string* error) {
  return WriteUploadBody({}, files, out, contentLength, error);
}

// The request header lines the control adds, without Content-Length (the
// client that sends the body counts it).
std::string UploadRequestHeaders();

}  // namespace brimlet
