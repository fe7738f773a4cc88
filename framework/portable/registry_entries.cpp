#include "framework/portable/registry_entries.h"

namespace fw {
namespace {

void ReplaceAll(std::string& text, const std::string& mark, const std::string& by) {
  for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + by.size()))
    text.replace(at, mark.size(), by);
}

}  // namespace

std::string WithModulePath(const std::string& value, const std::string& modulePath) {
  const size_t split = modulePath.rfind('\\');
  std::string result = value;
  ReplaceAll(result, kModuleFolderMark, split == std::string::npos ? std::string() : modulePath.substr(0, split));
  ReplaceAll(result, kModulePathMark, modulePath);
  return result;
}

}  // namespace fw
