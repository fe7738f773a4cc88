#include "tests/drivers/picker_answers.h"

#include <commctrl.h>
#include <shlobj.h>

#include <memory>

#include "framework/text.h"

namespace drivers {
namespace {

constexpr int kFileNameCombo = 1148;
constexpr UINT kPressTimeoutMs = 3000;
// Rounds of the watcher (50 ms each) that a picker may stay open after its
// script has run out before it is cancelled, so that no scenario hangs.
constexpr int kPatienceRounds = 100;

BOOL CALLBACK FindTree(HWND child, LPARAM found) {
  if (ClassNameOf(child) == WC_TREEVIEWA) {
    *reinterpret_cast<bool*>(found) = true;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK FindTreeWindow(HWND child, LPARAM found) {
  if (ClassNameOf(child) != WC_TREEVIEWA) return TRUE;
  *reinterpret_cast<HWND*>(found) = child;
  return FALSE;
}

// The Edit inside the ComboBox inside the ComboBoxEx32 of the name field.
HWND FileNameEdit(HWND dialog) {
  HWND combo = ::GetDlgItem(dialog, kFileNameCombo);
  if (!combo) return nullptr;
  if (HWND inner = ::FindWindowExA(combo, nullptr, "ComboBox", nullptr)) {
    if (HWND edit = ::FindWindowExA(inner, nullptr, "Edit", nullptr)) return edit;
  }
  return ::FindWindowExA(combo, nullptr, "Edit", nullptr);
}

// Sent, not posted: a text typed next must not overtake this press. The wait
// is bounded because a press that opens a message box does not return.
void Press(HWND dialog, int id) {
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                        reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)), SMTO_NORMAL,
                        kPressTimeoutMs, &ignored);
}

}  // namespace

bool IsOpenFileDialog(HWND dialog) { return FileNameEdit(dialog) != nullptr; }

bool IsFolderBrowser(HWND dialog) {
  bool found = false;
  ::EnumChildWindows(dialog, FindTree, reinterpret_cast<LPARAM>(&found));
  return found;
}

bool TypeAndConfirm(HWND openDialog, const std::wstring& text) {
  HWND edit = FileNameEdit(openDialog);
  if (!edit) return false;
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL,
                        kPressTimeoutMs, &ignored);
  Press(openDialog, IDOK);
  return true;
}

// The text of the tree item the browser has selected.
std::string SelectedTreeText(HWND browser) {
  HWND tree = nullptr;
  ::EnumChildWindows(browser, FindTreeWindow, reinterpret_cast<LPARAM>(&tree));
  if (!tree) return {};
  DWORD_PTR item = 0;
  if (!::SendMessageTimeoutA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0, SMTO_NORMAL, kPressTimeoutMs, &item) ||
      !item) {
    return {};
  }
  // Same process: the tree writes straight into this buffer.
  static char text[MAX_PATH];
  static TVITEMA request;
  request = TVITEMA{};
  text[0] = '\0';
  request.mask = TVIF_TEXT;
  request.hItem = reinterpret_cast<HTREEITEM>(item);
  request.pszText = text;
  request.cchTextMax = sizeof text;
  DWORD_PTR ok = 0;
  ::SendMessageTimeoutA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&request), SMTO_NORMAL,
                        kPressTimeoutMs, &ok);
  return ok ? std::string(text) : std::string();
}

// What the tree shows for `folder`: its last name, or "X:" for a drive root.
std::string ShownName(const std::string& folder) {
  std::string path = folder;
  while (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  const auto slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool SelectFolderAndConfirm(HWND browser, const std::string& folder) {
  if (!IsFolderBrowser(browser)) return false;
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(folder.c_str()),
                        SMTO_NORMAL, kPressTimeoutMs, &ignored);
  // Confirmed only once the tree shows the folder selected; otherwise the
  // caller tries again next round.
  if (SelectedTreeText(browser).find(ShownName(folder)) == std::string::npos) return false;
  Press(browser, IDOK);
  return true;
}

DialogWatcher::Answer AnswerPickers(PickerScript script,
                                    std::function<void(const DialogSeen&)> onOther) {
  struct State {
    PickerScript script;
    size_t typed = 0;
    bool folderChosen = false;
    int browserRounds = 0;
    int idleRounds = 0;
  };
  auto state = std::make_shared<State>();
  state->script = std::move(script);
  return [state, onOther](const DialogSeen& dialog) -> int {
    const bool openDialog = IsOpenFileDialog(dialog.window);
    const bool browser = !openDialog && IsFolderBrowser(dialog.window);
    if (!openDialog && !browser) {
      if (onOther) onOther(dialog);
      return IDOK;
    }
    if (state->script.cancel) return IDCANCEL;
    if (openDialog && state->typed < state->script.fileEntries.size()) {
      const std::string& entry = state->script.fileEntries[state->typed++];
      TypeAndConfirm(dialog.window, fw::WideFromNarrow(entry, state->script.utf8 ? CP_UTF8 : CP_ACP));
      return 0;  // asked again next round, for the next entry or to wait
    }
    // The browser settles on its initial folder as it opens: the user's
    // choice comes a round later, and again until the tree shows it.
    if (browser && !state->folderChosen && !state->script.folder.empty() &&
        ++state->browserRounds > 1 && state->browserRounds < kPatienceRounds) {
      state->folderChosen = SelectFolderAndConfirm(dialog.window, state->script.folder);
      return 0;
    }
    return ++state->idleRounds > kPatienceRounds ? IDCANCEL : 0;
  };
}

}  // namespace drivers
