// One upload request through WinInet: the session, the connection and the
// POST request with its header lines, the body written in pieces, the end of
// the request and the reply. The handles close in reverse order of opening,
// when the object goes or Close is called.
//
// The calls block; one thread makes them, each holding the lock for as long
// as it uses the request. Any other thread may Abort: every later call fails
// without touching the network, and the request is closed there only when
// no call holds it. A handle is closed only while nothing uses it, as
// WinInet asks, so a closed request can never be written through, even when
// a later request of the process is given the same value. A call that
// blocks ends within the silence limit, and the caller closes the request
// then.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "framework/unique_handle.h"
#include "upload/portable/cross_origin.h"
#include "upload/portable/send_files.h"
#include "upload/portable/url_parts.h"

namespace brimlet {

// The upload address as the system's splitter (InternetCrackUrl) cuts it,
// under the rules of url_parts.h; nothing when it is not to be sent. An
// address holding a control character is refused before it is split.
std::optional<UrlParts> SplitUploadUrl(const std::string& url);

class HttpUpload final : public BodyWriter {
 public:
  // Shows a failure to the user; the upload decides whether it goes on.
  using Tell = std::function<void(const std::string&)>;

  // Asks a server of another origin whether it takes the page's upload: an
  // OPTIONS request with `lines` (each ending in CR LF), sent without
  // cookies or credentials as browsers send it, and the answer's status and
  // Access-Control-Allow-* headers. False, after telling why, when no answer
  // came. The connection stays open for the upload.
  bool Preflight(const UrlParts& url, const std::vector<std::string>& lines, CorsAnswer* answer, const Tell& tell);

  // Opens everything up to the request with its three header lines and the
  // page's own (`pageHeaders`, each ending in CR LF). Failures that make the
  // request impossible are told and return false; a refused header line is
  // told and the upload goes on.
  bool Open(const UrlParts& url, std::uint64_t contentLength,
            const std::vector<std::string>& pageHeaders, const Tell& tell);

  // BodyWriter
  bool Begin(std::string& failureText) override;
  bool Write(const void* data, std::size_t size) override;

  // Ends the request: the reply can be read after it.
  bool End();
  // The reply's status code, 0 when there is none.
  DWORD StatusCode() const;
  // The reply's status and Access-Control-Allow-* headers.
  CorsAnswer ReplyCors() const;
  // The reply's Content-Type header value, empty when it has none.
  std::string ReplyContentType() const;
  // Up to `limit` bytes of the reply body; false when there is no request.
  bool ReadReply(std::size_t limit, std::string* body) const;
  void Close();
  // From any thread, without waiting: no call is made after it, and the
  // request is closed now unless a call is using it.
  void Abort();

 private:
  // The session and the connection, once for the upload and its question.
  bool Connect(const UrlParts& url, const Tell& tell);
  // Makes `request` the one Abort closes; false once aborted.
  bool Publish(fw::UniqueInternet request);
  // `call(request)` with the lock held; `none` once aborted or without one.
  template <class Call, class Result>
  Result WithRequest(const Call& call, Result none) const;

  mutable std::mutex m_lock;  // held by every use of m_request
  std::atomic<bool> m_aborted{false};

  // In the order they are opened, so that they close in reverse.
  fw::UniqueInternet m_internet;
  fw::UniqueInternet m_connection;
  fw::UniqueInternet m_request;
};

}  // namespace brimlet
