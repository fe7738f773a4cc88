#include "upload/http_upload.h"

#include <wininet.h>

#include <vector>

#include "upload/portable/multipart.h"
#include "upload/portable/upload_messages.h"

namespace brimlet {

namespace {

// No cache write, keep the connection, a form submission: 0x4400040.
constexpr DWORD kRequestFlags =
    INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_FORMS_SUBMIT;

// How long a server may keep silent before the upload gives up on it: the
// system's own default for a socket receive. Without a bound, a server that
// never answers would hold the worker (and its dialog, which is not serviced
// during a network call) for good.
constexpr DWORD kSilenceLimitMs = 30000;

// Set on the session for what it opens, and on the request itself, which is
// where some WinInet implementations read it.
void LimitSilence(HINTERNET handle) {
  DWORD limit = kSilenceLimitMs;
  for (DWORD option : {INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
    ::InternetSetOptionA(handle, option, &limit, sizeof limit);
}

bool AddHeader(HINTERNET request, const std::string& line, DWORD mode) {
  return ::HttpAddRequestHeadersA(request, line.c_str(), static_cast<DWORD>(line.size()), mode) != FALSE;
}

// Every value of a reply header, joined as one: a header given twice is
// read as the list it then is. Empty when there is none.
std::string HeaderValue(HINTERNET request, const std::string& name) {
  std::string joined;
  DWORD index = 0;
  for (int seen = 0; seen < 16; ++seen) {
    char value[1024] = {};
    name.copy(value, sizeof value - 1);
    DWORD size = sizeof value - 1;
    const DWORD asked = index;
    if (!::HttpQueryInfoA(request, HTTP_QUERY_CUSTOM, value, &size, &index)) break;
    joined += (joined.empty() ? "" : ", ") + std::string(value, size);
    if (index == asked) break;
  }
  return joined;
}

// The piece of `url` that a component of the split points at.
std::string Piece(const char* text, DWORD length) { return text ? std::string(text, length) : std::string(); }

UrlScheme SchemeOf(INTERNET_SCHEME scheme) {
  switch (scheme) {
    case INTERNET_SCHEME_HTTP: return UrlScheme::kHttp;
    case INTERNET_SCHEME_HTTPS: return UrlScheme::kHttps;
    default: return UrlScheme::kOther;
  }
}

}  // namespace

std::optional<UrlParts> SplitUploadUrl(const std::string& url) {
  if (HasControlCharacter(url) || url.size() >= MAXDWORD) return std::nullopt;
  // Lengths without buffers: each component comes back as a pointer into
  // `url` and its length, undecoded. A user name and password, when the
  // address has them, are split off and left unused: the connection is made
  // without them.
  URL_COMPONENTSA split{};
  split.dwStructSize = sizeof split;
  split.dwSchemeLength = split.dwHostNameLength = split.dwUserNameLength = split.dwPasswordLength =
      split.dwUrlPathLength = split.dwExtraInfoLength = 1;
  if (!::InternetCrackUrlA(url.c_str(), static_cast<DWORD>(url.size()), 0, &split)) return std::nullopt;

  SplitAddress address;
  address.scheme = SchemeOf(split.nScheme);
  address.port = split.nPort;
  address.path = Piece(split.lpszUrlPath, split.dwUrlPathLength);
  address.extra = Piece(split.lpszExtraInfo, split.dwExtraInfoLength);
  // The host as the address writes it, an IPv6 literal with its brackets
  // whether or not the splitter keeps them; what lies between it and what
  // follows is where a port is written.
  const char* const begin = url.c_str();
  const char* const end = begin + url.size();
  const char* hostStart = split.lpszHostName;
  const char* hostEnd = hostStart ? hostStart + split.dwHostNameLength : nullptr;
  const char* next = end;
  if (split.lpszUrlPath && split.dwUrlPathLength > 0) next = split.lpszUrlPath;
  else if (split.lpszExtraInfo && split.dwExtraInfoLength > 0) next = split.lpszExtraInfo;
  if (!hostStart || hostStart < begin || hostEnd > next || next > end) return std::nullopt;
  if (hostStart > begin && hostStart[-1] == '[' && hostEnd < next && *hostEnd == ']') {
    --hostStart;
    ++hostEnd;
  }
  address.host.assign(hostStart, hostEnd);
  address.afterHost.assign(hostEnd, next);
  return UrlPartsOf(address);
}

bool HttpUpload::Connect(const UrlParts& url, const Tell& tell) {
  if (m_connection) return true;
  m_internet.reset(::InternetOpenA(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!m_internet) {
    tell(kOpenInternetError);
    return false;
  }
  LimitSilence(m_internet.get());
  m_connection.reset(::InternetConnectA(m_internet.get(), url.host.c_str(), url.port, nullptr, nullptr,
                                       INTERNET_SERVICE_HTTP, 0, 0));
  if (!m_connection) {
    tell(kConnectError);
    return false;
  }
  if (::InternetAttemptConnect(0) != ERROR_SUCCESS) tell(kConnectError);
  return true;
}

bool HttpUpload::Publish(fw::UniqueInternet request) {
  std::lock_guard<std::mutex> hold(m_lock);
  if (m_aborted.load()) return false;
  m_request = std::move(request);
  return true;
}

template <class Call, class Result>
Result HttpUpload::WithRequest(const Call& call, Result none) const {
  std::lock_guard<std::mutex> hold(m_lock);
  if (m_aborted.load() || !m_request) return none;
  return call(m_request.get());
}

bool HttpUpload::Preflight(const UrlParts& url, const std::vector<std::string>& lines, CorsAnswer* answer,
                           const Tell& tell) {
  if (!Connect(url, tell)) return false;
  constexpr DWORD kPreflightFlags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_COOKIES |
                                    INTERNET_FLAG_NO_AUTH | INTERNET_FLAG_KEEP_CONNECTION;
  const char* acceptTypes[] = {"*/*", nullptr};
  fw::UniqueInternet request(::HttpOpenRequestA(m_connection.get(), "OPTIONS", url.object.c_str(), "HTTP/1.0",
                                                nullptr, acceptTypes,
                                                kPreflightFlags | (url.secure ? INTERNET_FLAG_SECURE : 0), 0));
  if (!request) {
    tell(kRequestHandleError);
    return false;
  }
  LimitSilence(request.get());
  for (const std::string& line : lines) {
    if (!AddHeader(request.get(), line, HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE)) {
      tell(kRequestHeaderError);
      return false;
    }
  }
  if (!Publish(std::move(request))) return false;
  DWORD error = ERROR_INTERNET_OPERATION_CANCELLED;
  const bool answered = WithRequest(
      [&error](HINTERNET asking) {
        if (::HttpSendRequestA(asking, nullptr, 0, nullptr, 0)) return true;
        error = ::GetLastError();
        return false;
      },
      false);
  if (answered) *answer = ReplyCors();
  {
    // The question is over; the upload's own request comes next.
    std::lock_guard<std::mutex> hold(m_lock);
    m_request.reset();
  }
  if (!answered) tell(FormatSendRequestError(error));
  return answered;
}

bool HttpUpload::Open(const UrlParts& url, std::uint64_t contentLength,
                      const std::vector<std::string>& pageHeaders, const Tell& tell) {
  if (!Connect(url, tell)) return false;

  const char* acceptTypes[] = {"*/*", nullptr};
  fw::UniqueInternet request(::HttpOpenRequestA(m_connection.get(), "POST", url.object.c_str(), "HTTP/1.0", nullptr,
                                                acceptTypes,
                                                kRequestFlags | (url.secure ? INTERNET_FLAG_SECURE : 0), 0));
  if (!request) {
    tell(kRequestHandleError);
    return false;
  }
  LimitSilence(request.get());
  if (!AddHeader(request.get(), AcceptHeaderLine(), HTTP_ADDREQ_FLAG_REPLACE | HTTP_ADDREQ_FLAG_ADD)) {
    tell(kRequestHandleError);
    return false;
  }
  if (!AddHeader(request.get(), ContentTypeHeaderLine(), HTTP_ADDREQ_FLAG_ADD_IF_NEW))
    tell(kRequestHeaderError);
  if (!AddHeader(request.get(), ContentLengthHeaderLine(contentLength), HTTP_ADDREQ_FLAG_ADD_IF_NEW))
    tell(kRequestHeaderError);
  for (const std::string& line : pageHeaders) {
    if (!AddHeader(request.get(), line, HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE))
      tell(kRequestHeaderError);
  }
  // Published only now, so that an Abort meanwhile finds nothing half made;
  // after an Abort there is no request to make.
  return Publish(std::move(request));
}

bool HttpUpload::Begin(std::string& failureText) {
  DWORD error = ERROR_INTERNET_OPERATION_CANCELLED;
  const bool begun = WithRequest(
      [&error](HINTERNET request) {
        INTERNET_BUFFERSA buffers{};
        buffers.dwStructSize = sizeof buffers;
        if (::HttpSendRequestExA(request, &buffers, nullptr, HSR_INITIATE, 0)) return true;
        error = ::GetLastError();
        return false;
      },
      false);
  if (!begun) failureText = FormatSendRequestError(error);
  return begun;
}

bool HttpUpload::Write(const void* data, std::size_t size) {
  const char* next = static_cast<const char*>(data);
  while (size > 0) {
    const DWORD written = WithRequest(
        [next, size](HINTERNET request) {
          DWORD done = 0;
          return ::InternetWriteFile(request, next, static_cast<DWORD>(size), &done) ? done : 0;
        },
        DWORD{0});
    if (written == 0) return false;
    next += written;
    size -= written;
  }
  return true;
}

bool HttpUpload::End() {
  return WithRequest([](HINTERNET request) { return ::HttpEndRequestA(request, nullptr, HSR_INITIATE, 0) != FALSE; },
                     false);
}

namespace {

DWORD StatusOf(HINTERNET request) {
  DWORD status = 0, size = sizeof status;
  if (!::HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) return 0;
  return status;
}

}  // namespace

DWORD HttpUpload::StatusCode() const { return WithRequest(&StatusOf, DWORD{0}); }

CorsAnswer HttpUpload::ReplyCors() const {
  return WithRequest(
      [](HINTERNET request) {
        CorsAnswer answer;
        answer.status = StatusOf(request);
        answer.allowOrigin = HeaderValue(request, "Access-Control-Allow-Origin");
        answer.allowCredentials = HeaderValue(request, "Access-Control-Allow-Credentials");
        answer.allowHeaders = HeaderValue(request, "Access-Control-Allow-Headers");
        return answer;
      },
      CorsAnswer{});
}

std::string HttpUpload::ReplyContentType() const {
  return WithRequest(
      [](HINTERNET request) {
        char value[256] = {};
        DWORD size = sizeof value - 1;
        if (!::HttpQueryInfoA(request, HTTP_QUERY_CONTENT_TYPE, value, &size, nullptr)) return std::string();
        return std::string(value, size);
      },
      std::string());
}

bool HttpUpload::ReadReply(std::size_t limit, std::string* body) const {
  body->clear();
  if (!WithRequest([](HINTERNET) { return true; }, false)) return false;
  char piece[1024];
  while (body->size() < limit) {
    const DWORD got = WithRequest(
        [&piece](HINTERNET request) {
          DWORD read = 0;
          return ::InternetReadFile(request, piece, sizeof piece, &read) ? read : 0;
        },
        DWORD{0});
    if (got == 0) break;
    body->append(piece, got);
  }
  if (body->size() > limit) body->resize(limit);
  return true;
}

void HttpUpload::Abort() {
  m_aborted.store(true);
  // A call holding the request finds it aborted when it returns, and the
  // request is closed by its owner's Close.
  std::unique_lock<std::mutex> hold(m_lock, std::try_to_lock);
  if (hold.owns_lock()) m_request.reset();
}

void HttpUpload::Close() {
  {
    std::lock_guard<std::mutex> hold(m_lock);
    m_request.reset();
  }
  m_connection.reset();
  m_internet.reset();
}

}  // namespace brimlet
