// One upload as the worker receives it: the destination, the reply flag and
// the accepted files with their framing, built once on the control's thread
// so that the declared length is known before the request starts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace brimlet {

struct UploadJobEntry {
  std::wstring path;         // full path as listed and shown, to open
  std::string wireName;      // the path as the part's file name carries it
  std::string sizeText;      // size column of the list, shown in the dialog
  std::string partHeader;
  std::string boundaryLine;
  std::uint64_t size = 0;    // bytes on disk when the job was filled
};

struct UploadJob {
  std::string url;
  bool serverResponse = false;
  // The origin of the page that asked for the upload; empty when the
  // container gave no address, and the upload is then as it always was.
  std::string pageOrigin;
  // The page's form fields as the body's first parts, framing included.
  std::string fieldParts;
  // The page's own request header lines, each ending in CR LF.
  std::vector<std::string> headerLines;
  std::vector<UploadJobEntry> entries;
  // Counters over the accepted files. 64-bit: a job may hold many files of
  // almost 4 GiB each.
  std::uint32_t jobFileCount = 0;
  std::uint64_t bodyLength = 0;     // framing and data of every part
  std::uint64_t totalFileSize = 0;  // data bytes only
};

// How many of a job's files stay open from the moment they are found
// openable until they are sent. Each open file holds a handle (under Wine a
// descriptor of the process and one of the wine server, whose limits are
// often 20,000 or fewer); a job of tens of thousands of files would run out
// of them, and then not even the connection could be opened. Files past
// these are closed once found openable and opened again when their turn
// comes.
inline constexpr std::size_t kFilesHeldOpen = 2048;

// Takes a file the caller has just opened and measured into the job: it gets
// the next part number (refused files never reach here, so the numbers have
// no gaps) and its framing counts towards the body length.
// `wireName` is the path in the bytes the request carries (WireName): every
// length counts those bytes.
void AddJobFile(UploadJob& job, const std::wstring& path, const std::string& wireName,
                const std::string& sizeText, std::uint64_t size,
                const std::string& contentType);

// Puts the page's form fields in front of the files; before any file is
// added, since the first file's framing depends on it.
void SetJobFields(UploadJob& job, std::string fieldParts);

// The length the request declares: every part plus the trailer.
std::uint64_t ContentLength(const UploadJob& job);

}  // namespace brimlet
