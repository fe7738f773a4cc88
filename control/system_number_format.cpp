#include "control/system_number_format.h"

#include <windows.h>

namespace brimlet {
namespace {

void ReadLocaleString(LCTYPE type, std::string& value) {
  char buffer[20];
  if (GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, type, buffer, sizeof buffer) > 0)
    value = buffer;
}

}  // namespace

NumberSeparators SystemNumberSeparators() {
  NumberSeparators seps;
  ReadLocaleString(LOCALE_SDECIMAL, seps.decimal);
  ReadLocaleString(LOCALE_STHOUSAND, seps.thousands);
  return seps;
}

}  // namespace brimlet
