// A hostile page: the control is marked safe for scripting, so any page may
// create it and call every member with any value. Each test throws one kind
// of abuse at a hosted control through IDispatch, checks that every call
// answers with an HRESULT and changes nothing it should not, and ends with a
// plain upload that still arrives whole.
#include <windows.h>
#include <dlgs.h>  // the open-file dialog's control ids
#include <commctrl.h>
#include <objsafe.h>
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "container/property_bag.h"
#include "framework/message_drain.h"
#include "framework/text.h"
#include "module/dispatch_ids.h"
#include "tests/drivers/dialog_watcher.h"
#include "tests/drivers/picker_answers.h"
#include "tests/drivers/portable/multipart_reader.h"
#include "tests/wine/support/contract_checks.h"
#include "tests/wine/support/file_list_support.h"
#include "tests/wine/support/receiver.h"
#include "tests/wine/support/scenario.h"
#include "tests/wine/support/upload_support.h"

namespace {

// Whatever a page throws at it, the control never ends something already gone.
const auto* const g_contract = scenario::CheckContractInEveryTest();

using container::Variant;
using scenario::MessageTexts;
using Strings = std::vector<std::string>;

const char kBadUrl[] = "오류: URL은 http:// 또는 https:// 로 시작해야 합니다.";
const char kTooMany[] = "선택하신 파일 개수가 설정된 개수 보다 많습니다.";
const wchar_t* const kMethods[] = {L"Upload",       L"Remove",    L"RemoveAll", L"AddFile",
                                   L"SelectFolder", L"UploadCancel", L"AddFolder", L"AboutBox"};

struct PropertyKind {
  const wchar_t* name;
  VARTYPE type;
};
const PropertyKind kProperties[] = {
    {L"ScriptURL", VT_BSTR},     {L"Filter", VT_BSTR},       {L"MaxFileSize", VT_I4},
    {L"MaxTotalSize", VT_I4},    {L"MaxFileCount", VT_I4},   {L"ShowProgress", VT_BOOL},
    {L"EnablePopupMenu", VT_BOOL}, {L"ServerResponse", VT_BOOL}};

// A value of `type` whose contents are all zero: a null BSTR, a null object.
Variant Raw(VARTYPE type) {
  Variant value;
  std::memset(value.get(), 0, sizeof(VARIANT));
  value.get()->vt = type;
  return value;
}

Variant Double(double number) {
  Variant value = Raw(VT_R8);
  value.get()->dblVal = number;
  return value;
}

// Whether two values of one of the properties' types are the same, a text
// compared to its full length.
bool SameValue(const Variant& a, const Variant& b) {
  if (a.type() != b.type()) return false;
  switch (a.type()) {
    case VT_BSTR: {
      const BSTR x = a.get()->bstrVal, y = b.get()->bstrVal;
      return std::wstring(x, ::SysStringLen(x)) == std::wstring(y, ::SysStringLen(y));
    }
    case VT_I4: return a.get()->lVal == b.get()->lVal;
    case VT_BOOL: return a.get()->boolVal == b.get()->boolVal;
    default: return false;
  }
}

// The page's side of one test: one control hosted as a page hosts it, a
// folder with a small file, and the local receiver. Everything a test needs
// around the control is set up here, in one place.
class HostilePage : public scenario::HostedUploadTest {
 protected:
  HostilePage() : HostedUploadTest("hostile-") {}
  void SetUp() override {
    HostedUploadTest::SetUp();
    if (HasFatalFailure()) return;
    small_ = folder_->path() + "\\small.bin";
    ASSERT_TRUE(scenario::WriteContent(small_, "hostile"));
  }

  IDispatch* dispatch() { return control_->dispatch(); }
  DISPID Id(const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    EXPECT_EQ(S_OK, control_->GetIdOfName(name, &id)) << name;
    return id;
  }
  HRESULT Invoke(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result = nullptr,
                 REFIID iid = IID_NULL) {
    UINT argError = 0;
    EXCEPINFO exception{};
    return dispatch()->Invoke(id, iid, LOCALE_USER_DEFAULT, flags, params, result, &exception, &argError);
  }
  Variant Value(const wchar_t* name) {
    Variant value;
    EXPECT_EQ(S_OK, control_->Get(name, &value)) << name;
    return value;
  }
  int Rows() { return ListView_GetItemCount(scenario::FileListOf(*control_)); }
  void ListSmallFile() {
    scenario::PickFiles(*control_, folder_->path(), {"small.bin"}, Rows() + 1);
  }

  // Upload, then waits for its UploadFinish; fails the test unless exactly
  // one arrives (a second one is given a moment to show up). The outcome.
  std::optional<bool> UploadOnce() {
    control_->events().Clear();
    EXPECT_EQ(S_OK, control_->Call(L"Upload"));
    if (!control_->PumpUntil([&] { return !control_->events().Of(DISPID_BRIMLET_UPLOADFINISH).empty(); }, 60000)) {
      ADD_FAILURE() << "no UploadFinish";
      return std::nullopt;
    }
    control_->PumpUntil([] { return false; }, 200);
    EXPECT_EQ(1u, control_->events().Of(DISPID_BRIMLET_UPLOADFINISH).size()) << "UploadFinish fired more than once";
    return control_->events().Of(DISPID_BRIMLET_UPLOADFINISH)[0].args[0].get()->boolVal != VARIANT_FALSE;
  }

