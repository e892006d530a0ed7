// Reads skin.ini from the current directory: extra songs into the playlist, then the six buttons.
#pragma once
#include "format/DiskFormat.h"

class TSkinButton;

void LoadSkin(TSkinButton* buttons[ButtonCount]);
