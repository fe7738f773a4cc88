// The control driven the way a page's script drives it: hosted in a window,
// through IDispatch by name, with its event and change notifications sunk.
#include <windows.h>
#include <olectl.h>
#include <gtest/gtest.h>

#include "brimlet_idl.h"
#include "tests/drivers/dialog_watcher.h"
#include "tests/wine/support/scenario.h"

namespace {

using container::Variant;
using scenario::Wide;

const long kGiB = 1073741824;

std::wstring GetString(container::HostedControl& control, const wchar_t* name) {
  Variant value;
  EXPECT_EQ(S_OK, control.Get(name, &value)) << name;
  EXPECT_EQ(VT_BSTR, value.type()) << name;
  return value.AsString();
}

long GetLong(container::HostedControl& control, const wchar_t* name) {
  Variant value;
  EXPECT_EQ(S_OK, control.Get(name, &value));
  EXPECT_EQ(VT_I4, value.type());
  return value.AsLong();
}

bool GetBool(container::HostedControl& control, const wchar_t* name) {
  Variant value;
  EXPECT_EQ(S_OK, control.Get(name, &value));
  EXPECT_EQ(VT_BOOL, value.type());
  return value.get()->boolVal != VARIANT_FALSE;
}

TEST(Automation, NewControlReadsBackItsDefaults) {
  auto control = scenario::HostControl();
  ASSERT_TRUE(control);
  EXPECT_EQ(L"", GetString(*control, L"ScriptURL"));
  EXPECT_EQ(Wide("모든 파일|*.*|"), GetString(*control, L"Filter"));
  EXPECT_EQ(kGiB, GetLong(*control, L"MaxTotalSize"));
  EXPECT_EQ(kGiB, GetLong(*control, L"MaxFileSize"));
  EXPECT_EQ(100, GetLong(*control, L"MaxFileCount"));
  EXPECT_FALSE(GetBool(*control, L"ServerResponse"));
  EXPECT_TRUE(GetBool(*control, L"ShowProgress"));
  EXPECT_TRUE(GetBool(*control, L"EnablePopupMenu"));
}

TEST(Automation, ValuesSetReadBackAsGivenWithoutValidation) {
  auto control = scenario::HostControl();
  ASSERT_TRUE(control);
  const std::wstring megabyte(1024 * 1024, L'u');
  ASSERT_EQ(S_OK, control->Put(L"ScriptURL", Variant::FromString(megabyte)));
  EXPECT_EQ(megabyte, GetString(*control, L"ScriptURL"));
  ASSERT_EQ(S_OK, control->Put(L"Filter", Variant::FromString(L"")));
  EXPECT_EQ(L"", GetString(*control, L"Filter"));
  const std::wstring korean = Wide("문서 (*.hwp)|*.hwp|");
  ASSERT_EQ(S_OK, control->Put(L"Filter", Variant::FromString(korean)));
  EXPECT_EQ(korean, GetString(*control, L"Filter"));

  ASSERT_EQ(S_OK, control->Put(L"MaxFileSize", Variant::FromLong(-1)));
  EXPECT_EQ(-1, GetLong(*control, L"MaxFileSize"));
  ASSERT_EQ(S_OK, control->Put(L"MaxTotalSize", Variant::FromLong(0x7fffffff)));
  EXPECT_EQ(0x7fffffff, GetLong(*control, L"MaxTotalSize"));
  // Script often passes numbers as text; they are coerced.
  ASSERT_EQ(S_OK, control->Put(L"MaxFileCount", Variant::FromString(L"42")));
  EXPECT_EQ(42, GetLong(*control, L"MaxFileCount"));
  ASSERT_EQ(S_OK, control->Put(L"ServerResponse", Variant::FromLong(1)));
  EXPECT_TRUE(GetBool(*control, L"ServerResponse"));
  ASSERT_EQ(S_OK, control->Put(L"ShowProgress", Variant::FromBool(false)));
  EXPECT_FALSE(GetBool(*control, L"ShowProgress"));
  ASSERT_EQ(S_OK, control->Put(L"EnablePopupMenu", Variant::FromBool(false)));
  EXPECT_FALSE(GetBool(*control, L"EnablePopupMenu"));
}

TEST(Automation, ValueThatCannotBeCoercedIsRefusedAndChangesNothing) {
  auto control = scenario::HostControl();
  ASSERT_TRUE(control);
  DISPID id = 0;
  ASSERT_EQ(S_OK, control->GetIdOfName(L"MaxFileCount", &id));
  VARIANT arg;
  ::VariantInit(&arg);
  arg.vt = VT_BSTR;
  arg.bstrVal = ::SysAllocString(L"many");
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{&arg, &named, 1, 1};
  UINT argError = 99;
  EXPECT_EQ(DISP_E_TYPEMISMATCH, control->dispatch()->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT,
                                                            &params, nullptr, nullptr, &argError));
  EXPECT_EQ(0u, argError);
  ::VariantClear(&arg);
  EXPECT_EQ(100, GetLong(*control, L"MaxFileCount"));
  EXPECT_TRUE(control->changes().changes().empty());
}

