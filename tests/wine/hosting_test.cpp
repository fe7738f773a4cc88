// The control in its container's window: in-place activation, drawing, the
// properties verb with its one empty page, and a real peer container.
#include <windows.h>
#include <olectl.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "brimlet_idl.h"
#include "tests/drivers/dialog_watcher.h"
#include "tests/wine/support/contract_checks.h"
#include "tests/wine/support/scenario.h"

namespace {

const auto* const g_contract = scenario::CheckContractInEveryTest();

using container::Variant;

TEST(Hosting, ActivationCreatesTheControlWindowAsAChildAtTheSiteRectangle) {
  container::HostOptions options;
  options.width = 320;
  options.height = 180;
  auto control = scenario::HostControl(options);
  ASSERT_TRUE(control);
  HWND window = control->controlWindow();
  ASSERT_NE(nullptr, window);
  EXPECT_EQ(control->hostWindow(), ::GetParent(window));
  EXPECT_TRUE(::GetWindowLongA(window, GWL_STYLE) & WS_CHILD);
  EXPECT_TRUE(::IsWindowVisible(window));
  RECT rect{};
  ::GetClientRect(window, &rect);
  EXPECT_EQ(320, rect.right);
  EXPECT_EQ(180, rect.bottom);

  DWORD status = 0;
  auto ole = control->As<IOleObject>(IID_IOleObject);
  ASSERT_EQ(S_OK, ole->GetMiscStatus(DVASPECT_CONTENT, &status));
  EXPECT_EQ(0x00020191u, status);

  auto inPlace = control->As<IOleInPlaceObject>(IID_IOleInPlaceObject);
  ASSERT_EQ(S_OK, inPlace->InPlaceDeactivate());
  EXPECT_FALSE(::IsWindow(window));
  EXPECT_EQ(nullptr, control->controlWindow());
}

TEST(Hosting, DrawingFillsTheGivenBoundsWithWhite) {
  auto control = scenario::HostControl();
  ASSERT_TRUE(control);
  auto view = control->As<IViewObject>(IID_IViewObject);
  ASSERT_TRUE(view);

  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 60, 40);
  ::ReleaseDC(nullptr, screen);
  HGDIOBJ old = ::SelectObject(memory, bitmap);
  RECT all{0, 0, 60, 40};
  ::FillRect(memory, &all, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));

  RECTL bounds{10, 5, 50, 35};
  EXPECT_EQ(S_OK, view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, memory, &bounds,
                             nullptr, nullptr, 0));
  EXPECT_EQ(RGB(255, 255, 255), ::GetPixel(memory, 10, 5));
  EXPECT_EQ(RGB(255, 255, 255), ::GetPixel(memory, 49, 34));
  EXPECT_EQ(RGB(0, 0, 0), ::GetPixel(memory, 9, 5)) << "nothing outside the bounds";
  EXPECT_EQ(RGB(0, 0, 0), ::GetPixel(memory, 50, 35));
  ::SelectObject(memory, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
}

TEST(Hosting, ControlNamesItsOnePropertyPageEveryTimeItIsAsked) {
  auto control = scenario::HostControl();
  ASSERT_TRUE(control);
  auto pages = control->As<ISpecifyPropertyPages>(IID_ISpecifyPropertyPages);
  ASSERT_TRUE(pages);
  CLSID page{};
  ::CLSIDFromString(L"{3822789E-2C74-41A1-9C87-EAFBC9383277}", &page);
  for (int i = 0; i < 2; ++i) {
    CAUUID list{};
    ASSERT_EQ(S_OK, pages->GetPages(&list));
    ASSERT_EQ(1u, list.cElems);
    EXPECT_TRUE(::IsEqualCLSID(page, list.pElems[0]));
    ::CoTaskMemFree(list.pElems);
  }
}

