// The module's registry list, which its self-registration and the Windows
// Installer packages both carry: the identities it registers are the ones the
// type library declares.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "module/portable/registration_table.h"

namespace brimlet {
namespace {

std::set<std::string> IdlUuids() {
  std::ifstream idl(std::string(BRIMLET_SOURCE_DIR) + "/module/brimlet.idl");
  std::stringstream text;
  text << idl.rdbuf();
  std::set<std::string> uuids;
  const std::string source = text.str();
  const std::regex uuid(R"(uuid\(([0-9A-Fa-f-]{36})\))");
  for (auto at = std::sregex_iterator(source.begin(), source.end(), uuid); at != std::sregex_iterator(); ++at) {
    std::string id = (*at)[1];
    std::transform(id.begin(), id.end(), id.begin(), ::toupper);
    uuids.insert("{" + id + "}");
  }
  return uuids;
}

TEST(RegistrationTableTest, TheLibraryItsInterfacesAndTheControlAreTheOnesTheTypeLibraryDeclares) {
  const std::set<std::string> declared = IdlUuids();
  ASSERT_EQ(4u, declared.size());
  std::set<std::string> registered;
  const std::regex identity(R"(^(TypeLib|Interface)\\(\{[0-9A-F-]{36}\})|^CLSID\\(\{[0-9A-F-]{36}\})\\Control$)");
  for (const fw::RegistryEntry& entry : ModuleRegistryEntries(32)) {
    std::smatch match;
    if (std::regex_search(entry.key, match, identity)) registered.insert(match[2].matched ? match[2] : match[3]);
  }
  EXPECT_EQ(declared, registered);
}

}  // namespace
}  // namespace brimlet
