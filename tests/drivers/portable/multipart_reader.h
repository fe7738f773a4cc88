// Reads a multipart/form-data body back into its parts, the way a server
// script sees the upload: for the demo, which shows what the server got.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace drivers {

struct FormPart {
  std::string name;         // the form field: FILE1, FILE2, ...
  std::string filename;     // as sent, the full local path included
  std::string contentType;
  std::string data;
};

// The parts of `body` delimited by `boundary` (the Content-Type parameter);
// nullopt when the body does not follow the multipart rules to its closing
// delimiter.
std::optional<std::vector<FormPart>> ReadMultipart(const std::string& body, const std::string& boundary);

}  // namespace drivers
