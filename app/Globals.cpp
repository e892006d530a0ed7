#include "app/Globals.h"

TVfsFile* Archive = nullptr;
TPlayList* PlayList = nullptr;
char* NoInfoText = nullptr;
OSVERSIONINFOA OsVersion = {};
TPlayerWnd* MainWindow = nullptr;
TSkinButton* Buttons[ButtonCount] = {};
