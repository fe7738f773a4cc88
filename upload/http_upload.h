// One upload request through WinInet: the session, the connection and the
// POST request with its header lines, the body written in pieces, the end of
// the request and the reply. The handles close in reverse order of opening,
// when the object goes or Close is called.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "framework/unique_handle.h"
#include "upload/send_files.h"
#include "upload/url_parts.h"

// The upload address as the system's splitter (InternetCrackUrl) cuts it,
// under the rules of url_parts.h; nothing when it is not to be sent. An
// address holding a control character is refused before it is split.
std::optional<brimlet::UrlParts> SplitUploadUrl(const std::string& url);

class HttpUpload final : public brimlet::BodyWriter {
 public:
  // Shows a failure to the user; the upload decides whether it goes on.
  using Tell = std::function<void(const std::string&)>;

  // Opens everything up to the request with its three header lines. Failures
  // that make the request impossible are told and return false; a refused
  // Content-Type or Content-Length line is told and the upload goes on.
  bool Open(const brimlet::UrlParts& url, std::uint64_t contentLength, const Tell& tell);

  // brimlet::BodyWriter
  bool Begin(std::string& failureText) override;
  bool Write(const void* data, std::size_t size) override;

  // Ends the request: the reply can be read after it.
  bool End();
  // The reply's status code, 0 when there is none.
  DWORD StatusCode() const;
  // Up to `limit` bytes of the reply body; false when there is no request.
  bool ReadReply(std::size_t limit, std::string* body) const;
  bool HasRequest() const { return static_cast<bool>(request_); }
  void Close();

 private:
  // In the order they are opened, so that they close in reverse.
  fw::UniqueInternet internet_;
  fw::UniqueInternet connection_;
  fw::UniqueInternet request_;
};
