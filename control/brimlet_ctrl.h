// The control a page embeds: its properties and their persistence, the
// methods scripts call, the UploadFinish event, and the routing of its window
// messages and menu commands.
#pragma once

#include <windows.h>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "control/file_list_view.h"
#include "framework/command_table.h"
#include "framework/dispatch_table.h"
#include "framework/message_window.h"
#include "framework/ole_control.h"
#include "framework/unique_handle.h"
#include "upload/portable/page_origin.h"
#include "upload/portable/page_request_parts.h"
#include "upload/portable/upload_report.h"

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
  void SetScriptURL(const std::wstring& value);
  std::string GetFilter() const { return m_strFilter; }
  void SetFilter(const std::wstring& value);
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

  // Read-only properties: the list and the last finished upload.
  LONG GetFileCount() const;
  double GetTotalSize() const;
  LONG GetResponseStatus() const { return m_lastResponseStatus; }
  std::wstring GetResponseText() const { return m_lastResponseText; }
  std::wstring GetErrorText() const;

  // Methods.
  void Upload();
  void Remove();
  void RemoveAll();
  void AddFile();
  void SelectFolder();
  void UploadCancel();
  void AddFolder();
  void AboutBox();
  HRESULT FilePath(fw::DispatchCall& call);
  HRESULT FileSize(fw::DispatchCall& call);
  HRESULT SetFormField(fw::DispatchCall& call);
  void ClearFormFields();
  HRESULT SetRequestHeader(fw::DispatchCall& call);

  // The file list (rows, titles, counters).
  void ResetFileList();
  void RefreshListHeader();

 protected:
  void DoPropExchange(fw::PropExchange& px) override;
  void OnClientSiteSet(IOleClientSite* site) override;
  bool PageAllowed() const override { return m_pageStanding.allowed; }
  void OnDraw(HDC dc, const RECT& bounds) override;
  int OnCreate(const CREATESTRUCTA& create) override;
  void OnDestroy() override;
  bool OnContextMenu(HWND window, POINT point) override;
  bool OnCommand(UINT id, UINT code, HWND control) override;
  bool OnInitMenuPopup(HMENU menu, UINT position, bool windowMenu) override;

 private:
  class ListAdmission;
  static const fw::DispatchMember<CBrimletCtrl> kDispatchTable[26];
  static const fw::CommandEntry<CBrimletCtrl> kCommandTable[8];

  template <class T>
  void SetBound(T& member, const T& value, DISPID id);
  struct RunningUpload;
  // What the uploads post to the message window.
  std::optional<LRESULT> OnUploadMessage(UINT message, WPARAM upload);
  LRESULT OnUploadFinished(WPARAM upload);
  LRESULT OnUploadProgress(WPARAM upload);
  RunningUpload* FindRunningUpload(WPARAM upload);
  // Removes the rows an upload took (their ids, ascending) and no other.
  void RemoveUploadedRows(const std::vector<std::uint64_t>& taken);
  // Sets what the page reads of the last finished upload, then tells it.
  void FinishUpload(bool success, const brimlet::UploadReport& report);
  void FireUploadFinish(bool success);
  // Rows in the file list; a control without a window has none.
  int FileListRowCount() const;
  void CancelRunningUploads();
  void CreateFileList(int width, int height);
  void InsertFile(const std::wstring& path, DWORD size);
  // Tells the page the list has `FileCount` rows now, unless it had as many.
  void NotifyFilesChanged(int rowsBefore);
  // The list row a page's index names, or a refusal.
  bool RowOfIndex(fw::DispatchCall& call, const char* member, int* row) const;
  void ShowAddedTitles();

  // Context menu: the view modes and the update rules.
  void OnViewLargeIcons();
  void OnViewSmallIcons();
  void OnViewList();
  void OnViewDetails();
  void OnUpdateDeleteSelected(fw::CommandUI& ui);
  void OnUpdateDeleteAll(fw::CommandUI& ui);
  void OnUpdateViewMode(fw::CommandUI& ui);

  UINT m_nFileCount = 0;
  DWORD m_dwTotalSize = 0;
  // The list window with its two image lists (large 32x32, small 16x16),
  // made when the control's window is created and destroyed with it.
  brimlet::FileListView m_wndFileList;
  LONG m_lMaxFileCount = 0;
  LONG m_lMaxFileSize = 0;
  LONG m_lMaxTotalSize = 0;
  BOOL m_bServerResponse = FALSE;
  std::string m_strScriptURL;
  // False while ScriptURL holds a character the code page lacks: it reads
  // back as converted, but no upload goes to the address it now spells.
  bool m_bScriptURLFits = true;
  std::string m_strFilter;
  // The filter as the page gave it, while it holds a character the code
  // page lacks (m_strFilter then reads '?' there).
  std::optional<std::wstring> m_wstrFilterGiven;
  // Nothing consults these two; they read back the last value a page set.
  BOOL m_bShowProgress = TRUE;
  BOOL m_bEnablePopupMenu = TRUE;
  // This control's uploads still running, by number (never given twice in
  // the process), in the order they started. Each is recorded, with its
  // cancel handle, before anything can run the page's messages. The
  // control never touches a worker: it only signals the cancel events, as
  // a confirmed cancel in the dialog does, and reads the reports the
  // workers fill.
  struct RunningUpload {
    WPARAM number;
    fw::UniqueHandle cancel;
    std::shared_ptr<brimlet::UploadReport> report;
    std::vector<std::uint64_t> rows;  // the ids of the rows it took, ascending
    std::uint64_t progressFired = 0;  // body bytes the page last heard of
  };
  std::vector<RunningUpload> m_runningUploads;
  // What the page added to its uploads: not persisted, kept across uploads.
  brimlet::NamedValues m_formFields{&brimlet::SameFieldName};
  brimlet::NamedValues m_requestHeaders{&brimlet::SameHeaderName};
  // The page the control sits in, learned when its site is set: its origin
  // (nothing when the container gave no address) and what the deployer's
  // site lock lets it do.
  std::optional<std::string> m_strPageOrigin;
  brimlet::PageStanding m_pageStanding;
  // The last finished upload, as the page reads it.
  LONG m_lastResponseStatus = 0;
  std::wstring m_lastResponseText;
  std::string m_lastErrorText;
  // Where the uploads report: made at the first upload and kept for the
  // control's whole life, whatever the container does with the control's
  // window meanwhile. Declared last: it goes first, so no report reaches
  // a control being taken apart.
  fw::MessageWindow m_wndUploads;
};
