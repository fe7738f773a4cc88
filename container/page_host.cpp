#include "container/page_host.h"

#include <algorithm>
#include <utility>

#include "container/com_errors.h"
#include "container/portable/page_text.h"
#include "container/property_bag.h"
#include "framework/message_drain.h"
#include "framework/module.h"
#include "framework/text.h"
#include "framework/window_class.h"

namespace container {

const wchar_t kAlertCaption[] = L"Message from the page";

namespace {

const wchar_t kWindowClass[] = L"BrimletPageWindow";
// JScript's class identifier; no SDK header of the cross compiler names it.
const CLSID kJScript = {0xf414c260, 0x6ac0, 0x11cf, {0xb6, 0xd1, 0x00, 0xaa, 0x00, 0xbb, 0xbb, 0x58}};

// Source context cookies: the page's own code, or a snippet the host runs.
constexpr DWORD kPageCode = 1;
constexpr DWORD kSnippetCode = 2;

constexpr int kMargin = 8;
// A browser's size for an object that gives none.
constexpr int kDefaultWidth = 400, kDefaultHeight = 200;

std::wstring FromUtf8(const std::string& text) { return fw::WideFromNarrow(text, CP_UTF8); }
std::string ToUtf8(const std::wstring& text) {
  return fw::NarrowFromWide(text.data(), text.size(), CP_UTF8);
}



}  // namespace

std::wstring DescribeError(const PageError& error) {
  std::wstring where = error.inSnippet ? L"snippet" : L"page";
  if (error.line > 0) where += L" line " + std::to_wstring(error.line);
  return where + L": " + error.message;
}

PageHost::PageHost(Token, const PageOptions& options)
    : options_(options), location_(options.location) {}

std::unique_ptr<PageHost> PageHost::Load(const std::string& bytes, const PageOptions& options) {
  auto host = std::make_unique<PageHost>(Token{}, options);
  host->Open(bytes);
  return host;
}

std::unique_ptr<PageHost> PageHost::LoadFile(const std::wstring& path, const PageOptions& options,
                                             std::wstring* error) {
  fw::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file || !::GetFileSizeEx(file.get(), &size)) {
    if (error) {
      *error = L"cannot read " + path + L" (" + HexCode(HRESULT_FROM_WIN32(::GetLastError())) + L")";
    }
    return nullptr;
  }
  // Pages are small; a file of more than 64 MiB is no page.
  if (size.QuadPart > (64 << 20)) {
    if (error) *error = path + L" is too large to be a page";
    return nullptr;
  }
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!bytes.empty() &&
      (!::ReadFile(file.get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr) ||
       read != bytes.size())) {
    if (error) *error = L"cannot read " + path;
    return nullptr;
  }
  return Load(bytes, options);
}

void PageHost::Open(const std::string& bytes) {
  const page::PageEncoding encoding = page::DetectEncoding(bytes);
  const std::string_view body = page::WithoutUtf8Bom(bytes);
  const std::string utf8 =
      encoding == page::PageEncoding::Utf8
          ? std::string(body)
          : ToUtf8(fw::WideFromNarrow(std::string(body), 949));
  std::vector<std::string> missing;
  const std::string text = page::SubstitutePlaceholders(utf8, options_.defines, &missing);
  for (const std::string& name : missing) {
    AddError(0, false, L"{{" + FromUtf8(name) + L"}} has no value to put in its place");
  }
  page_ = page::ScanPage(text);
  title_ = page_.title.empty() ? L"Brimlet page" : FromUtf8(page_.title);

  CreatePageWindow();
  if (!window_) return;
  CreateControls();
  StartEngine();
  if (engine_) RunPageScripts();
}

