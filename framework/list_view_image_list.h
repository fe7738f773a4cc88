// An image list that belongs to its owner object and is only lent to a list
// view.
//
// A list view without LVS_SHAREIMAGELISTS destroys the image lists it holds
// when its window goes, whoever destroys that window (a DestroyWindow on it,
// or its parent's or owner's destruction). An owner that destroys the list
// as well destroys it twice: Wine forgives that, Windows frees memory that
// someone else may already use. So the list is lent, never given: from the
// first LendTo this object watches the list view's window (a subclass of
// the common controls), and on its WM_DESTROY takes the list back before
// the list view's own destruction runs. The list is destroyed exactly once,
// by this object, when it goes or on Reset.
//
// The list view and this object live on one thread: the subclass may only
// be installed and removed on the window's thread.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "framework/unique_handle.h"

namespace fw {

class ListViewImageList {
 public:
  ListViewImageList() = default;
  ListViewImageList(const ListViewImageList&) = delete;
  ListViewImageList& operator=(const ListViewImageList&) = delete;
  ~ListViewImageList() { Reset(); }

  // A new empty list of square 24-bit images of `size` pixels, replacing
  // (and destroying) the one held before; false if it could not be made.
  bool Create(int size, int initial, int growth);
  HIMAGELIST get() const { return list_.get(); }

  // Hands the list to `listView` as its image list of `kind` (LVSIL_SMALL,
  // LVSIL_NORMAL). Lending it again to the same window changes nothing.
  void LendTo(HWND listView, int kind);
  // Takes the list back from the list view, if that still exists, and
  // destroys it.
  void Reset();
  // Takes the list back from the list view and stops watching it; the list
  // is kept, and may be lent again.
  void TakeBack();

 private:
  static LRESULT CALLBACK WatchListView(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR id, DWORD_PTR self);

  UniqueImageList list_;
  HWND listView_ = nullptr;  // the window it is lent to, while it exists
  int kind_ = LVSIL_SMALL;
};

}  // namespace fw
