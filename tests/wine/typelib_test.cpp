// The type library as hosts, script engines and object browsers read it, and
// the control's own IDispatch agreeing with it.
#include <windows.h>
#include <oleauto.h>
#include <olectl.h>
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "brimlet_idl.h"
#include "framework/com_ptr.h"
#include "tests/wine/support/scenario.h"

namespace {

struct Member {
  const wchar_t* name;
  DISPID id;
  VARTYPE type;  // properties only
};
const Member kProperties[] = {
    {L"ScriptURL", 1, VT_BSTR},          {L"Filter", 2, VT_BSTR},         {L"MaxFileSize", 3, VT_I4},
    {L"MaxTotalSize", 4, VT_I4},         {L"MaxFileCount", 5, VT_I4},     {L"ShowProgress", 6, VT_BOOL},
    {L"EnablePopupMenu", 7, VT_BOOL},    {L"ServerResponse", 8, VT_BOOL},
    // Read-only, for pages that follow the list and the last upload.
    {L"FileCount", 17, VT_I4},           {L"TotalSize", 18, VT_R8},       {L"ResponseStatus", 19, VT_I4},
    {L"ResponseText", 20, VT_BSTR},      {L"ErrorText", 21, VT_BSTR}};
constexpr UINT kWritableProperties = 8;
const Member kMethods[] = {{L"Upload", 9, VT_EMPTY},        {L"Remove", 10, VT_EMPTY},
                           {L"RemoveAll", 11, VT_EMPTY},    {L"AddFile", 12, VT_EMPTY},
                           {L"SelectFolder", 13, VT_EMPTY}, {L"UploadCancel", 14, VT_EMPTY},
                           {L"AddFolder", 16, VT_EMPTY},    {L"AboutBox", DISPID_ABOUTBOX, VT_EMPTY},
                           {L"FilePath", 22, VT_BSTR},      {L"FileSize", 23, VT_R8},
                           {L"SetFormField", 24, VT_EMPTY}, {L"ClearFormFields", 25, VT_EMPTY},
                           {L"SetRequestHeader", 26, VT_EMPTY}};
// Arguments of each method, in the order above.
const short kMethodArguments[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 2, 0, 2};

// The library describes the module it is built into: 32-bit or 64-bit.
#ifdef _WIN64
constexpr SYSKIND kOwnSyskind = SYS_WIN64;
#else
constexpr SYSKIND kOwnSyskind = SYS_WIN32;
#endif

std::wstring Name(ITypeInfo* info, MEMBERID id) {
  BSTR name = nullptr;
  info->GetDocumentation(id, &name, nullptr, nullptr, nullptr);
  std::wstring result = name ? name : L"";
  ::SysFreeString(name);
  return result;
}

class TypeLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    scenario::EnsureRegistered();
    ASSERT_EQ(S_OK, ::LoadRegTypeLib(LIBID_BRIMLETLib, 1, 0, 0x0409, library_.put()));
  }
  fw::ComPtr<ITypeInfo> Info(REFGUID guid) {
    fw::ComPtr<ITypeInfo> info;
    EXPECT_EQ(S_OK, library_->GetTypeInfoOfGuid(guid, info.put()));
    return info;
  }
  fw::ComPtr<ITypeLib> library_;
};

TEST_F(TypeLibrary, HasTheLibraryAttributesAndThreeTypesInOrder) {
  TLIBATTR* attributes = nullptr;
  ASSERT_EQ(S_OK, library_->GetLibAttr(&attributes));
  EXPECT_EQ(0x0409u, attributes->lcid);
  EXPECT_EQ(kOwnSyskind, attributes->syskind);
  EXPECT_EQ(1, attributes->wMajorVerNum);
  EXPECT_EQ(0, attributes->wMinorVerNum);
  EXPECT_TRUE(attributes->wLibFlags & LIBFLAG_FCONTROL);
  library_->ReleaseTLibAttr(attributes);

  BSTR name = nullptr, help = nullptr, file = nullptr;
  ASSERT_EQ(S_OK, library_->GetDocumentation(-1, &name, &help, nullptr, &file));
  EXPECT_STREQ(L"BRIMLETLib", name);
  EXPECT_STREQ(L"Brimlet ActiveX Control module", help);
  EXPECT_NE(nullptr, file ? std::wcsstr(file, L"Brimlet.hlp") : nullptr);
  ::SysFreeString(name);
  ::SysFreeString(help);
  ::SysFreeString(file);

  ASSERT_EQ(3u, library_->GetTypeInfoCount());
  const wchar_t* order[] = {L"_DBrimlet", L"_DBrimletEvents", L"Brimlet"};
  for (UINT i = 0; i < 3; ++i) {
    BSTR typeName = nullptr;
    library_->GetDocumentation(i, &typeName, nullptr, nullptr, nullptr);
    EXPECT_STREQ(order[i], typeName);
    ::SysFreeString(typeName);
  }
}

