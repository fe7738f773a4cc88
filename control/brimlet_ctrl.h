// The control a page embeds: its properties and their persistence, the
// methods scripts call, the UploadFinish event, and the routing of its window
// messages and menu commands.
#pragma once

#include <windows.h>
#include <string>
#include <utility>
#include <vector>

#include "framework/dispatch_table.h"
#include "framework/ole_control.h"
#include "framework/unique_handle.h"

class CBrimletCtrl final : public fw::OleControl {
 public:
  CBrimletCtrl();
  ~CBrimletCtrl() override;

  static const fw::ControlClassInfo& ClassInfo();

  // IDispatch, answered from the control's dispatch table.
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

  // Properties.
  std::string GetScriptURL() const { return m_strScriptURL; }
  void SetScriptURL(const std::string& value);
  std::string GetFilter() const { return m_strFilter; }
  void SetFilter(const std::string& value);
  LONG GetMaxFileSize() const { return m_lMaxFileSize; }
  void SetMaxFileSize(LONG value);
  LONG GetMaxTotalSize() const { return m_lMaxTotalSize; }
  void SetMaxTotalSize(LONG value);
  LONG GetMaxFileCount() const { return m_lMaxFileCount; }
  void SetMaxFileCount(LONG value);
  BOOL GetShowProgress() const { return m_bShowProgress; }
  void SetShowProgress(BOOL value);
  BOOL GetEnablePopupMenu() const { return m_bEnablePopupMenu; }
  void SetEnablePopupMenu(BOOL value);
  BOOL GetServerResponse() const { return m_bServerResponse; }
  void SetServerResponse(BOOL value);

  // Methods.
  void Upload();
  void Remove();
  void RemoveAll();
  void AddFile();
  void SelectFolder();
  void UploadCancel();
  void AddFolder();
  void AboutBox();

 protected:
  void DoPropExchange(fw::PropExchange& px) override;
  void OnDraw(HDC dc, const RECT& bounds) override;
  int OnCreate(const CREATESTRUCTA& create) override;
  std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  static const fw::DispatchMember<CBrimletCtrl> kDispatchTable[16];

  template <class T>
  void SetBound(T& member, const T& value, DISPID id);
  LRESULT OnUploadFinished(WPARAM wParam, LPARAM lParam);
  std::optional<LRESULT> OnCommand(UINT id);
  void FireUploadFinish(bool success);
  // Rows in the file list; a control without a window has none.
  int FileListRowCount() const;
  void ResetFileList();
  std::string RowText(int row, int column) const;
  void CancelRunningUploads();

  UINT m_nFileCount = 0;
  DWORD m_dwTotalSize = 0;
  HWND m_wndFileList = nullptr;  // child of the control's window, destroyed with it
  LONG m_lMaxFileCount = 0;
  LONG m_lMaxFileSize = 0;
  LONG m_lMaxTotalSize = 0;
  BOOL m_bServerResponse = FALSE;
  std::string m_strScriptURL;
  std::string m_strFilter;
  // Nothing consults these two; they read back the last value a page set.
  BOOL m_bShowProgress = TRUE;
  BOOL m_bEnablePopupMenu = TRUE;
  // The cancel events of this control's uploads still running, by worker,
  // in the order they started. The control never touches a worker: it only
  // signals these, as a confirmed cancel in the dialog does.
  std::vector<std::pair<const void*, fw::UniqueHandle>> m_runningUploads;
};
