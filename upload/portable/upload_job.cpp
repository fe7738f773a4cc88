// Filling the job: part numbers, framing and the 64-bit counters.
#include "upload/portable/upload_job.h"

#include "upload/portable/multipart.h"

namespace brimlet {

void AddJobFile(UploadJob& job, const std::wstring& path, const std::string& wireName,
                const std::string& sizeText, std::uint64_t size,
                const std::string& contentType) {
  const std::uint32_t number = ++job.jobFileCount;
  UploadJobEntry entry;
  entry.path = path;
  entry.sizeText = sizeText;
  entry.wireName = wireName;
  entry.partHeader = PartHeader(number, wireName, contentType);
  entry.boundaryLine = BoundaryLine(number == 1 && job.fieldParts.empty());
  entry.size = size;
  job.bodyLength += entry.boundaryLine.size() + entry.partHeader.size() + size;
  job.totalFileSize += size;
  job.entries.push_back(std::move(entry));
}

void SetJobFields(UploadJob& job, std::string fieldParts) {
  job.bodyLength -= job.fieldParts.size();
  job.fieldParts = std::move(fieldParts);
  job.bodyLength += job.fieldParts.size();
}

std::uint64_t ContentLength(const UploadJob& job) {
  return Trailer().size() + job.bodyLength;
}

}  // namespace brimlet
