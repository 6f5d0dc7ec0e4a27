// A dialog with a sizing frame: it cannot be made smaller than it opened, a size
// grip is drawn in its lower right corner, and registered controls follow the
// right and bottom edges.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "ui/dialog.h"

namespace ui {

// Anchor flags; a SIZE flag overrides the MOVE flag of its axis.
inline constexpr int ANCHOR_MOVE_X = 1;  // keeps its distance to the right edge
inline constexpr int ANCHOR_MOVE_Y = 2;  // keeps its distance to the bottom edge
inline constexpr int ANCHOR_SIZE_X = 4;  // its right edge follows the dialog's
inline constexpr int ANCHOR_SIZE_Y = 8;  // its bottom edge follows the dialog's

class CResizingDialog : public Dialog {
 public:
  CResizingDialog(int template_id, HWND parent);

  // Registers a control (by ID) with anchor flags; flags of 0 register nothing.
  // Called before the window exists.
  void AddAnchor(int id, int flags);

  // The smallest window size (pixels) the user can drag to: the size the window
  // opened with, scaled when it moves to a monitor of another DPI; 0 before the
  // window exists and after it is destroyed.
  SIZE minimum_track_size() const { return {min_width_, min_height_}; }

 protected:
  BOOL OnInitDialog() override;
  std::optional<LRESULT> OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  // WM_SIZE: moves the anchored controls by the change since the previous size.
  virtual void OnSize(UINT type, int cx, int cy);
  void OnDpiChanged(UINT old_dpi) override;

 private:
  void OnPaint();
  LRESULT OnNcHitTest(WPARAM wparam, LPARAM lparam);
  // The size grip's width and height at the window's DPI.
  SIZE GripSize() const;

  bool grip_ = true;
  int min_width_ = 0;
  int min_height_ = 0;
  int last_width_ = 0;
  int last_height_ = 0;
  RECT grip_rect_ = {};
  // Control ID in the low word, flags in the high word.
  std::vector<uint32_t> anchors_;
};

}  // namespace ui
