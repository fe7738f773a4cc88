// The names the module is registered and created by that need no Windows
// header: the module's own code (module_ids.h) and the registry list the
// installer packages carry (registration_table) both take them from here.
#pragma once

namespace brimlet {

constexpr char kControlProgId[] = "BRIMLET.BrimletCtrl.1";
constexpr char kPropPageProgId[] = "BRIMLET.BrimletPropPage.1";

// OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT |
// OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE
constexpr unsigned long kControlMiscStatus = 0x00020191;

}  // namespace brimlet
