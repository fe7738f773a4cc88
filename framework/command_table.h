// Menu commands routed to member functions from one table, and the update
// pass that enables and checks a popup's items just before it shows. The
// members a table names are the same ones a dispatch table names, so a menu
// command and a script call run the same code.
#pragma once

#include <windows.h>
#include <cstddef>

namespace fw {

// One menu item during the update pass.
class CommandUI {
 public:
  CommandUI(HMENU menu, UINT position, UINT id) : menu_(menu), position_(position), id_(id) {}
  UINT id() const { return id_; }
  void Enable(bool enabled) {
    ::EnableMenuItem(menu_, position_, MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
  }
  void SetCheck(bool checked) {
    ::CheckMenuItem(menu_, position_, MF_BYPOSITION | (checked ? MF_CHECKED : MF_UNCHECKED));
  }

 private:
  HMENU menu_;
  UINT position_;
  UINT id_;
};

template <class T>
struct CommandEntry {
  UINT id;
  void (T::*handler)();             // null: the command has only an update rule
  void (T::*update)(CommandUI& ui); // null: the item is left as the menu has it
};

// Runs the handler of `id`; false when the table has none.
template <class T, std::size_t N>
bool RouteCommand(T& object, const CommandEntry<T> (&table)[N], UINT id) {
  for (const auto& entry : table) {
    if (entry.id == id && entry.handler) {
      (object.*entry.handler)();
      return true;
    }
  }
  return false;
}

// Runs the update rule of every item of `menu` that has one (items of
// submenus are updated when their own popup opens).
template <class T, std::size_t N>
void UpdateMenuItems(T& object, const CommandEntry<T> (&table)[N], HMENU menu) {
  const int count = ::GetMenuItemCount(menu);
  for (int position = 0; position < count; ++position) {
    const UINT id = ::GetMenuItemID(menu, position);
    if (id == 0 || id == static_cast<UINT>(-1)) continue;  // separator or submenu
    for (const auto& entry : table) {
      if (entry.id == id && entry.update) {
        CommandUI ui(menu, static_cast<UINT>(position), id);
        (object.*entry.update)(ui);
      }
    }
  }
}

}  // namespace fw