LRESULT CALLBACK PageHost::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* host = reinterpret_cast<PageHost*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_NCDESTROY) ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  // Closing the window ends the page as window.close() does; the host
  // destroys the window itself, after the controls in it.
  if (message == WM_CLOSE) {
    if (host) host->closeRequested_ = true;
    return 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

void PageHost::CreatePageWindow() {
  if (!fw::RegisterWindowClassOnce(kWindowClass, &PageHost::WindowProc, 0, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1))) {
    AddError(0, false, L"the page window class could not be registered");
    return;
  }
  int width = 320, height = kMargin;
  for (const auto& object : page_.objects) {
    width = std::max(width, (object.width >= 0 ? object.width : kDefaultWidth) + 2 * kMargin);
    height += (object.height >= 0 ? object.height : kDefaultHeight) + kMargin;
  }
  height = std::max(height, 120);
  const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  RECT frame{0, 0, width, height};
  ::AdjustWindowRectEx(&frame, style, FALSE, 0);
  window_.reset(::CreateWindowExW(0, kWindowClass, title_.c_str(), style, CW_USEDEFAULT,
                                  CW_USEDEFAULT, frame.right - frame.left,
                                  frame.bottom - frame.top, nullptr, nullptr,
                                  fw::ModuleInstance(), this));
  if (!window_) {
    AddError(0, false, L"the page window could not be created (" +
                           HexCode(HRESULT_FROM_WIN32(::GetLastError())) + L")");
    return;
  }
  ::ShowWindow(window_.get(), SW_SHOWNORMAL);
  ::UpdateWindow(window_.get());
}

void PageHost::CreateControls() {
  int y = kMargin;
  for (const auto& object : page_.objects) {
    Embedded embedded;
    embedded.id = FromUtf8(object.id);
    embedded.line = object.line;
    HostOptions options;
    options.parent = window_.get();
    options.x = kMargin;
    options.y = y;
    options.width = object.width >= 0 ? object.width : kDefaultWidth;
    options.height = object.height >= 0 ? object.height : kDefaultHeight;
    y += options.height + kMargin;
    const std::wstring name = embedded.id.empty() ? L"<object>" : L"object '" + embedded.id + L"'";
    if (object.classId.empty()) {
      AddError(object.line, false, name + L" names no class to create (classid=\"clsid:...\")");
      embedded_.push_back(std::move(embedded));
      continue;
    }
    options.clsid = FromUtf8(object.classId);
    // A browser hands every <param> over as text and lets the control
    // convert it; without any it starts the control afresh.
    if (!object.params.empty()) {
      std::vector<std::pair<std::wstring, std::wstring>> params;
      for (const auto& param : object.params) {
        params.emplace_back(FromUtf8(param.name), FromUtf8(param.value));
      }
      options.init = Initialise::PropertyBag;
      options.bag = fw::ComPtr<IPropertyBag>(MemoryPropertyBag::FromParams(params).get());
    }
    HRESULT hr = S_OK;
    embedded.control = HostedControl::Create(options, &hr);
    if (!embedded.control) {
      AddError(object.line, false,
               name + L" could not be created (" + HexCode(hr) + L"): is its class registered?");
    } else if (FAILED(hr)) {
      AddError(object.line, false, name + L" failed to load or activate (" + HexCode(hr) + L")");
    }
    if (embedded.control) {
      ::ShowWindow(embedded.control->hostWindow(), SW_SHOWNA);
      const std::wstring id = embedded.id;
      embedded.scripted = ScriptedControl::Wrap(
          embedded.control->unknown(),
          [this, id](const std::wstring& event, const std::wstring& what) {
            OnHandlerFailure(id, event, what);
          });
    }
    embedded_.push_back(std::move(embedded));
  }
}

void PageHost::StartEngine() {
  HRESULT hr = ::CoCreateInstance(kJScript, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript,
                                  engine_.put_void());
  if (FAILED(hr)) {
    AddError(0, false, L"the JScript engine could not be created (" + HexCode(hr) + L")");
    engine_.reset();
    return;
  }
  site_ = ScriptSite::Create(window_.get(),
                             [this](const ScriptErrorInfo& info) { OnScriptError(info); });
  windowObject_ = PageWindow::Create(static_cast<PageServices*>(this));
  if (!site_ || !windowObject_) {
    engine_.reset();
    AddError(0, false, L"out of memory starting the script engine");
    return;
  }
  parser_ = engine_.As<IActiveScriptParse>(__uuidof(IActiveScriptParse));
  if (!parser_) {
    AddError(0, false, L"the JScript engine cannot parse script text");
    engine_.reset();
    return;
  }
  hr = engine_->SetScriptSite(site_.get());
  if (SUCCEEDED(hr)) hr = parser_->InitNew();
  if (FAILED(hr)) {
    AddError(0, false, L"the JScript engine refused its site (" + HexCode(hr) + L")");
    engine_.reset();
    parser_.reset();
    return;
  }
  site_->AddItem(L"window", static_cast<IDispatch*>(windowObject_.get()), nullptr);
  engine_->AddNamedItem(L"window", SCRIPTITEM_ISVISIBLE | SCRIPTITEM_GLOBALMEMBERS);
  for (const auto& embedded : embedded_) {
    if (embedded.id.empty() || !embedded.scripted) continue;
    site_->AddItem(embedded.id, static_cast<IDispatch*>(embedded.scripted.get()),
                   embedded.scripted->classInfo());
    hr = engine_->AddNamedItem(embedded.id.c_str(), SCRIPTITEM_ISVISIBLE | SCRIPTITEM_ISSOURCE);
    if (FAILED(hr)) {
      AddError(embedded.line, false,
               L"object '" + embedded.id + L"' could not be given to the script (" + HexCode(hr) +
                   L")");
    }
  }
  // Connected: each block runs as it is parsed, in page order, as a
  // browser runs them while it reads the page.
  hr = engine_->SetScriptState(SCRIPTSTATE_CONNECTED);
  if (FAILED(hr)) AddError(0, false, L"the JScript engine did not start (" + HexCode(hr) + L")");
}