TEST_F(TypeLibrary, DispatchInterfaceListsTheOriginalMembersFirstThenThePageMembers) {
  auto info = Info(DIID__DBrimlet);
  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(S_OK, info->GetTypeAttr(&attributes));
  EXPECT_EQ(TKIND_DISPATCH, attributes->typekind);
  EXPECT_EQ(TYPEFLAG_FHIDDEN | TYPEFLAG_FDISPATCHABLE,
            attributes->wTypeFlags & (TYPEFLAG_FHIDDEN | TYPEFLAG_FDISPATCHABLE | TYPEFLAG_FCANCREATE));
  const UINT vars = attributes->cVars;
  info->ReleaseTypeAttr(attributes);
  ASSERT_EQ(std::size(kProperties), vars);

  for (UINT i = 0; i < vars; ++i) {
    VARDESC* var = nullptr;
    ASSERT_EQ(S_OK, info->GetVarDesc(i, &var));
    EXPECT_EQ(VAR_DISPATCH, var->varkind);
    EXPECT_EQ(kProperties[i].id, var->memid);
    EXPECT_EQ(kProperties[i].type, var->elemdescVar.tdesc.vt) << i;
    EXPECT_EQ(kProperties[i].name, Name(info.get(), var->memid));
    EXPECT_EQ(i >= kWritableProperties, (var->wVarFlags & VARFLAG_FREADONLY) != 0) << i;
    info->ReleaseVarDesc(var);
  }

  // The methods the dispinterface itself declares, after IDispatch's own.
  std::vector<MEMBERID> methods;
  for (UINT i = 0;; ++i) {
    FUNCDESC* func = nullptr;
    if (FAILED(info->GetFuncDesc(i, &func))) break;
    if (func->memid < 0x60000000 || func->memid == DISPID_ABOUTBOX) {
      const size_t at = methods.size();
      if (at < std::size(kMethods)) {
        EXPECT_EQ(kMethodArguments[at], func->cParams) << at;
        EXPECT_EQ(kMethods[at].type == VT_EMPTY ? static_cast<VARTYPE>(VT_VOID) : kMethods[at].type, func->elemdescFunc.tdesc.vt) << at;
      }
      methods.push_back(func->memid);
    }
    info->ReleaseFuncDesc(func);
  }
  ASSERT_EQ(std::size(kMethods), methods.size());
  for (size_t i = 0; i < methods.size(); ++i) {
    EXPECT_EQ(kMethods[i].id, methods[i]);
    EXPECT_EQ(kMethods[i].name, Name(info.get(), methods[i]));
  }
}

