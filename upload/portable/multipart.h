// The bytes of the upload request that are not file data: the delimiter
// lines around the parts, each part's header, the closing trailer and the
// request's own header lines. Built as plain texts so their lengths can be
// added up before any byte is sent.
#pragma once

#include <cstdint>
#include <string>

namespace brimlet {

// The boundary parameter as the Content-Type header carries it; the
// delimiter lines in the body add two more hyphens.
inline constexpr const char kBoundary[] = "--MULTI-PARTS-FORM-DATA-BOUNDARY";

// The line that opens a part. Every part after the first starts with the
// CR LF that ends the previous part's data.
std::string BoundaryLine(bool firstPart);

// The header block of part `number` (FILE1, FILE2, ...): the full local path
// as the file name, as listed, and the content type.
std::string PartHeader(std::uint32_t number, const std::string& path,
                       const std::string& contentType);

// The closing delimiter after the last part.
std::string Trailer();

std::string AcceptHeaderLine();
std::string ContentTypeHeaderLine();
std::string ContentLengthHeaderLine(std::uint64_t contentLength);

}  // namespace brimlet