  // The control still does its job: a file listed and posted whole.
  void ExpectAPlainUploadStillArrives() {
    const std::pair<const wchar_t*, Variant> sane[] = {
        {L"Filter", Variant::FromString(L"")},          {L"MaxFileSize", Variant::FromLong(-1)},
        {L"MaxTotalSize", Variant::FromLong(-1)},       {L"MaxFileCount", Variant::FromLong(100)},
        {L"ServerResponse", Variant::FromBool(false)},
        {L"ScriptURL", Variant::FromString(fw::WideFromNarrow(receiver_.Url("/ok/after")))}};
    for (const auto& [name, value] : sane) ASSERT_EQ(S_OK, control_->Put(name, value)) << name;
    ListSmallFile();
    const size_t before = receiver_.WaitForRequests(0, 0).size();
    drivers::DialogWatcher watcher(scenario::LeaveProgressOpen);
    EXPECT_EQ(std::optional<bool>(true), UploadOnce());
    EXPECT_TRUE(MessageTexts(watcher).empty());
    const auto requests = receiver_.WaitForRequests(before + 1);
    ASSERT_EQ(before + 1, requests.size());
    const scenario::RecordedRequest& request = requests.back();
    EXPECT_EQ(0u, request.Head().find("POST /ok/after HTTP/1.0\r\n")) << request.Head();
    const std::string type = request.Header("Content-Type");
    const auto parts = drivers::ReadMultipart(request.Body(), type.substr(type.find("boundary=") + 9));
    ASSERT_TRUE(parts);
    ASSERT_EQ(1u, parts->size());
    EXPECT_EQ(small_, (*parts)[0].filename);
    EXPECT_EQ("hostile", (*parts)[0].data);
    EXPECT_EQ(std::to_string(request.Body().size()), request.Header("Content-Length"));
  }