TEST(Automation, NamesResolveWithoutRegardToCase) {
  auto control = scenario::HostControl();
  ASSERT_TRUE(control);
  const std::pair<const wchar_t*, DISPID> names[] = {
      {L"addfile", 12}, {L"ADDFOLDER", 16}, {L"aboutbox", DISPID_ABOUTBOX}, {L"scripturl", 1},
      {L"MAXFILECOUNT", 5}, {L"uploadCancel", 14}, {L"selectfolder", 13}, {L"Upload", 9}};
  for (const auto& [name, expected] : names) {
    DISPID id = 0;
    EXPECT_EQ(S_OK, control->GetIdOfName(name, &id));
    EXPECT_EQ(expected, id);
  }

  LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"DeleteEverything")};
  DISPID id = 0;
  EXPECT_EQ(DISP_E_UNKNOWNNAME, control->dispatch()->GetIDsOfNames(IID_NULL, unknown, 1, 0, &id));
  EXPECT_EQ(DISPID_UNKNOWN, id);
  // No member takes named parameters.
  LPOLESTR withParameter[] = {const_cast<LPOLESTR>(L"Upload"), const_cast<LPOLESTR>(L"url")};
  DISPID ids[2] = {};
  EXPECT_EQ(DISP_E_UNKNOWNNAME, control->dispatch()->GetIDsOfNames(IID_NULL, withParameter, 2, 0, ids));
  EXPECT_EQ(9, ids[0]);
  EXPECT_EQ(DISPID_UNKNOWN, ids[1]);
}

TEST(Automation, UnusedDispidsAreNotMembersAndDeclaredOnesDoNothingVisible) {
  drivers::DialogWatcher watcher;
  auto control = scenario::HostControl();
  ASSERT_TRUE(control);
  for (DISPID id : {15, 27, 0, 999, -1}) {
    Variant result;
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, control->InvokeId(id, DISPATCH_METHOD, {}, &result)) << id;
  }
  for (DISPID id : {13, 14, static_cast<int>(DISPID_ABOUTBOX)}) {
    Variant result;
    EXPECT_EQ(S_OK, control->InvokeId(id, DISPATCH_METHOD, {}, &result)) << id;
  }
  control->PumpUntil([] { return false; }, 300);
  EXPECT_EQ(0u, watcher.Count()) << "no dialog: not the about box, not a folder browser";
  EXPECT_TRUE(control->events().calls().empty());
  EXPECT_TRUE(control->changes().changes().empty());

  Variant result;
  EXPECT_EQ(DISP_E_BADPARAMCOUNT, control->InvokeId(9, DISPATCH_METHOD, {Variant::FromLong(1)}, &result));
}

TEST(Automation, EachBoundPropertyReportsItsChangeAndEveryPutMarksTheControlModified) {
  auto control = scenario::HostControl();
  ASSERT_TRUE(control);
  EXPECT_EQ(S_FALSE, control->IsDirty());
  const std::pair<const wchar_t*, Variant> puts[] = {
      {L"ScriptURL", Variant::FromString(L"http://a/b")}, {L"Filter", Variant::FromString(L"x|*.x|")},
      {L"MaxFileSize", Variant::FromLong(1)},            {L"MaxTotalSize", Variant::FromLong(2)},
      {L"MaxFileCount", Variant::FromLong(3)},           {L"ShowProgress", Variant::FromBool(false)},
      {L"EnablePopupMenu", Variant::FromBool(false)},    {L"ServerResponse", Variant::FromBool(true)}};
  for (const auto& [name, value] : puts) ASSERT_EQ(S_OK, control->Put(name, value)) << name;
  EXPECT_EQ((std::vector<DISPID>{1, 2, 3, 4, 5, 8}), control->changes().changes());

  auto fresh = scenario::HostControl();
  ASSERT_TRUE(fresh);
  ASSERT_EQ(S_OK, fresh->Put(L"ShowProgress", Variant::FromBool(true)));
  EXPECT_EQ(S_OK, fresh->IsDirty());
  EXPECT_TRUE(fresh->changes().changes().empty());
}

TEST(Automation, UploadOnAnEmptyListFiresUploadFinishTrueBeforeItReturns) {
  drivers::DialogWatcher watcher;
  auto control = scenario::HostControl();
  ASSERT_TRUE(control);
  ASSERT_EQ(S_OK, control->Call(L"Upload"));
  // No message has been pumped: the event arrived during the call.
  ASSERT_EQ(1u, control->events().calls().size());
  const container::EventCall& call = control->events().calls()[0];
  EXPECT_EQ(1, call.id);
  ASSERT_EQ(1u, call.args.size());
  EXPECT_EQ(VT_BOOL, call.args[0].type());
  EXPECT_EQ(VARIANT_TRUE, call.args[0].get()->boolVal);
  // A sink that declared the argument as long sees -1.
  EXPECT_EQ(-1, call.args[0].AsLong());

  control->PumpUntil([] { return false; }, 300);
  EXPECT_EQ(0u, watcher.Count()) << "no progress dialog for an empty list";
  EXPECT_EQ(1u, control->events().calls().size());
}