void PageHost::RunPageScripts() {
  for (const auto& block : page_.scripts) {
    RunCode(FromUtf8(block.code), kPageCode, block.line, SCRIPTTEXT_ISVISIBLE, nullptr);
  }
  if (!page_.onload.empty()) {
    RunCode(FromUtf8(page_.onload), kPageCode, page_.onloadLine, SCRIPTTEXT_ISVISIBLE, nullptr);
  }
}

HRESULT PageHost::RunCode(const std::wstring& code, DWORD context, int firstLine, DWORD flags,
                          VARIANT* result) {
  if (!parser_) return E_UNEXPECTED;
  const size_t before = errors_.size();
  const size_t reportedBefore = site_ ? site_->errorCount() : 0;
  const int outerLine = runningLine_;
  const bool outerSnippet = runningSnippet_;
  const std::wstring* outerCode = runningCode_;
  runningCode_ = &code;
  handlerFailureReported_ = false;
  runningLine_ = firstLine;
  runningSnippet_ = context == kSnippetCode;
  OwnedExcepInfo exception;
  const HRESULT hr = parser_->ParseScriptText(
      code.c_str(), nullptr, nullptr, nullptr, context, static_cast<ULONG>(std::max(firstLine - 1, 0)),
      flags, result, &exception.info);
  if (overflow_ == Overflow::Pending) ReportOverflow(firstLine, context == kSnippetCode);
  const bool reported = hr == static_cast<HRESULT>(SCRIPT_E_REPORTED) ||
                        (site_ && site_->errorCount() != reportedBefore);
  if (FAILED(hr) && !reported && errors_.size() == before) {
    // The engine said nothing through the site: still never a silent failure.
    if (exception.info.pfnDeferredFillIn) exception.info.pfnDeferredFillIn(&exception.info);
    std::wstring what = exception.info.bstrDescription ? exception.info.bstrDescription : L"";
    if (what.empty()) what = L"the code failed (" + HexCode(hr) + L")";
    AddError(firstLine, context == kSnippetCode, what);
  }
  runningLine_ = outerLine;
  runningSnippet_ = outerSnippet;
  runningCode_ = outerCode;
  handlerFailureReported_ = false;
  return hr;
}

void PageHost::OnScriptError(const ScriptErrorInfo& info) {
  if (info.description.empty() && std::exchange(handlerFailureReported_, false)) return;
  if (overflow_ != Overflow::None && info.code == E_OUTOFMEMORY) {
    // Every write after the transcript is full fails; it is said once.
    if (overflow_ == Overflow::Reported) return;
    ReportOverflow(info.positioned ? static_cast<int>(info.line) + 1 : runningLine_,
                   info.context == kSnippetCode);
    return;
  }
  std::wstring message = info.description;
  if (message.empty()) message = L"script error " + HexCode(info.code);
  if (info.positioned) {
    AddError(static_cast<int>(info.line) + 1, info.context == kSnippetCode, message);
  } else {
    AddError(runningLine_, runningSnippet_, message);
  }
}

