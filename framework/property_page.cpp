#include "framework/property_page.h"

#include <new>

#include "framework/com_object.h"
#include "framework/module.h"
#include "framework/text.h"

namespace fw {

void DDP_PostProcessing(DataExchange&) {}

PropertyPage::PropertyPage(UINT templateId, UINT captionId)
    : templateId_(templateId), captionId_(captionId) {}

PropertyPage::~PropertyPage() = default;

const InterfaceEntry* PropertyPage::InterfaceTable() {
  static const InterfaceEntry table[] = {Entry<PropertyPage, IPropertyPage>(IID_IPropertyPage),
                                         {nullptr, 0}};
  return table;
}

INT_PTR CALLBACK PropertyPage::DialogProc(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG ? TRUE : FALSE;
}

HWND PropertyPage::CreatePageWindow(HWND parent) const {
  return ::CreateDialogParamW(ModuleInstance(), MAKEINTRESOURCEW(templateId_), parent, DialogProc, 0);
}

STDMETHODIMP PropertyPage::SetPageSite(IPropertyPageSite* site) {
  site_ = ComPtr<IPropertyPageSite>(site);
  return S_OK;
}

STDMETHODIMP PropertyPage::Activate(HWND parent, LPCRECT rect, BOOL) {
  if (!rect) return E_POINTER;
  if (window_) return E_UNEXPECTED;
  window_.reset(CreatePageWindow(parent));
  if (!window_) return E_OUTOFMEMORY;
  ::MoveWindow(window_.get(), rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
  DataExchange dx{false, window_.get(), objects_};
  DoDataExchange(dx);
  return S_OK;
}

STDMETHODIMP PropertyPage::Deactivate() {
  window_.reset();
  return S_OK;
}

STDMETHODIMP PropertyPage::GetPageInfo(PROPPAGEINFO* info) {
  if (!info) return E_POINTER;
  // The size is the template's, in this system's dialog units: measured on a
  // hidden instance of the page.
  UniqueWindow measure(CreatePageWindow(::GetDesktopWindow()));
  if (!measure) return E_FAIL;
  RECT bounds{};
  ::GetWindowRect(measure.get(), &bounds);
  wchar_t caption[256] = {};
  const int length = ::LoadStringW(ModuleInstance(), captionId_, caption, 256);
  info->cb = sizeof *info;
  info->pszTitle = CoTaskStringCopy(std::wstring(caption, length > 0 ? length : 0));
  info->size = SIZE{bounds.right - bounds.left, bounds.bottom - bounds.top};
  info->pszDocString = nullptr;
  info->pszHelpFile = nullptr;
  info->dwHelpContext = 0;
  return info->pszTitle ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP PropertyPage::SetObjects(ULONG count, IUnknown** objects) {
  if (count && !objects) return E_POINTER;
  objects_.clear();
  for (ULONG i = 0; i < count; ++i) objects_.emplace_back(objects[i]);
  return S_OK;
}

STDMETHODIMP PropertyPage::Show(UINT command) {
  if (!window_) return E_UNEXPECTED;
  ::ShowWindow(window_.get(), command);
  return S_OK;
}

STDMETHODIMP PropertyPage::Move(LPCRECT rect) {
  if (!rect) return E_POINTER;
  if (!window_) return E_UNEXPECTED;
  ::MoveWindow(window_.get(), rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
  return S_OK;
}

STDMETHODIMP PropertyPage::Apply() {
  DataExchange dx{true, window_.get(), objects_};
  DoDataExchange(dx);
  dirty_ = false;
  return S_OK;
}

STDMETHODIMP PropertyPage::TranslateAccelerator(MSG* message) {
  if (!message) return E_POINTER;
  return window_ && ::IsDialogMessageW(window_.get(), message) ? S_OK : S_FALSE;
}

}  // namespace fw