// Another program can post anything to the control's window: an upload's
// end it did not start, as its workers once posted it there, fires nothing.
TEST(Automation, AnUploadEndPostedByAnyoneElseFiresNothing) {
  auto control = scenario::HostControl();
  ASSERT_TRUE(control);
  HWND window = control->controlWindow();
  ASSERT_TRUE(window);
  const WPARAM worker = static_cast<WPARAM>(~static_cast<ULONG_PTR>(0) / 3 * 2);  // 0xAAAA...
  const UINT kUploadFinished = WM_USER + 1;
  ASSERT_TRUE(::PostMessageA(window, kUploadFinished, worker, 1));
  ASSERT_TRUE(::PostMessageA(window, kUploadFinished, 1, 0));
  control->PumpUntil([] { return false; }, 300);
  EXPECT_TRUE(control->events().calls().empty());
}

TEST(Automation, ControlCreatedWithoutASiteTreatsItsListAsEmpty) {
  scenario::EnsureRegistered();
  fw::ComPtr<IDispatch> control;
  ASSERT_EQ(S_OK, ::CoCreateInstance(CLSID_Brimlet, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                     control.put_void()));
  auto sink = container::EventSink::Create(DIID__DBrimletEvents);
  auto container = control.As<IConnectionPointContainer>(IID_IConnectionPointContainer);
  ASSERT_TRUE(container);
  fw::ComPtr<IConnectionPoint> point;
  ASSERT_EQ(S_OK, container->FindConnectionPoint(DIID__DBrimletEvents, point.put()));
  DWORD cookie = 0;
  ASSERT_EQ(S_OK, point->Advise(static_cast<IDispatch*>(sink.get()), &cookie));

  DISPPARAMS none{};
  EXPECT_EQ(S_OK, control->Invoke(9, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr));
  ASSERT_EQ(1u, sink->calls().size());
  EXPECT_EQ(VARIANT_TRUE, sink->calls()[0].args[0].get()->boolVal);

  EXPECT_EQ(S_OK, point->Unadvise(cookie));
  EXPECT_EQ(CONNECT_E_NOCONNECTION, point->Unadvise(cookie));
  point.reset();
  container.reset();
  // The last reference frees the control.
  EXPECT_EQ(0u, control.detach()->Release());
}

// Hosts that do not know the event interface's IID in advance enumerate the
// points and ask each for its interface.
TEST(Automation, EnumeratedConnectionPointsIncludeTheEventsPointAndHoldTheControl) {
  scenario::EnsureRegistered();
  fw::ComPtr<IConnectionPointContainer> container;
  ASSERT_EQ(S_OK, ::CoCreateInstance(CLSID_Brimlet, nullptr, CLSCTX_INPROC_SERVER, IID_IConnectionPointContainer,
                                     container.put_void()));
  fw::ComPtr<IEnumConnectionPoints> points;
  ASSERT_EQ(S_OK, container->EnumConnectionPoints(points.put()));
  fw::ComPtr<IEnumConnectionPoints> clone;
  ASSERT_EQ(S_OK, points->Clone(clone.put()));

  IConnectionPoint* got[4] = {};
  ULONG fetched = 0;
  EXPECT_EQ(S_FALSE, points->Next(4, got, &fetched));
  ASSERT_GE(fetched, 1u);
  fw::ComPtr<IConnectionPoint> events;
  for (ULONG i = 0; i < fetched; ++i) {
    IID iid{};
    EXPECT_EQ(S_OK, got[i]->GetConnectionInterface(&iid));
    if (::IsEqualIID(iid, DIID__DBrimletEvents)) events = fw::ComPtr<IConnectionPoint>(got[i]);
    got[i]->Release();
  }
  ASSERT_TRUE(events) << "no point for the event interface";
  EXPECT_EQ(S_FALSE, points->Next(1, got, nullptr)) << "the end stays the end";
  // The clone starts where the original was when cloned, and skips as asked.
  EXPECT_EQ(S_OK, clone->Skip(fetched - 1));
  EXPECT_EQ(S_OK, clone->Next(1, got, nullptr));
  got[0]->Release();
  EXPECT_EQ(S_FALSE, clone->Skip(1));
  EXPECT_EQ(S_OK, clone->Reset());

  auto sink = container::EventSink::Create(DIID__DBrimletEvents);
  DWORD cookie = 0;
  ASSERT_EQ(S_OK, events->Advise(static_cast<IDispatch*>(sink.get()), &cookie));
  auto control = container.As<IDispatch>(IID_IDispatch);
  DISPPARAMS none{};
  EXPECT_EQ(S_OK, control->Invoke(9, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr));
  EXPECT_EQ(1u, sink->calls().size());
  EXPECT_EQ(S_OK, events->Unadvise(cookie));

  // Enumerators keep the control alive; once they go, so does it.
  events.reset();
  control.reset();
  points.reset();
  clone.reset();
  EXPECT_EQ(0u, container.detach()->Release());
}

}  // namespace
