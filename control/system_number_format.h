// The separators of the system locale, for the portable size texts.
#pragma once

#include "control/portable/size_text.h"

namespace brimlet {

// A separator that cannot be read stays "." or ",".
NumberSeparators SystemNumberSeparators();

}  // namespace brimlet
