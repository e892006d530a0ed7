// The listener's volume and width, kept per user for next time in
// %APPDATA%\musicdisk\listener.ini.
#pragma once
#include <windows.h>

// Once start-up is done: what was kept, each value that cannot be read giving its default, and
// the volume on the stream.
void LoadListenerSettings();
// Sets the volume in percent (held to 0..100), heard at once; the screen reader is told, and it
// is kept.
void SetListenerVolume(HWND window, int percent);
// The volume or the width changed: the screen reader is told, and both are kept.
void ListenerChanged(HWND window);