void PageHost::OnHandlerFailure(const std::wstring& id, const std::wstring& event,
                                const std::wstring& what) {
  const std::wstring name = id + L"::" + event;
  // A handler the engine could not bind is named in the code being run: the
  // error goes on the line of its declaration.
  int line = runningLine_;
  const size_t at = runningCode_ ? runningCode_->find(name) : std::wstring::npos;
  if (at != std::wstring::npos) {
    line += static_cast<int>(std::count(runningCode_->begin(), runningCode_->begin() + at, L'\n'));
  }
  AddError(line, runningSnippet_, name + L": " + what);
  // The engine reports the same failure once more, with nothing to add.
  handlerFailureReported_ = true;
}

void PageHost::ReportOverflow(int line, bool inSnippet) {
  overflow_ = Overflow::Reported;
  AddError(line, inSnippet,
           L"the page wrote more than " + std::to_wstring(options_.maxTranscript) +
               L" characters; the rest is not kept");
}

void PageHost::AddError(int line, bool inSnippet, std::wstring message) {
  errors_.push_back(PageError{line, inSnippet, std::move(message)});
}

PageHost::~PageHost() {
  if (engine_) engine_->Close();
  parser_.reset();
  engine_.reset();
  if (site_) site_->Clear();
  if (windowObject_) windowObject_->DetachAll();
  for (auto& embedded : embedded_) {
    if (embedded.scripted) embedded.scripted->Disconnect();
  }
  // The controls go in reverse page order, before the window they are in.
  while (!embedded_.empty()) embedded_.pop_back();
}

HostedControl* PageHost::Control(const std::wstring& id) const {
  for (const auto& embedded : embedded_) {
    if (embedded.id == id) return embedded.control.get();
  }
  return nullptr;
}

size_t PageHost::HandlerCount(const std::wstring& id) const {
  for (const auto& embedded : embedded_) {
    if (embedded.id == id && embedded.scripted) return embedded.scripted->handlerCount();
  }
  return 0;
}

HRESULT PageHost::Run(const std::wstring& code) {
  return RunCode(code, kSnippetCode, 1, SCRIPTTEXT_ISVISIBLE, nullptr);
}

HRESULT PageHost::Evaluate(const std::wstring& expression, Variant* result) {
  if (!result) return E_POINTER;
  result->Clear();
  return RunCode(expression, kSnippetCode, 1, SCRIPTTEXT_ISEXPRESSION, result->get());
}

HRESULT PageHost::Click(const std::wstring& idOrLabel) {
  for (const auto& button : page_.buttons) {
    if (FromUtf8(button.id) == idOrLabel || FromUtf8(button.label) == idOrLabel) {
      return RunCode(FromUtf8(button.onclick), kPageCode, button.line, SCRIPTTEXT_ISVISIBLE,
                     nullptr);
    }
  }
  return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
}

bool PageHost::TranslateForControls(MSG& message) {
  for (const auto& embedded : embedded_) {
    if (embedded.control && embedded.control->TranslateAccelerator(message)) return true;
  }
  return false;
}

bool PageHost::PumpUntilFinished(DWORD timeoutMs) {
  return fw::PumpUntil([this] { return finished(); }, timeoutMs,
                   [this](MSG& message) { return TranslateForControls(message); });
}

void PageHost::PumpFor(DWORD timeoutMs) {
  fw::PumpFor(timeoutMs, [this](MSG& message) { return TranslateForControls(message); });
}

HRESULT PageHost::Write(const std::wstring& text) {
  if (text.size() > options_.maxTranscript - std::min(options_.maxTranscript, transcript_.size())) {
    // Said once, by the engine's report of the failed write, which knows
    // the line; or at the end of the code, if the engine says nothing.
    if (overflow_ == Overflow::None) overflow_ = Overflow::Pending;
    return E_OUTOFMEMORY;
  }
  transcript_ += text;
  return S_OK;
}

void PageHost::Alert(const std::wstring& text) {
  Write(L"[alert] " + text + L"\n");
  if (options_.showAlerts) {
    ::MessageBoxW(window_.get(), text.c_str(), kAlertCaption, MB_OK | MB_ICONEXCLAMATION);
  }
}

void PageHost::Close() { closeRequested_ = true; }

void PageHost::Navigate(const std::wstring& url) {
  // The host stays on the page, so a test can still read it; the page's
  // run is over all the same (finished()).
  navigations_.push_back(url);
  location_ = url;
  Write(L"[navigate] " + url + L"\n");
}

}  // namespace container
