// make_upload_body: writes the body of an upload request to a file, as the
// control would send it for the given files, so that server scripts can be
// fed with curl --data-binary.
//
//   make_upload_body --out BODY [--headers FILE] [--field NAME VALUE ...]
//                    [--type TYPE] --file LOCAL LISTED ...
//
// LOCAL is the file whose bytes are sent, LISTED the path the part names
// (the control's full Windows path, in its ANSI code page: pass the bytes as
// they are). --type sets the content type of the files that follow it
// (application/octet-stream until then). --field adds a form field, sent
// before the files in the order given, its value's bytes as they are.
// --headers writes the request's
// Accept and Content-Type lines, one a line, for curl -H @FILE. The
// Content-Length the control would declare is printed on standard output.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tools/upload_body.h"

namespace {

int Usage(const std::string& why) {
  std::fprintf(stderr,
               "make_upload_body: %s\n"
               "usage: make_upload_body --out BODY [--headers FILE] [--field NAME VALUE ...] "
               "[--type TYPE] --file LOCAL LISTED ...\n",
               why.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string bodyPath, headersPath, type = "application/octet-stream";
  std::vector<brimlet::BodyField> fields;
  std::vector<brimlet::BodyFile> files;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    const int values = option == "--file" || option == "--field" ? 2 : 1;
    if (i + values >= argc) return Usage("missing value after " + option);
    if (option == "--out") {
      bodyPath = argv[++i];
    } else if (option == "--headers") {
      headersPath = argv[++i];
    } else if (option == "--type") {
      type = argv[++i];
    } else if (option == "--field") {
      fields.push_back({argv[i + 1], argv[i + 2]});
      i += 2;
    } else if (option == "--file") {
      files.push_back({argv[i + 1], argv[i + 2], type});
      i += 2;
    } else {
      return Usage("unknown option " + option);
    }
  }
  if (bodyPath.empty()) return Usage("--out is required");
  if (files.empty()) return Usage("at least one --file is required");

  std::ofstream body(bodyPath, std::ios::binary | std::ios::trunc);
  if (!body) return Usage("cannot create " + bodyPath);
  std::uint64_t length = 0;
  std::string error;
  if (!brimlet::WriteUploadBody(fields, files, body, &length, &error)) {
    std::fprintf(stderr, "make_upload_body: %s\n", error.c_str());
    return 1;
  }
  if (!headersPath.empty()) {
    std::ofstream headers(headersPath, std::ios::binary | std::ios::trunc);
    std::string lines = brimlet::UploadRequestHeaders();
    // curl reads one header a line and wants no CR.
    for (std::size_t at; (at = lines.find('\r')) != std::string::npos;) lines.erase(at, 1);
    headers << lines;
    if (!headers.flush()) return Usage("cannot write " + headersPath);
  }
  std::printf("%llu\n", static_cast<unsigned long long>(length));
  return 0;
}
