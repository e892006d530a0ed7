// The keyboard's way to the skin buttons: a focus that Tab moves, shown as a ring drawn into the
// back buffer once the keyboard was used, and a press that posts what a click posts.
#pragma once
#include <windows.h>

// Posts what a click on button `index` of the array posts: its command, and for the eject button
// the close that its release brings.
void PressButton(HWND hwnd, int index);

// The button with the ring, or -1 while no ring is shown.
int FocusedButton();
// Tab (step 1) and Shift+Tab (step -1): the next existing button, wrapping, gets the ring.
void MoveFocus(HWND hwnd, int step);
// Puts the ring on button `index`, as a screen reader may ask.
void FocusButton(HWND hwnd, int index);
// A left press: the ring goes until the keyboard moves the focus again.
void HideFocusRing();
// Around a redraw of the buttons: the ring leaves the back buffer and comes back over the new
// pictures. True from Lift when there was a ring.
bool LiftFocusRing();
void LayFocusRing();

// Screen readers count only the buttons that exist: child 1 is the first of them.
long ChildIdOfButton(int index);
int ButtonOfChildId(long childId);  // -1 for none
