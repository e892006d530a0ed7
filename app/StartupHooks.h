// Where a measuring build of the program joins in: an object file of its own, linked only into
// the soak's or the start-up benchmark's build, sets these before WinMain runs. The program
// itself leaves them null.
#pragma once

// Once COM and GDI+ are up.
extern void (*OnGdiplusStarted)();
// Once the skin was first shown; true ends the program there, before the player starts.
extern bool (*OnFirstPresent)();
