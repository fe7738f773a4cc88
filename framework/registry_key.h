// Small registry helpers for self-registration.
#pragma once

#include <windows.h>
#include <optional>
#include <string>
#include <vector>

#include "framework/unique_handle.h"

namespace fw {

std::string GuidText(REFGUID guid);  // "{XXXXXXXX-...}"

// The registry view of the module's own architecture. A 64-bit Windows keeps
// the classes of 32-bit and 64-bit modules apart; each build registers where
// hosts of its own architecture look, and says so rather than leaving it to
// the process it happens to be loaded in.
constexpr REGSAM kOwnRegistryView = sizeof(void*) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;

// All of these work on HKEY_CLASSES_ROOT in kOwnRegistryView.
// Creates (or opens) HKEY_CLASSES_ROOT\path and sets its default value and,
// when given, one named value. Returns false on any failure.
bool SetClassesValue(const std::string& path, const std::string* defaultValue,
                     const char* valueName = nullptr, const std::string* value = nullptr);
// Deletes HKEY_CLASSES_ROOT\path with everything below it; a missing key is
// not a failure.
bool DeleteClassesTree(const std::string& path);
// Deletes one subkey tree and one named value below HKEY_CLASSES_ROOT\path;
// missing ones are not failures.
bool DeleteClassesValue(const std::string& path, const char* valueName);
bool ClassesKeyExists(const std::string& path);
// True when the key has no subkeys and no values left.
bool ClassesKeyEmpty(const std::string& path);

// A machine policy list: the strings of HKEY_LOCAL_MACHINE\path's value
// `name`, read through the 64-bit view, so that a 32-bit and a 64-bit module
// read the same list. Nothing when the key or the value is missing. A single
// string (REG_SZ) is a list of one; a value of any other type, or one that
// cannot be read, is a list of none: a policy that was meant is never read
// as no policy.
std::optional<std::vector<std::wstring>> ReadMachinePolicyList(const wchar_t* path, const wchar_t* name);

}  // namespace fw
