// What the toolkit does not offer on X11, asked of the X server over the toolkit's own
// connection. On other platforms the functions ask nothing of a server: they answer
// False, or do what the toolkit itself can.
#pragma once

class QWidget;

namespace kolvane::x11 {

// Whether the application talks to an X server.
bool Available();

// Whether a key that the server's keyboard mapping gives Escape is down now, whichever
// program has the keyboard. One round trip; with lookUpKeys, the keys are looked up in the
// server's mapping first (one more).
bool EscapeDown(bool lookUpKeys);

// Leaves the window's title empty where the toolkit would name it after the application.
// Creates the native window; call it before the window is shown.
void ClearTitle(QWidget& window);

// Makes front transient for back, also when front is on screen already.
void SetTransientFor(QWidget& front, QWidget& back);

}  // namespace kolvane::x11