  std::string small_;
};

// ---------------------------------------------------------------- properties
TEST_F(HostilePage, EveryPropertyTakesOddValuesAsItsTypeAllowsAndNothingElse) {
  drivers::DialogWatcher watcher;
  static LONG seven = 7;
  BSTR kept = ::SysAllocString(L"by reference");
  std::vector<std::pair<std::string, Variant>> odd;
  odd.emplace_back("1 MiB string", Variant::FromString(std::wstring(1 << 20, L'u')));
  odd.emplace_back("null BSTR", Raw(VT_BSTR));
  odd.emplace_back("embedded NULs", Variant::FromString(std::wstring(L"http://a\0b\0", 11)));
  odd.emplace_back("null", Raw(VT_NULL));
  odd.emplace_back("undefined", Raw(VT_EMPTY));
  Variant self = Raw(VT_DISPATCH);
  self.get()->pdispVal = dispatch();
  dispatch()->AddRef();
  odd.emplace_back("the control itself", self);
  odd.emplace_back("null object", Raw(VT_DISPATCH));
  Variant array = Raw(VT_ARRAY | VT_VARIANT);
  array.get()->parray = ::SafeArrayCreateVector(VT_VARIANT, 0, 3);
  odd.emplace_back("array", array);
  Variant byRef = Raw(VT_BYREF | VT_I4);
  byRef.get()->plVal = &seven;
  odd.emplace_back("number by reference", byRef);
  Variant textByRef = Raw(VT_BYREF | VT_BSTR);
  textByRef.get()->pbstrVal = &kept;
  odd.emplace_back("text by reference", textByRef);
  odd.emplace_back("LONG_MIN", Variant::FromLong(LONG_MIN));
  odd.emplace_back("LONG_MAX", Variant::FromLong(LONG_MAX));
  odd.emplace_back("1e300", Double(1e300));
  odd.emplace_back("NaN", Double(std::numeric_limits<double>::quiet_NaN()));
  odd.emplace_back("inf", Double(std::numeric_limits<double>::infinity()));
  odd.emplace_back("-inf", Double(-std::numeric_limits<double>::infinity()));

  for (const auto& property : kProperties) {
    for (const auto& [label, value] : odd) {
      const Variant before = Value(property.name);
      const size_t changes = control_->changes().changes().size();
      Variant expected;
      const bool coercible = SUCCEEDED(value.Coerce(&expected, property.type));
      const HRESULT hr = control_->Put(property.name, value);
      const Variant after = Value(property.name);
      if (coercible) {
        EXPECT_EQ(S_OK, hr) << label;
        // A page reads back what it set, as the property's type holds it.
        EXPECT_TRUE(SameValue(expected, after)) << label;
      } else {
        EXPECT_EQ(DISP_E_TYPEMISMATCH, hr) << label;
        EXPECT_TRUE(SameValue(before, after)) << label << ": a refused value changed the property";
        EXPECT_EQ(changes, control_->changes().changes().size()) << label;
      }
    }
  }
  odd.clear();
  self.Clear();
  ::SysFreeString(kept);

  EXPECT_EQ(0u, watcher.Count()) << "a property put opened a dialog";
  EXPECT_TRUE(control_->events().Of(DISPID_BRIMLET_UPLOADFINISH).empty());
  ExpectAPlainUploadStillArrives();
}

// ---------------------------------------------------------------- calls
TEST_F(HostilePage, CallsThatDoNotNameAMemberAsItIsUsedAreRefusedWithoutRunningIt) {
  ListSmallFile();
  ListView_SetItemState(scenario::FileListOf(*control_), 0, LVIS_SELECTED, LVIS_SELECTED);
  drivers::DialogWatcher watcher;

  Variant one = Variant::FromLong(1), two = Variant::FromLong(2);
  VARIANT args[2] = {*one.get(), *two.get()};
  DISPID putId = DISPID_PROPERTYPUT, otherId = 0;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  DISPPARAMS oneArg{args, nullptr, 1, 0};
  DISPPARAMS twoArgs{args, nullptr, 2, 0};
  DISPPARAMS oneNamed{args, &otherId, 1, 1};
  DISPPARAMS putOne{args, &putId, 1, 1};
  DISPPARAMS putTwo{args, &putId, 2, 1};
  // Counts that promise arrays the caller did not pass.
  DISPPARAMS lyingArgs{nullptr, nullptr, 2, 0};
  DISPPARAMS lyingNames{args, nullptr, 1, 1};
  DISPPARAMS moreNamesThanArgs{args, &putId, 0, 1};
  const WORD kPut = DISPATCH_PROPERTYPUT, kPutRef = DISPATCH_PROPERTYPUTREF, kGet = DISPATCH_PROPERTYGET,
             kMethod = DISPATCH_METHOD;

  struct Call {
    WORD flags;
    DISPPARAMS* params;
    HRESULT expected;
  };
  const Call onMethods[] = {
      {kGet, &none, DISP_E_MEMBERNOTFOUND},
      {kPut, &putOne, DISP_E_MEMBERNOTFOUND},
      {kPutRef, &putOne, DISP_E_MEMBERNOTFOUND},
      {kMethod | kPut, &none, DISP_E_MEMBERNOTFOUND},
      {0, &none, DISP_E_MEMBERNOTFOUND},
      {kMethod, &oneArg, DISP_E_BADPARAMCOUNT},
      {kMethod, &twoArgs, DISP_E_BADPARAMCOUNT},
      {kMethod, &oneNamed, DISP_E_NONAMEDARGS},
      {kMethod, &lyingArgs, E_INVALIDARG},
      {kMethod, &lyingNames, E_INVALIDARG},
      {kMethod, &moreNamesThanArgs, E_INVALIDARG},
  };
  for (const wchar_t* name : kMethods) {
    const DISPID id = Id(name);
    for (const Call& call : onMethods) {
      Variant result;
      EXPECT_EQ(call.expected, Invoke(id, call.flags, call.params, result.get())) << name << " " << call.flags;
    }
  }

  const Call onProperties[] = {
      {kGet, &oneArg, DISP_E_BADPARAMCOUNT},
      {kMethod, &oneArg, DISP_E_BADPARAMCOUNT},
      {kGet, &oneNamed, DISP_E_NONAMEDARGS},
      {kPut, &none, DISP_E_BADPARAMCOUNT},
      {kPut, &putTwo, DISP_E_BADPARAMCOUNT},
      {kPut, &oneArg, DISP_E_PARAMNOTOPTIONAL},
      {kPut, &oneNamed, DISP_E_PARAMNOTOPTIONAL},
      {kPutRef, &none, DISP_E_BADPARAMCOUNT},
      {0, &none, DISP_E_MEMBERNOTFOUND},
      {kPut, &lyingArgs, E_INVALIDARG},
      {kPut, &lyingNames, E_INVALIDARG},
      {kPut, &moreNamesThanArgs, E_INVALIDARG},
  };
  for (const auto& property : kProperties) {
    const DISPID id = Id(property.name);
    const Variant before = Value(property.name);
    for (const Call& call : onProperties) {
      Variant result;
      EXPECT_EQ(call.expected, Invoke(id, call.flags, call.params, result.get()))
          << property.name << " " << call.flags;
    }
    EXPECT_TRUE(SameValue(before, Value(property.name))) << property.name;
    // Read as a method, as script engines may, and with every pointer the
    // contract lets a caller leave out.
    Variant read;
    EXPECT_EQ(S_OK, Invoke(id, kMethod | kGet, &none, read.get())) << property.name;
    EXPECT_TRUE(SameValue(before, read)) << property.name;
    EXPECT_EQ(S_OK, dispatch()->Invoke(id, IID_NULL, 0, kGet, &none, nullptr, nullptr, nullptr));
    EXPECT_EQ(S_OK, dispatch()->Invoke(id, IID_NULL, 0, kGet, nullptr, nullptr, nullptr, nullptr));
  }

  const DISPID unknownIds[] = {0, DISPID_UNKNOWN, DISPID_PROPERTYPUT, DISPID_NEWENUM, DISPID_EVALUATE,
                               15, 27, 999, INT_MIN, INT_MAX};
  for (DISPID id : unknownIds) {
    for (WORD flags : {kMethod, kGet, kPut, WORD(kMethod | kGet), WORD(0xFFFF)}) {
      EXPECT_EQ(DISP_E_MEMBERNOTFOUND, Invoke(id, flags, flags & kPut ? &putOne : &none)) << id << " " << flags;
    }
  }
  EXPECT_EQ(DISP_E_UNKNOWNINTERFACE, Invoke(Id(L"RemoveAll"), kMethod, &none, nullptr, IID_IDispatch));

  // Names: none, empty, unknown, a megabyte long, and for no interface.
  DISPID ids[2] = {};
  std::wstring megabyte(1 << 20, L'n'), empty;
  for (LPOLESTR name : {&megabyte[0], &empty[0], LPOLESTR(nullptr)}) {
    LPOLESTR names[] = {name};
    EXPECT_EQ(DISP_E_UNKNOWNNAME, dispatch()->GetIDsOfNames(IID_NULL, names, 1, 0, ids));
  }
  LPOLESTR names[] = {&empty[0]};
  EXPECT_EQ(E_POINTER, dispatch()->GetIDsOfNames(IID_NULL, nullptr, 1, 0, ids));
  EXPECT_EQ(E_POINTER, dispatch()->GetIDsOfNames(IID_NULL, names, 1, 0, nullptr));
  EXPECT_EQ(E_INVALIDARG, dispatch()->GetIDsOfNames(IID_NULL, names, 0, 0, ids));
  EXPECT_EQ(DISP_E_UNKNOWNINTERFACE, dispatch()->GetIDsOfNames(IID_IDispatch, names, 1, 0, ids));
  ITypeInfo* info = nullptr;
  EXPECT_EQ(DISP_E_BADINDEX, dispatch()->GetTypeInfo(1, 0, &info));
  EXPECT_EQ(nullptr, info);
  EXPECT_EQ(E_POINTER, dispatch()->GetTypeInfo(0, 0, nullptr));
  EXPECT_EQ(E_POINTER, dispatch()->GetTypeInfoCount(nullptr));

  // None of it ran a member: no dialog, no event, the list as it was.
  control_->PumpUntil([] { return false; }, 300);
  EXPECT_EQ(0u, watcher.Count());
  EXPECT_TRUE(control_->events().Of(DISPID_BRIMLET_UPLOADFINISH).empty());
  EXPECT_EQ(1, Rows());
  EXPECT_TRUE(receiver_.WaitForRequests(1, 300).empty());
  ASSERT_EQ(S_OK, control_->Call(L"RemoveAll"));
  ExpectAPlainUploadStillArrives();
}

// ---------------------------------------------------------------- filters
TEST_F(HostilePage, AddFileUnderOddFiltersOpensTheDialogAndDoesWhatItWasAnswered) {
  std::wstring pairs;
  for (int i = 0; i < 20000; ++i) pairs += L"d" + std::to_wstring(i) + L"|*.e" + std::to_wstring(i) + L"|";
  const struct {
    const char* label;
    std::wstring filter;
    bool pick;       // a file is picked; otherwise the dialog is cancelled
    int types = -1;  // the entries of the dialog's type list, when checked
    const wchar_t* firstType = nullptr;  // the first entry's text, when checked
  } filters[] = {
      {"|", L"|", true},
      {"||||", L"||||", false},
      {"no bar", L"Text files *.txt", true},
      {"20,000 pairs", pairs, true, 20000},
      {"embedded NUL", std::wstring(L"a\0b|*.*|", 8), false},
      {"1 MiB", std::wstring(1 << 20, L'x'), true},
      // Thai, which code page 949 lacks: not "???|*.???", which lists all.
      {"Thai", L"\u0E44\u0E17\u0E22|*.\u0E44\u0E17\u0E22|", false, 1, L"\u0E44\u0E17\u0E22"},
  };
  int expectedRows = 0;
  for (const auto& filter : filters) {
    ASSERT_EQ(S_OK, control_->Put(L"Filter", Variant::FromString(filter.filter))) << filter.label;
    std::atomic<int> opened{0};
    std::atomic<HWND> lastDialog{nullptr};
    DWORD_PTR types = 0;
    wchar_t firstType[256] = {};
    auto pickers = drivers::AnswerPickers({filter.pick ? Strings{small_} : Strings{}, {}, !filter.pick});
    drivers::DialogWatcher watcher([&](const drivers::DialogSeen& seen) {
      if (drivers::IsOpenFileDialog(seen.window) && lastDialog.exchange(seen.window) != seen.window) {
        ++opened;
        ::SendMessageTimeoutA(::GetDlgItem(seen.window, cmb1), CB_GETCOUNT, 0, 0, SMTO_NORMAL, 5000,
                              &types);
        DWORD_PTR length = 0;
        if (::SendMessageTimeoutW(::GetDlgItem(seen.window, cmb1), CB_GETLBTEXTLEN, 0, 0, SMTO_NORMAL, 5000,
                                  &length) && length < 256)
          ::SendMessageTimeoutW(::GetDlgItem(seen.window, cmb1), CB_GETLBTEXT, 0,
                                reinterpret_cast<LPARAM>(firstType), SMTO_NORMAL, 5000, &length);
      }
      return pickers(seen);
    });
    EXPECT_EQ(S_OK, control_->Call(L"AddFile")) << filter.label;
    EXPECT_EQ(1, opened.load()) << filter.label << ": the open-file dialog";
    if (filter.types >= 0) {
      EXPECT_EQ(static_cast<DWORD_PTR>(filter.types), types) << filter.label << ": every type reaches the dialog";
    }
    if (filter.firstType) {
      EXPECT_EQ(std::wstring(filter.firstType), firstType) << filter.label;
    }
    EXPECT_TRUE(MessageTexts(watcher).empty()) << filter.label;
    if (filter.pick) ++expectedRows;
    EXPECT_EQ(expectedRows, Rows()) << filter.label;
  }
  ASSERT_EQ(S_OK, control_->Call(L"RemoveAll"));
  ExpectAPlainUploadStillArrives();
}

// ---------------------------------------------------------------- addresses
TEST_F(HostilePage, UploadUnderOddAddressesEndsOnceEachAndSendsOnlyWhatSplits) {
  const std::string port = std::to_string(receiver_.Port());
  std::string longAddress = receiver_.Url("/ok/long?");
  longAddress.append(100000 - longAddress.size(), 'q');
  const struct {
    std::string address;
    const char* requestLine;  // nullptr: refused before any connection
  } cases[] = {
      {longAddress, "POST /ok/long?qqqq"},
      {"http://", nullptr},
      {"http://127.0.0.1:99999/ok", nullptr},
      {"http://127.0.0.1:0/ok", nullptr},
      {"http://[::1/x", nullptr},
      {receiver_.Url("/ok/%7e%20x?q=%25&r=%0d%0a"), "POST /ok/%7e%20x?q=%25&r=%0d%0a HTTP/1.0\r\n"},
      {receiver_.Url("/ok/a b"), "POST /ok/a%20b HTTP/1.0\r\n"},
      {"http://u:p@127.0.0.1:" + port + "/ok/credentials", "POST /ok/credentials HTTP/1.0\r\n"},
      {receiver_.Url("/ok\r\nX-Evil: 1"), nullptr},
      {receiver_.Url("/ok\tx"), nullptr},
      {receiver_.Url("/ok\x7f"), nullptr},
      {receiver_.Url("/ok") + std::string("\0/evil", 6), nullptr},
      {"javascript:alert(1)", nullptr},
      {"file:///C:/x", nullptr},
      {"\\\\server\\share", nullptr},
      {"HTTP://127.0.0.1:" + port + "/ok/x#frag", "POST /ok/x HTTP/1.0\r\n"},
      // Thai, which code page 949 lacks, would go out as "/ok/???/r.php".
      {receiver_.Url("/ok/") + u8"\u0E44\u0E17\u0E22/r.php", nullptr},
      {receiver_.Url("/ok/") + u8"\uD55C\uAE00", "POST /ok/"},
  };
  size_t sent = 0;
  for (const auto& c : cases) {
    const std::string shown = c.address.substr(0, 60);
    ListSmallFile();
    // Written in UTF-8, so that an address may hold what the code page lacks.
    ASSERT_EQ(S_OK, control_->Put(L"ScriptURL", Variant::FromString(fw::WideFromNarrow(c.address, CP_UTF8))))
        << shown;
    drivers::DialogWatcher watcher(scenario::LeaveProgressOpen);
    const std::optional<bool> outcome = UploadOnce();
    EXPECT_EQ(0, Rows()) << shown << ": the list empties after every upload";
    if (!c.requestLine) {
      EXPECT_EQ(std::optional<bool>(false), outcome) << shown;
      EXPECT_EQ(Strings{kBadUrl}, MessageTexts(watcher)) << shown;
      continue;
    }
    ++sent;
    const auto requests = receiver_.WaitForRequests(sent);
    ASSERT_EQ(sent, requests.size()) << shown;
    const scenario::RecordedRequest& request = requests.back();
    EXPECT_EQ(0u, request.Head().find(c.requestLine)) << shown << "\n" << request.Head().substr(0, 200);
    EXPECT_TRUE(MessageTexts(watcher).empty()) << shown;
    if (c.address.size() > 1000) {
      // The receiver takes heads of up to 64 KiB and answers a longer one 431.
      EXPECT_EQ(std::optional<bool>(false), outcome) << shown;
      continue;
    }
    EXPECT_EQ(std::optional<bool>(true), outcome) << shown;
    EXPECT_EQ("127.0.0.1:" + port, request.Header("Host")) << shown;
    EXPECT_EQ("", request.Header("Authorization")) << shown << ": credentials are never sent";
  }
  // The same address from a <param>, whose text reaches the control wide.
  container::HostOptions options;
  options.init = container::Initialise::PropertyBag;
  auto bag = container::MemoryPropertyBag::Create();
  Variant stored = Variant::FromString(fw::WideFromNarrow(receiver_.Url("/ok/") + u8"\u0E44\u0E17\u0E22", CP_UTF8));
  bag->Write(L"ScriptURL", stored.get());
  options.bag = fw::ComPtr<IPropertyBag>(bag.get());
  control_.reset();
  HRESULT loaded = E_FAIL;
  control_ = scenario::HostControl(options, &loaded);
  ASSERT_EQ(S_OK, loaded);
  ListSmallFile();
  {
    drivers::DialogWatcher watcher(scenario::LeaveProgressOpen);
    EXPECT_EQ(std::optional<bool>(false), UploadOnce());
    EXPECT_EQ(Strings{kBadUrl}, MessageTexts(watcher));
  }
  // Nothing else reached the receiver: what was refused never connected.
  EXPECT_EQ(sent, receiver_.WaitForRequests(sent + 1, 500).size());
  ExpectAPlainUploadStillArrives();
}

// ---------------------------------------------------------------- the page's origin
// The deployer's lock, where a policy writes it: the 64-bit view of the
// machine's registry, whichever module reads it. Gone with the object.
class SiteLock {
 public:
  explicit SiteLock(const std::wstring& sites) {  // entries separated by '|'
    std::wstring data = sites + L"||";
    for (wchar_t& c : data) c = c == L'|' ? L'\0' : c;
    fw::UniqueHKey key;
    EXPECT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY,
                                               nullptr, key.put(), nullptr));
    EXPECT_EQ(ERROR_SUCCESS, ::RegSetValueExW(key.get(), L"AllowedSites", 0, REG_MULTI_SZ,
                                              reinterpret_cast<const BYTE*>(data.c_str()),
                                              static_cast<DWORD>(data.size() * sizeof(wchar_t))));
  }
  ~SiteLock() { ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_64KEY, 0); }
  SiteLock(const SiteLock&) = delete;
  SiteLock& operator=(const SiteLock&) = delete;

 private:
  static constexpr const wchar_t* kKey = L"SOFTWARE\\Policies\\BRIMLET";
};

