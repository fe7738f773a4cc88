// Streams each file between the framing the job computed for it, so a body
// of any size is written without holding it in memory.
#include "tools/upload_body.h"

#include <fstream>

#include "upload/portable/multipart.h"
#include "upload/portable/upload_job.h"

namespace brimlet {
namespace {

bool FileSize(const std::string& path, std::uint64_t* size) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return false;
  const std::streamoff end = file.tellg();
  if (end < 0) return false;
  *size = static_cast<std::uint64_t>(end);
  return true;
}

bool CopyFile(const std::string& path, std::uint64_t expected, std::ostream& out,
              std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    *error = "cannot open " + path;
    return false;
  }
  char buffer[65536];
  std::uint64_t copied = 0;
  while (file) {
    file.read(buffer, sizeof buffer);
    const std::streamsize got = file.gcount();
    if (got <= 0) break;
    out.write(buffer, got);
    copied += static_cast<std::uint64_t>(got);
  }
  if (file.bad() || copied != expected) {
    *error = path + " changed while it was read";
    return false;
  }
  return true;
}

}  // namespace

bool WriteUploadBody(const std::vector<BodyField>& fields, const std::vector<BodyFile>& files,
                     std::ostream& out, std::uint64_t* contentLength, std::string* error) {
  UploadJob job;
  for (const BodyFile& file : files) {
    std::uint64_t size = 0;
    if (!FileSize(file.localPath, &size)) {
      *error = "cannot read " + file.localPath;
      return false;
    }
    // The body is copied from localPath here: the job's own path, which the
    // control opens and shows, is not needed.
    AddJobFile(job, std::wstring(), file.listedPath, std::to_string(size), size, file.contentType);
  }
  // The fields' parts come first; the first file's part then follows one.
  std::uint64_t fieldBytes = 0;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const std::string part = BoundaryLine(i == 0) + "Content-Disposition: form-data; name=\"" +
                             fields[i].name + "\"\r\n\r\n" + fields[i].value;
    out << part;
    fieldBytes += part.size();
  }
  for (std::size_t i = 0; i < job.entries.size(); ++i) {
    const UploadJobEntry& entry = job.entries[i];
    const bool followsField = i == 0 && !fields.empty();
    out << (followsField ? BoundaryLine(false) : entry.boundaryLine) << entry.partHeader;
    if (followsField) fieldBytes += BoundaryLine(false).size() - entry.boundaryLine.size();
    if (!CopyFile(files[i].localPath, entry.size, out, error)) return false;
  }
  out << Trailer();
  out.flush();
  if (!out) {
    *error = "cannot write the body";
    return false;
  }
  *contentLength = ContentLength(job) + fieldBytes;
  return true;
}

std::string UploadRequestHeaders() { return AcceptHeaderLine() + ContentTypeHeaderLine(); }

}  // namespace brimlet
