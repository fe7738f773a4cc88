#include "framework/list_view_image_list.h"

namespace fw {

bool ListViewImageList::Create(int size, int initial, int growth) {
  Reset();
  list_.reset(::ImageList_Create(size, size, ILC_COLOR24, initial, growth));
  return static_cast<bool>(list_);
}

void ListViewImageList::LendTo(HWND listView, int kind) {
  if (!list_ || !listView) return;
  if (listView_ != listView || kind_ != kind) {
    TakeBack();
    // The subclass is told apart by this object's address, so that several
    // lists lent to one window each watch it.
    if (!::SetWindowSubclass(listView, &WatchListView, reinterpret_cast<UINT_PTR>(this),
                             reinterpret_cast<DWORD_PTR>(this))) {
      return;  // never lent unwatched
    }
    listView_ = listView;
    kind_ = kind;
  }
  ListView_SetImageList(listView_, list_.get(), kind_);
}

void ListViewImageList::Reset() {
  TakeBack();
  list_.reset();
}

void ListViewImageList::TakeBack() {
  if (!listView_) return;
  if (ListView_GetImageList(listView_, kind_) == list_.get()) ListView_SetImageList(listView_, nullptr, kind_);
  ::RemoveWindowSubclass(listView_, &WatchListView, reinterpret_cast<UINT_PTR>(this));
  listView_ = nullptr;
}

LRESULT CALLBACK ListViewImageList::WatchListView(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                                  UINT_PTR, DWORD_PTR self) {
  // The list view still holds its image lists here, and frees them later
  // in its own handling of the destruction.
  if (message == WM_DESTROY) reinterpret_cast<ListViewImageList*>(self)->TakeBack();
  return ::DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace fw