class PageOrigin : public HostilePage {
 protected:
  // The control hosted on a page at `address`, told as a browser tells it.
  HRESULT HostOn(const std::string& address, container::AddressBy by,
                 container::Initialise init = container::Initialise::New) {
    control_.reset();
    container::HostOptions options;
    options.pageAddress = fw::WideFromNarrow(address);
    options.addressBy = by;
    options.init = init;
    if (init == container::Initialise::PropertyBag) {
      auto bag = container::MemoryPropertyBag::Create();
      Variant stored = Variant::FromString(L"http://stored.example/");
      bag->Write(L"ScriptURL", stored.get());
      options.bag = fw::ComPtr<IPropertyBag>(bag.get());
    }
    HRESULT loaded = S_OK;
    control_ = scenario::HostControl(options, &loaded);
    return loaded;
  }
  HRESULT Safety(REFIID iid, DWORD option) {
    const auto safety = control_->As<IObjectSafety>(IID_IObjectSafety);
    return safety ? safety->SetInterfaceSafetyOptions(iid, option, option) : E_NOINTERFACE;
  }
  std::string Text(const wchar_t* name) {
    const std::wstring text = Value(name).AsString();
    return fw::NarrowFromWide(text.data(), text.size());
  }
  // Lists the small file and uploads it to `route` with the page's headers;
  // the outcome and the boxes the user saw.
  std::pair<std::optional<bool>, Strings> UploadTo(const std::string& address, bool withHeader) {
    ListSmallFile();
    EXPECT_EQ(S_OK, control_->Put(L"ScriptURL", Variant::FromString(fw::WideFromNarrow(address))));
    if (withHeader) {
      Variant ignored;
      EXPECT_EQ(S_OK, control_->InvokeId(Id(L"SetRequestHeader"), DISPATCH_METHOD,
                                         {Variant::FromString(L"X-Token"), Variant::FromString(L"7")}, &ignored));
    }
    drivers::DialogWatcher watcher(scenario::LeaveProgressOpen);
    const std::optional<bool> outcome = UploadOnce();
    EXPECT_EQ(0, Rows()) << "the list empties after every upload";
    return {outcome, MessageTexts(watcher)};
  }
};

