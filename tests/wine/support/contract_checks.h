// Windows-contract checks on the module's calls that end an object's life.
//
// Wine forgives a handle destroyed twice, a window destroyed after its
// parent took it along, or a window destroyed from a thread that does not
// own it; Windows does not, and inside a browser such a call frees what
// another part of the process is using. Install() loads BRIMLET.OCX into
// this program (and keeps it loaded) and redirects the module's imports of
// ImageList_Destroy, CloseHandle, DestroyWindow, DeleteObject, RegCloseKey,
// InternetCloseHandle, DestroyIcon and DestroyMenu to wrappers that first
// ask the system whether the object still exists, record the call when it
// does not, and then make the real call. Only the module's own calls are
// seen: what the system destroys on its behalf is judged by the call the
// module makes afterwards.
//
// A scenario program uses it in one line at namespace scope:
//   const auto* const g_contract = scenario::CheckContractInEveryTest();
// Every test of the program then fails on a violation made while it ran
// (including by a worker that ends just after it), and the program fails on
// one made after its last test. ExpectNoContractViolations() checks at a
// point of the caller's choosing.
#pragma once

#include <string>
#include <vector>

namespace testing {
class Environment;
}

namespace scenario {

class ContractChecks {
 public:
  // Loads the module and redirects its imports, once per program; false
  // (with the reason in *why) when the module cannot be loaded or one of the
  // calls is not among its imports.
  static bool Install(std::string* why = nullptr);
  // The calls recorded so far, each as "Call(value): what was wrong", and
  // forgets them.
  static std::vector<std::string> TakeViolations();
  // How many calls the wrappers have seen, violations or not: a check that
  // saw nothing proves nothing.
  static unsigned long CallsSeen();
};

// Waits (bounded) for the module's workers to end, then fails the current
// test with each violation recorded since the last check.
void ExpectNoContractViolations();

// Registers a global test environment that installs the checks before the
// first test and a listener that checks after every test.
::testing::Environment* CheckContractInEveryTest();

}  // namespace scenario
