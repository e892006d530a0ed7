// Reads skin.ini from the current directory: extra songs into the playlist, then the six buttons.
#pragma once

class TSkinButton;

void LoadSkin(TSkinButton* buttons[6]);