TEST_F(PageOrigin, ALockedOutPageGetsNothingAndAListedOneAllOfTheControl) {
  const std::string port = std::to_string(receiver_.Port());
  const SiteLock lock(L"https://*.example.com|http://127.0.0.1:" + fw::WideFromNarrow(port));

  // Refused: not safe for it, every member denied with the reason, no
  // stored property applied, no dialog.
  EXPECT_EQ(E_ACCESSDENIED, HostOn("https://example.com.evil.net/up.html", container::AddressBy::kBrowser,
                                   container::Initialise::PropertyBag));
  EXPECT_EQ(E_FAIL, Safety(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER));
  EXPECT_EQ(E_FAIL, Safety(IID_IPersistPropertyBag, INTERFACESAFE_FOR_UNTRUSTED_DATA));
  {
    drivers::DialogWatcher watcher;
    for (const auto& [name, flags] : {std::pair{L"ScriptURL", DISPATCH_PROPERTYGET},
                                      std::pair{L"MaxFileCount", DISPATCH_PROPERTYPUT}, std::pair{L"AddFile", DISPATCH_METHOD}}) {
      EXCEPINFO exception{};
      Variant result;
      std::vector<Variant> args;
      if (flags == DISPATCH_PROPERTYPUT) args.push_back(Variant::FromLong(1));
      EXPECT_EQ(DISP_E_EXCEPTION, control_->InvokeId(Id(name), static_cast<WORD>(flags), args, &result, &exception));
      EXPECT_EQ(E_ACCESSDENIED, exception.scode) << name;
      const std::wstring why(exception.bstrDescription ? exception.bstrDescription : L"");
      EXPECT_EQ(scenario::Wide("이 사이트에서는 이 컨트롤을 쓸 수 없습니다."), why) << name;
      ::SysFreeString(exception.bstrDescription);
      ::SysFreeString(exception.bstrSource);
    }
    EXPECT_FALSE(watcher.WaitFor(1, 1000)) << "no dialog opens";
  }

  // Listed (the page's own origin, told by its document's moniker): safe,
  // and the page reads full paths, its reply and sends its headers.
  EXPECT_EQ(S_OK, HostOn(receiver_.Url("/up.html"), container::AddressBy::kMoniker));
  EXPECT_EQ(S_OK, Safety(IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER));
  ListSmallFile();
  Variant path;
  EXPECT_EQ(S_OK, control_->InvokeId(Id(L"FilePath"), DISPATCH_METHOD, {Variant::FromLong(0)}, &path));
  EXPECT_EQ(fw::WideFromNarrow(small_), path.AsString());
  EXPECT_EQ(Strings{}, UploadTo(receiver_.Url("/ok/same"), true).second);
  EXPECT_EQ(200, Value(L"ResponseStatus").get()->lVal);
  const auto requests = receiver_.WaitForRequests(1);
  ASSERT_EQ(1u, requests.size()) << "same origin: no question asked";
  EXPECT_EQ(0u, requests[0].Head().find("POST /ok/same HTTP/1.0\r\n"));
  EXPECT_EQ("http://127.0.0.1:" + port, requests[0].Header("Origin"));
  EXPECT_EQ("7", requests[0].Header("X-Token"));
}

