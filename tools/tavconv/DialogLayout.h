// Keeps a resizable dialog's controls in place: each control keeps its distance to the edges it is anchored to.
#pragma once

#include <windows.h>

#include <vector>

enum AnchorBits : unsigned {
  kAnchorLeft = 0,     // default: keeps its distance to the left and top edges
  kStretchWidth = 1,   // right edge follows the dialog's right side
  kStretchHeight = 2,  // bottom edge follows the dialog's bottom
  kFollowRight = 4,    // moves with the right side, keeping its width
  kFollowBottom = 8,   // moves with the bottom, keeping its height
};

struct ControlAnchor {
  int id;
  unsigned anchors;
};

class CDialogLayout {
 public:
  // Takes the controls' places in the dialog as it is now, which is also its smallest size.
  void Capture(HWND dialog, const ControlAnchor* controls, size_t count);
  // Places the controls for the dialog's current client size.
  void Apply() const;
  // After a DPI change the template's places are scaled like the system scales the dialog.
  void Scale(int numerator, int denominator);
  // For WM_GETMINMAXINFO: the window size it was created with.
  SIZE MinimumSize() const { return minimum; }

 private:
  struct Placed {
    int id;
    unsigned anchors;
    RECT rect;  // client coordinates at capture time
  };
  HWND dialog = nullptr;
  std::vector<Placed> placed;
  SIZE client = {};
  SIZE minimum = {};
};
