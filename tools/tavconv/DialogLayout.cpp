// Anchored placement of a dialog's controls on WM_SIZE.
#include "DialogLayout.h"

void CDialogLayout::Capture(HWND window, const ControlAnchor* controls, size_t count) {
  dialog = window;
  placed.clear();
  for (size_t index = 0; index < count; ++index) {
    HWND control = GetDlgItem(window, controls[index].id);
    if (!control) continue;
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    placed.push_back({controls[index].id, controls[index].anchors, rect});
  }
  RECT area;
  GetClientRect(window, &area);
  client = {area.right, area.bottom};
  GetWindowRect(window, &area);
  minimum = {area.right - area.left, area.bottom - area.top};
}

void CDialogLayout::Apply() const {
  if (!dialog || placed.empty()) return;
  RECT area;
  GetClientRect(dialog, &area);
  // Smaller than the template (a minimised window, or before the minimum applies): keep the template's places.
  const int extraWidth = area.right > client.cx ? area.right - client.cx : 0;
  const int extraHeight = area.bottom > client.cy ? area.bottom - client.cy : 0;
  HDWP positions = BeginDeferWindowPos(static_cast<int>(placed.size()));
  for (const Placed& control : placed) {
    RECT rect = control.rect;
    if (control.anchors & kStretchWidth) rect.right += extraWidth;
    if (control.anchors & kStretchHeight) rect.bottom += extraHeight;
    if (control.anchors & kFollowRight) OffsetRect(&rect, extraWidth, 0);
    if (control.anchors & kFollowBottom) OffsetRect(&rect, 0, extraHeight);
    HWND window = GetDlgItem(dialog, control.id);
    if (positions)
      positions = DeferWindowPos(positions, window, nullptr, rect.left, rect.top, rect.right - rect.left,
                                 rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
    else
      SetWindowPos(window, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (positions) EndDeferWindowPos(positions);
  // Labels with ellipses and the log's scroll bars must redraw for their new width.
  InvalidateRect(dialog, nullptr, TRUE);
}

void CDialogLayout::Scale(int numerator, int denominator) {
  if (denominator <= 0) return;
  for (Placed& control : placed) {
    control.rect.left = MulDiv(control.rect.left, numerator, denominator);
    control.rect.top = MulDiv(control.rect.top, numerator, denominator);
    control.rect.right = MulDiv(control.rect.right, numerator, denominator);
    control.rect.bottom = MulDiv(control.rect.bottom, numerator, denominator);
  }
  client = {MulDiv(client.cx, numerator, denominator), MulDiv(client.cy, numerator, denominator)};
  minimum = {MulDiv(minimum.cx, numerator, denominator), MulDiv(minimum.cy, numerator, denominator)};
}