TEST_F(TypeLibrary, EventInterfaceDeclaresUploadFinishWithALongArgument) {
  auto info = Info(DIID__DBrimletEvents);
  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(S_OK, info->GetTypeAttr(&attributes));
  EXPECT_EQ(TKIND_DISPATCH, attributes->typekind);
  EXPECT_FALSE(attributes->wTypeFlags & TYPEFLAG_FHIDDEN);
  info->ReleaseTypeAttr(attributes);

  MEMBERID id = 0;
  LPOLESTR name = const_cast<LPOLESTR>(L"UploadFinish");
  ASSERT_EQ(S_OK, info->GetIDsOfNames(&name, 1, &id));
  EXPECT_EQ(1, id);
  BSTR names[2] = {};
  UINT count = 0;
  ASSERT_EQ(S_OK, info->GetNames(1, names, 2, &count));
  ASSERT_EQ(2u, count);
  EXPECT_STREQ(L"success", names[1]);
  ::SysFreeString(names[0]);
  ::SysFreeString(names[1]);

  FUNCDESC* func = nullptr;
  UINT index = 0;
  for (;; ++index) {  // skip what the dispinterface inherits from IDispatch
    ASSERT_EQ(S_OK, info->GetFuncDesc(index, &func));
    if (func->memid == 1) break;
    info->ReleaseFuncDesc(func);
  }
  ASSERT_EQ(1, func->cParams);
  EXPECT_EQ(VT_I4, func->lprgelemdescParam[0].tdesc.vt);
  EXPECT_EQ(0, func->lprgelemdescParam[0].paramdesc.wParamFlags);
  EXPECT_EQ(VT_VOID, func->elemdescFunc.tdesc.vt);
  info->ReleaseFuncDesc(func);

  // The events added for pages: FilesChanged(long), UploadProgress(double, double).
  const struct {
    const wchar_t* name;
    MEMBERID id;
    std::vector<VARTYPE> arguments;
  } added[] = {{L"FilesChanged", 2, {VT_I4}}, {L"UploadProgress", 3, {VT_R8, VT_R8}}};
  for (const auto& event : added) {
    LPOLESTR eventName = const_cast<LPOLESTR>(event.name);
    ASSERT_EQ(S_OK, info->GetIDsOfNames(&eventName, 1, &id));
    EXPECT_EQ(event.id, id);
    for (index = 0;; ++index) {
      ASSERT_EQ(S_OK, info->GetFuncDesc(index, &func));
      if (func->memid == event.id) break;
      info->ReleaseFuncDesc(func);
    }
    ASSERT_EQ(static_cast<SHORT>(event.arguments.size()), func->cParams);
    for (SHORT i = 0; i < func->cParams; ++i) EXPECT_EQ(event.arguments[i], func->lprgelemdescParam[i].tdesc.vt);
    info->ReleaseFuncDesc(func);
  }
}

TEST_F(TypeLibrary, CoclassIsACreatableControlWithDefaultAndSourceInterfaces) {
  auto info = Info(CLSID_Brimlet);
  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(S_OK, info->GetTypeAttr(&attributes));
  EXPECT_EQ(TKIND_COCLASS, attributes->typekind);
  EXPECT_EQ(TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL,
            attributes->wTypeFlags & (TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL));
  EXPECT_EQ(2, attributes->cImplTypes);
  info->ReleaseTypeAttr(attributes);

  INT flags = 0;
  ASSERT_EQ(S_OK, info->GetImplTypeFlags(0, &flags));
  EXPECT_EQ(IMPLTYPEFLAG_FDEFAULT, flags);
  ASSERT_EQ(S_OK, info->GetImplTypeFlags(1, &flags));
  EXPECT_EQ(IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE, flags);
}

TEST_F(TypeLibrary, ControlAnswersNamesAsItsTypeInformationDoes) {
  fw::ComPtr<IDispatch> control;
  ASSERT_EQ(S_OK, ::CoCreateInstance(CLSID_Brimlet, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                     control.put_void()));
  fw::ComPtr<ITypeInfo> fromControl;
  ASSERT_EQ(S_OK, control->GetTypeInfo(0, 0, fromControl.put()));
  UINT count = 0;
  EXPECT_EQ(S_OK, control->GetTypeInfoCount(&count));
  EXPECT_EQ(1u, count);

  std::vector<Member> all(std::begin(kProperties), std::end(kProperties));
  all.insert(all.end(), std::begin(kMethods), std::end(kMethods));
  for (const Member& member : all) {
    LPOLESTR name = const_cast<LPOLESTR>(member.name);
    DISPID byControl = 0;
    MEMBERID byTypeInfo = 0;
    EXPECT_EQ(S_OK, control->GetIDsOfNames(IID_NULL, &name, 1, 0, &byControl));
    EXPECT_EQ(S_OK, fromControl->GetIDsOfNames(&name, 1, &byTypeInfo));
    EXPECT_EQ(member.id, byControl) << std::string(member.name, member.name + wcslen(member.name));
    EXPECT_EQ(byTypeInfo, byControl);
  }

  fw::ComPtr<IProvideClassInfo2> classInfo = control.As<IProvideClassInfo2>(IID_IProvideClassInfo2);
  ASSERT_TRUE(classInfo);
  GUID source{};
  EXPECT_EQ(S_OK, classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source));
  EXPECT_TRUE(::IsEqualGUID(DIID__DBrimletEvents, source));
  fw::ComPtr<ITypeInfo> coclass;
  ASSERT_EQ(S_OK, classInfo->GetClassInfo(coclass.put()));
  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(S_OK, coclass->GetTypeAttr(&attributes));
  EXPECT_TRUE(::IsEqualGUID(CLSID_Brimlet, attributes->guid));
  coclass->ReleaseTypeAttr(attributes);
}

}  // namespace
