#include "framework/page_address.h"

#include <exdisp.h>
#include <servprov.h>
#include <shlguid.h>

#include "framework/com_ptr.h"
#include "framework/unique_handle.h"

namespace fw {
namespace {

std::optional<std::wstring> BrowserLocation(IOleClientSite* site) {
  const ComPtr<IServiceProvider> services = ComPtr<IOleClientSite>(site).As<IServiceProvider>(IID_IServiceProvider);
  if (!services) return std::nullopt;
  ComPtr<IWebBrowser2> browser;
  if (FAILED(services->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, browser.put_void())) || !browser)
    return std::nullopt;
  UniqueBstr location;
  if (FAILED(browser->get_LocationURL(location.put())) || ::SysStringLen(location.get()) == 0) return std::nullopt;
  return std::wstring(location.get(), ::SysStringLen(location.get()));
}

std::optional<std::wstring> DocumentMonikerName(IOleClientSite* site) {
  ComPtr<IMoniker> moniker;
  if (FAILED(site->GetMoniker(OLEGETMONIKER_ONLYIFTHERE, OLEWHICHMK_CONTAINER, moniker.put())) || !moniker)
    return std::nullopt;
  ComPtr<IBindCtx> context;
  if (FAILED(::CreateBindCtx(0, context.put()))) return std::nullopt;
  UniqueCoTaskString name;
  if (FAILED(moniker->GetDisplayName(context.get(), nullptr, name.put())) || !name || !*name.get())
    return std::nullopt;
  return std::wstring(name.get());
}

}  // namespace

std::optional<std::wstring> PageAddressOf(IOleClientSite* site) {
  if (!site) return std::nullopt;
  if (auto location = BrowserLocation(site)) return location;
  return DocumentMonikerName(site);
}

}  // namespace fw