TEST_F(PageOrigin, AnotherOriginIsAskedFirstAndReadsOnlyWhatTheServerAllows) {
  const std::string port = std::to_string(receiver_.Port());
  const std::string page = "http://localhost:" + port;  // the receiver is 127.0.0.1: another origin
  EXPECT_EQ(S_OK, HostOn(page + "/up.html", container::AddressBy::kBrowser));
  ListSmallFile();
  Variant path;
  EXPECT_EQ(S_OK, control_->InvokeId(Id(L"FilePath"), DISPATCH_METHOD, {Variant::FromLong(0)}, &path));
  EXPECT_EQ(L"C:\\fakepath\\small.bin", path.AsString()) << "no lock lists the page";
  EXCEPINFO forbidden{};
  EXPECT_EQ(DISP_E_EXCEPTION, control_->InvokeId(Id(L"SetRequestHeader"), DISPATCH_METHOD,
                                                 {Variant::FromString(L"Sec-Fetch-Site"), Variant::FromString(L"x")},
                                                 &path, &forbidden));
  EXPECT_EQ(E_INVALIDARG, forbidden.scode);
  EXPECT_EQ(scenario::Wide("SetRequestHeader: Sec-Fetch-Site 헤더는 페이지가 정할 수 없습니다."),
            std::wstring(forbidden.bstrDescription ? forbidden.bstrDescription : L""));
  ::SysFreeString(forbidden.bstrDescription);
  ::SysFreeString(forbidden.bstrSource);

  // Fields and files alone go out, but the reply is withheld.
  auto [posted, postedBoxes] = UploadTo(receiver_.Url("/ok/plain"), false);
  EXPECT_EQ(std::optional<bool>(true), posted);
  EXPECT_EQ(0, Value(L"ResponseStatus").get()->lVal);
  EXPECT_EQ("", Text(L"ResponseText"));
  // With a header, a server that does not agree gets the question only.
  const char kRefused[] = "서버가 이 페이지에서 보내는 업로드를 받지 않습니다.";
  auto [refused, refusedBoxes] = UploadTo(receiver_.Url("/ok/silent"), true);
  EXPECT_EQ(std::optional<bool>(false), refused);
  EXPECT_EQ(Strings{kRefused}, refusedBoxes);
  EXPECT_EQ(kRefused, Text(L"ErrorText"));
  // One that names the page posts, and the page reads its reply.
  const std::string allows = "/allow-origin/http%3A%2F%2Flocalhost%3A" + port + "/ok/allowed";
  auto [allowed, allowedBoxes] = UploadTo(receiver_.Url(allows), true);
  EXPECT_EQ(std::optional<bool>(true), allowed);
  EXPECT_EQ(Strings{}, allowedBoxes);
  EXPECT_EQ(200, Value(L"ResponseStatus").get()->lVal);
  EXPECT_EQ("OK\n", Text(L"ResponseText"));

  const auto requests = receiver_.WaitForRequests(4);
  ASSERT_EQ(4u, requests.size());
  const Strings lines = {"POST /ok/plain HTTP/1.0\r\n", "OPTIONS /ok/silent HTTP/1.0\r\n",
                         "OPTIONS " + allows + " HTTP/1.0\r\n", "POST " + allows + " HTTP/1.0\r\n"};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(0u, requests[i].Head().find(lines[i])) << requests[i].Head();
    EXPECT_EQ(page, requests[i].Header("Origin")) << lines[i];
  }
  for (size_t i : {1, 2}) {
    EXPECT_EQ("POST", requests[i].Header("Access-Control-Request-Method"));
    EXPECT_EQ("x-token", requests[i].Header("Access-Control-Request-Headers"));
    EXPECT_EQ("", requests[i].Header("X-Token")) << "the question carries no page header";
  }
  EXPECT_EQ("7", requests[3].Header("X-Token"));

  // An https page never sends the user's files over plain http.
  EXPECT_EQ(S_OK, HostOn("https://localhost/up.html", container::AddressBy::kMoniker));
  const char kMixed[] = "오류: https 페이지에서는 http:// 주소로 업로드할 수 없습니다.";
  auto [mixed, mixedBoxes] = UploadTo(receiver_.Url("/ok/mixed"), false);
  EXPECT_EQ(std::optional<bool>(false), mixed);
  EXPECT_EQ(Strings{kMixed}, mixedBoxes);
  EXPECT_EQ(kMixed, Text(L"ErrorText"));
  EXPECT_EQ(4u, receiver_.WaitForRequests(5, 500).size()) << "nothing was sent";
}

