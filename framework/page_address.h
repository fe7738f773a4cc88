// The address of the page a control sits in, as a browser tells it to the
// controls on the page.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <optional>
#include <string>

namespace fw {

// Asks the site's browser (IServiceProvider, SID_SWebBrowserApp,
// IWebBrowser2::get_LocationURL), then the site's moniker for its document
// (GetMoniker(OLEGETMONIKER_ONLYIFTHERE, OLEWHICHMK_CONTAINER) and its display
// name). Nothing when neither gives an address: the container is no browser.
std::optional<std::wstring> PageAddressOf(IOleClientSite* site);

}  // namespace fw
