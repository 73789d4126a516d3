#pragma once
// What screen readers learn of the program's windows, through Active
// Accessibility (oleacc, bound late). A window that holds controls describes
// them as its children in the order of its layout: its child windows through
// their standard objects, and the controls without a window of their own
// (labels, images, markup text with its links) through objects of ours; a
// windowed control that a label names (the label's FocusControl) takes the
// label's text as its name and its access key as its shortcut. Everything
// else is the system's standard description of the window.
//
// Default actions run once the request has returned, so that a screen reader
// never waits for a dialog that the action opens; an object whose control is
// gone answers CO_E_OBJNOTCONNECTED.

#include <windows.h>

namespace toolkit {

class TWinControl;

// The answer to WM_GETOBJECT for `control`, or 0 when the system's own answer
// serves: nothing to add, an object other than the client area, or no oleacc.
LRESULT AccessibleObjectOf(TWinControl& control, WPARAM wParam, LPARAM objectId);

}  // namespace toolkit
