// Runs an HTML page the way a browser runs it for the control: every
// <object> created by its classid in one page window, loaded from its
// <param> values as text, sited and activated at its size; then the page's
// JScript blocks in the system's JScript engine, with each object under its
// id and a small window object (see page_window.h) as the global one.
//
// The page stays alive after loading, so a test can click its buttons, run
// snippets, answer the control's dialogs and pump messages until the page
// closes itself. Every script error is kept with its page line; a page with
// errors is not ok().
//
// COM must be initialised on the calling thread with OleInitialize; the
// host is used and destroyed on that thread.
#pragma once

#include <windows.h>
#include <activscp.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "container/hosted_control.h"
#include "container/page_window.h"
#include "container/portable/page_scanner.h"
#include "container/script_site.h"
#include "container/scripted_control.h"
#include "container/variant.h"
#include "framework/com_ptr.h"
#include "framework/unique_handle.h"

namespace container {

// The caption of the message box alert() shows.
extern const wchar_t kAlertCaption[];

struct PageOptions {
  // {{NAME}} in the page becomes the value of NAME (UTF-8) before the page
  // is read. SERVER names the receiver a page's ScriptURL points at.
  std::map<std::string, std::string> defines = {{"SERVER", "http://127.0.0.1:8080"}};
  // What window.location reads until the page navigates.
  std::wstring location = L"about:blank";
  // false: alert() is only written to the transcript, no box is shown.
  bool showAlerts = true;
  // Writing past this many characters fails the script that writes: a page
  // that writes in an endless loop ends with an error instead of taking all
  // memory.
  size_t maxTranscript = 16u << 20;
};

struct PageError {
  int line = 0;            // 1-based; 0 when nothing tells where
  bool inSnippet = false;  // the line counts in a snippet run by the host, not the page
  std::wstring message;
};

// "page line 12: 'x' is undefined", "snippet line 1: ...", "page: ...".
std::wstring DescribeError(const PageError& error);

class PageHost : private PageServices {
  struct Token {
    explicit Token() = default;
  };

 public:
  // The page's bytes, UTF-8 (with or without a byte order mark) or CP949.
  static std::unique_ptr<PageHost> Load(const std::string& bytes, const PageOptions& options = {});
  // Reads the file first; nullptr when it cannot be read (*error says why).
  static std::unique_ptr<PageHost> LoadFile(const std::wstring& path, const PageOptions& options,
                                            std::wstring* error);

  explicit PageHost(Token, const PageOptions& options);
  PageHost(const PageHost&) = delete;
  PageHost& operator=(const PageHost&) = delete;
  // Closes the script engine first, so no script runs against a control
  // that is going, then the controls, then the page window.
  ~PageHost();

  bool ok() const { return errors_.empty(); }
  const std::vector<PageError>& errors() const { return errors_; }
  // What the page reader had to skip (UTF-8), e.g. a VBScript block.
  const std::vector<std::string>& notes() const { return page_.problems; }
  // document.write text and log lines as the page wrote them, alerts as
  // "[alert] text" lines, navigations as "[navigate] url" lines.
  const std::wstring& transcript() const { return transcript_; }
  const std::vector<std::wstring>& navigations() const { return navigations_; }
  // Whether the page called window.close(), navigated away, or the user
  // closed its window.
  bool finished() const { return closeRequested_ || !navigations_.empty(); }
  HWND window() const { return window_.get(); }
  const page::Page& page() const { return page_; }

  // The control of the page's object with this id; nullptr when there is
  // none or it could not be created.
  HostedControl* Control(const std::wstring& id) const;
  // How many event handlers the page has bound on that object.
  size_t HandlerCount(const std::wstring& id) const;

  // Runs statements as the page's own code would run them; errors are kept
  // as snippet errors. The result is the engine's.
  HRESULT Run(const std::wstring& code);
  // Evaluates an expression into *result.
  HRESULT Evaluate(const std::wstring& expression, Variant* result);
  // Runs the onclick of the button with this id or label, as a click would;
  // HRESULT_FROM_WIN32(ERROR_NOT_FOUND) when the page has no such button.
  HRESULT Click(const std::wstring& idOrLabel);

  // Pumps this thread's messages (keystrokes to the active control first)
  // until finished() or timeoutMs; whether the page finished.
  bool PumpUntilFinished(DWORD timeoutMs);
  void PumpFor(DWORD timeoutMs);

 private:
  struct Embedded {
    std::wstring id;
    int line = 0;
    std::unique_ptr<HostedControl> control;
    fw::ComPtr<ScriptedControl> scripted;
  };

  void Open(const std::string& bytes);
  void CreatePageWindow();
  void CreateControls();
  void StartEngine();
  void RunPageScripts();
  HRESULT RunCode(const std::wstring& code, DWORD context, int firstLine, DWORD flags,
                  VARIANT* result);
  void AddError(int line, bool inSnippet, std::wstring message);
  void ReportOverflow(int line, bool inSnippet);
  void OnScriptError(const ScriptErrorInfo& info);
  void OnHandlerFailure(const std::wstring& id, const std::wstring& event,
                        const std::wstring& what);
  bool TranslateForControls(MSG& message);

  // PageServices
  HRESULT Write(const std::wstring& text) override;
  void Alert(const std::wstring& text) override;
  void Close() override;
  void Navigate(const std::wstring& url) override;
  std::wstring Location() const override { return location_; }
  std::wstring Title() const override { return title_; }

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  PageOptions options_;
  page::Page page_;
  std::wstring title_;
  std::wstring location_;
  std::wstring transcript_;
  std::vector<std::wstring> navigations_;
  std::vector<PageError> errors_;
  bool closeRequested_ = false;
  enum class Overflow { None, Pending, Reported };
  Overflow overflow_ = Overflow::None;  // of the transcript
  // The code being run, for errors the engine gives no position for.
  int runningLine_ = 0;  // its first line
  bool runningSnippet_ = false;
  const std::wstring* runningCode_ = nullptr;
  bool handlerFailureReported_ = false;

  // Destroyed in reverse: the engine goes before the controls, the controls
  // before the window they live in.
  fw::UniqueWindow window_;
  std::vector<Embedded> embedded_;
  fw::ComPtr<PageWindow> windowObject_;
  fw::ComPtr<ScriptSite> site_;
  fw::ComPtr<IActiveScript> engine_;
  fw::ComPtr<IActiveScriptParse> parser_;
};

}  // namespace container
