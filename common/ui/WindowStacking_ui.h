// Stacking a window without activating it.
#pragma once

class wxWindow;

// Brings a shown window to the top without making it the active one: wxWindow::Raise presents
// the window, which activates it, so keys typed into another window would land in it.
void RaiseWithoutFocus(wxWindow* window);
