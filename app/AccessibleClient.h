// What a screen reader finds in the window: the client, named by the caption, whose value is the
// song that plays, and one push button per skin button, named from the buttons' table.
#pragma once
#include <windows.h>

#include <cstdint>

// WM_GETOBJECT: the client's object for OBJID_CLIENT, the default for every other object.
LRESULT OnGetObject(HWND hwnd, WPARAM flags, LPARAM objectId);
// WM_DESTROY: clients that still hold the object get RPC_E_DISCONNECTED from then on.
void DisconnectAccessible();

// What the reader is told of when a command changed it.
struct TPlayState {
  bool playing;
  bool paused;
  int32_t song;
};
TPlayState CurrentPlayState();
// Play/pause's new name and the client's new value, as win events.
void AnnounceChanges(HWND hwnd, const TPlayState& before);