// ---------------------------------------------------------------- dropped mid-call
// Runs `g_drop` from the thread's timer once the watcher has seen the box:
// what a page's setTimeout does while the control's box runs its message loop.
std::function<void()> g_drop;  // touched on the test thread only
std::atomic<bool> g_boxShown{false}, g_dropped{false};
void CALLBACK DropWhenBoxShown(HWND, UINT, UINT_PTR, DWORD) {
  if (!g_boxShown || g_dropped || !g_drop) return;
  g_drop();
  g_dropped = true;
}

TEST_F(HostilePage, APageMayDropTheControlInItsHandlerOrWhileItsBoxIsOpen) {
  HMODULE module = ::GetModuleHandleA("BRIMLET.OCX");
  ASSERT_TRUE(module);
  auto canUnload = scenario::Export<HRESULT(WINAPI*)()>(module, "DllCanUnloadNow");
  ASSERT_TRUE(canUnload);
  auto everythingReleased = [&] {
    return fw::PumpUntil([&] { return canUnload() == S_OK; }, 15000);
  };

  // The page's UploadFinish handler removes the control, so the host lets
  // go of it from inside the event.
  ListSmallFile();
  const std::string url = receiver_.Url("/ok/dropped");
  ASSERT_EQ(S_OK, control_->Put(L"ScriptURL", Variant::FromString(scenario::Wide(url.c_str()))));
  bool dropped = false;
  control_->events().SetHandler([&](const container::EventCall&) {
    control_.reset();
    dropped = true;
  });
  {
    drivers::DialogWatcher watcher(scenario::LeaveProgressOpen);
    ASSERT_EQ(S_OK, control_->Call(L"Upload"));
    EXPECT_TRUE(fw::PumpUntil([&] { return dropped; }, 30000));
    EXPECT_TRUE(MessageTexts(watcher).empty());
  }
  EXPECT_TRUE(everythingReleased()) << "the control was not freed";
  EXPECT_EQ(1u, receiver_.WaitForRequests(1).size());

  // A timer of the page removes the control while the control's message box
  // is open; the page's script still holds the object it was calling.
  control_ = scenario::HostControl();
  ASSERT_TRUE(control_);
  ASSERT_EQ(S_OK, control_->Put(L"MaxFileCount", Variant::FromLong(0)));
  fw::ComPtr<IDispatch> script(control_->dispatch());
  const DISPID addFile = Id(L"AddFile");
  g_boxShown = false;
  g_dropped = false;
  g_drop = [&] { control_.reset(); };
  auto pickers = drivers::AnswerPickers({{small_}, {}, false});
  drivers::DialogWatcher watcher([&](const drivers::DialogSeen& seen) {
    if (drivers::IsOpenFileDialog(seen.window)) return pickers(seen);
    g_boxShown = true;
    return g_dropped ? IDOK : 0;  // left open until the page has dropped the control
  });
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &DropWhenBoxShown);
  ASSERT_NE(0u, timer);
  DISPPARAMS none{};
  EXPECT_EQ(S_OK, script->Invoke(addFile, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr));
  ::KillTimer(nullptr, timer);
  g_drop = nullptr;
  EXPECT_TRUE(g_dropped) << "the timer never ran";
  EXPECT_FALSE(control_);
  EXPECT_EQ(Strings{kTooMany}, MessageTexts(watcher));
  // The orphan answers as a control without a window does.
  EXPECT_EQ(S_OK, script->Invoke(addFile, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr));
  script.reset();
  EXPECT_TRUE(everythingReleased()) << "the control was not freed";

  control_ = scenario::HostControl();
  ASSERT_TRUE(control_);
  ExpectAPlainUploadStillArrives();
}

}  // namespace