TEST(Hosting, PropertiesVerbShowsOneGeneralTabAndConfirmingItChangesNothing) {
  drivers::DialogWatcher watcher;  // confirms every dialog with OK
  auto control = scenario::HostControl();
  ASSERT_TRUE(control);
  ASSERT_EQ(S_OK, control->Put(L"MaxFileCount", Variant::FromLong(7)));
  control->changes().Clear();

  // Modal: returns once the watcher has confirmed the frame.
  EXPECT_EQ(S_OK, control->DoVerb(OLEIVERB_PROPERTIES));
  ASSERT_TRUE(watcher.WaitFor(1, 5000));
  const auto seen = watcher.Seen();
  ASSERT_EQ(1u, seen.size());
  const auto& texts = seen[0].childTexts;
  EXPECT_EQ(1, std::count(texts.begin(), texts.end(), "General")) << "tabs of the frame";

  Variant count;
  ASSERT_EQ(S_OK, control->Get(L"MaxFileCount", &count));
  EXPECT_EQ(7, count.AsLong());
  EXPECT_TRUE(control->changes().changes().empty());
}

TEST(Hosting, PropertyPageIsEmptyAndApplyingItTouchesNothing) {
  scenario::EnsureRegistered();
  CLSID pageClsid{};
  ::CLSIDFromString(L"{3822789E-2C74-41A1-9C87-EAFBC9383277}", &pageClsid);
  fw::ComPtr<IPropertyPage> page;
  ASSERT_EQ(S_OK, ::CoCreateInstance(pageClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage,
                                     page.put_void()));
  PROPPAGEINFO info{sizeof info};
  ASSERT_EQ(S_OK, page->GetPageInfo(&info));
  EXPECT_STREQ(L"General", info.pszTitle);
  // 250 x 62 dialog units of an 8-point dialog font: wider than tall, non-empty.
  EXPECT_GT(info.size.cx, info.size.cy * 3);
  EXPECT_GT(info.size.cy, 0);
  ::CoTaskMemFree(info.pszTitle);

  auto control = scenario::HostControl();
  ASSERT_TRUE(control);
  IUnknown* objects[] = {control->unknown()};
  ASSERT_EQ(S_OK, page->SetObjects(1, objects));
  RECT rect{0, 0, info.size.cx, info.size.cy};
  ASSERT_EQ(S_OK, page->Activate(control->hostWindow(), &rect, TRUE));
  EXPECT_EQ(S_FALSE, page->IsPageDirty());
  EXPECT_EQ(S_OK, page->Apply());
  EXPECT_EQ(S_OK, page->Deactivate());
  EXPECT_EQ(S_OK, page->SetObjects(0, nullptr));
  EXPECT_TRUE(control->changes().changes().empty());
  EXPECT_EQ(S_FALSE, control->IsDirty());
}

TEST(Hosting, WinesOwnContainerHostsTheControlByProgId) {
  scenario::EnsureRegistered();
  HMODULE atl = ::LoadLibraryA("atl.dll");
  ASSERT_NE(nullptr, atl);
  auto init = scenario::Export<BOOL(WINAPI*)()>(atl, "AtlAxWinInit");
  auto getControl = scenario::Export<HRESULT(WINAPI*)(HWND, IUnknown**)>(atl, "AtlAxGetControl");
  ASSERT_TRUE(init && getControl);
  ASSERT_TRUE(init());
  HWND window = ::CreateWindowExA(0, "AtlAxWin", "BRIMLET.BrimletCtrl.1", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, window);
  fw::ComPtr<IUnknown> unknown;
  ASSERT_EQ(S_OK, getControl(window, unknown.put()));
  auto dispatch = unknown.As<IDispatch>(IID_IDispatch);
  ASSERT_TRUE(dispatch);
  LPOLESTR name[] = {const_cast<LPOLESTR>(L"MaxFileCount")};
  DISPID id = 0;
  ASSERT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, name, 1, 0, &id));
  DISPPARAMS none{};
  VARIANT result;
  ::VariantInit(&result);
  ASSERT_EQ(S_OK, dispatch->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr));
  EXPECT_EQ(VT_I4, result.vt);
  EXPECT_EQ(100, result.lVal);

  auto inPlace = unknown.As<IOleInPlaceObject>(IID_IOleInPlaceObject);
  ASSERT_TRUE(inPlace);
  HWND controlWindow = nullptr;
  EXPECT_EQ(S_OK, inPlace->GetWindow(&controlWindow));
  EXPECT_TRUE(::IsChild(window, controlWindow));
  dispatch.reset();
  inPlace.reset();
  unknown.reset();
  ::DestroyWindow(window);
}

}  // namespace
