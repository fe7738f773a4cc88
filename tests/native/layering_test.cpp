// The layering of the source tree, read from the include lines themselves so
// that it cannot drift from docs/architecture.md:
//  - the product's folders include only to their right along
//    module -> control -> progress -> upload -> framework;
//  - the container, the test drivers and the demo sit beside the product
//    and reach it only through the framework and the identifier headers;
//  - nothing of the product includes the container, the tests or the demo;
//  - a file under a portable/ folder includes only the standard library and
//    other portable files, so the native build can compile it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Each checked folder and the folders its files may include besides their
// own. Folders not listed here (the scenarios, the native tests, the
// benchmarks, the tools) may include anything.
const std::map<std::string, std::set<std::string>>& AllowedIncludes() {
  static const std::map<std::string, std::set<std::string>> allowed{
      {"framework", {}},
      {"upload", {"framework"}},
      {"progress", {"upload", "framework"}},
      {"control", {"progress", "upload", "framework"}},
      {"module", {"control", "progress", "upload", "framework"}},
      {"container", {"framework"}},
      {"tests/drivers", {"container", "framework"}},
      // The demo reads what the server received with the upload's own framing.
      {"demo", {"tests/drivers", "tests/receiver", "container", "upload", "framework"}},
      {"tests/receiver", {}},
  };
  return allowed;
}

// Identifier headers (dispatch ids, class ids, resource ids) are shared by
// the type library, the resources, the module and whoever drives it; they
// hold only constants and include nothing of the code, so any file may
// include them (the native build still fails on one that stops being
// portable).
bool IsIdentifierHeader(const std::string& include) {
  const std::string suffix = "_ids.h";
  return include.size() > suffix.size() &&
         include.compare(include.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool IsPortable(const std::string& relativePath) {
  return relativePath.find("/portable/") != std::string::npos;
}

// The checked folder a path belongs to: the longest listed folder that is a
// prefix of it ("tests/drivers/x.h" belongs to tests/drivers, not tests).
std::string OwningFolder(const std::string& relativePath) {
  std::string best;
  for (const auto& [folder, unused] : AllowedIncludes()) {
    if (relativePath.rfind(folder + "/", 0) == 0 && folder.size() > best.size()) best = folder;
  }
  return best;
}

struct Include {
  std::string text;
  bool angled = false;
  int line = 0;
};

std::vector<Include> IncludesOf(const fs::path& file) {
  static const std::regex directive(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
  std::vector<Include> includes;
  std::ifstream in(file);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    std::smatch match;
    if (std::regex_search(line, match, directive)) {
      includes.push_back({match[2].str(), match[1].str() == "<", number});
    }
  }
  return includes;
}

std::vector<std::string> SourcesUnder(const fs::path& root, const std::string& folder) {
  std::vector<std::string> sources;
  const fs::path base = root / folder;
  if (!fs::is_directory(base)) return sources;
  for (const auto& entry : fs::recursive_directory_iterator(base)) {
    const std::string extension = entry.path().extension().string();
    if (entry.is_regular_file() && (extension == ".cpp" || extension == ".h")) {
      sources.push_back(fs::relative(entry.path(), root).generic_string());
    }
  }
  std::sort(sources.begin(), sources.end());
  return sources;
}

// Every fault in one file, one line each, so a failure names them all.
std::vector<std::string> LayeringFaults(const fs::path& root, const std::string& file) {
  std::vector<std::string> faults;
  const std::string folder = OwningFolder(file);
  const std::set<std::string>& allowed = AllowedIncludes().at(folder);
  for (const Include& include : IncludesOf(root / file)) {
    const std::string where = file + ":" + std::to_string(include.line) + " includes " + include.text;
    if (include.angled) {
      // The standard library's headers have no extension; <windows.h>,
      // <wininet.h>, <gtest/gtest.h> and the like do.
      if (IsPortable(file) && include.text.find('.') != std::string::npos) {
        faults.push_back(where + ": a portable file includes only the standard library");
      }
      continue;
    }
    if (IsIdentifierHeader(include.text)) continue;
    // Includes are written from the repository root; a bare name is a
    // generated or resource header found through the build's include path.
    if (include.text.find('/') == std::string::npos) {
      if (IsPortable(file)) faults.push_back(where + ": a portable file includes only portable files");
      continue;
    }
    if (IsPortable(file) && !IsPortable(include.text)) {
      faults.push_back(where + ": a portable file includes only portable files");
    }
    const std::string target = OwningFolder(include.text);
    if (target != folder && allowed.count(target) == 0) {
      faults.push_back(where + ": " + folder + " may not include " +
                       (target.empty() ? include.text.substr(0, include.text.find('/')) : target));
    }
  }
  return faults;
}

TEST(Layering, IncludesRunOneWayAndPortableFilesStayPortable) {
  const fs::path root = BRIMLET_SOURCE_DIR;
  std::vector<std::string> faults;
  for (const auto& [folder, unused] : AllowedIncludes()) {
    const std::vector<std::string> sources = SourcesUnder(root, folder);
    // A renamed folder must be renamed here too, or its files go unchecked.
    EXPECT_FALSE(sources.empty()) << folder << " has no sources";
    for (const std::string& file : sources) {
      if (OwningFolder(file) != folder) continue;  // a nested folder's file
      const std::vector<std::string> found = LayeringFaults(root, file);
      faults.insert(faults.end(), found.begin(), found.end());
    }
  }
  std::ostringstream report;
  for (const std::string& fault : faults) report << fault << '\n';
  EXPECT_TRUE(faults.empty()) << report.str();
}

}  // namespace
