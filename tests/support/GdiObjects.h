// Live GDI objects of this process, for the tests and the soak build.
#pragma once

// Wine answers 0 from GetGuiResources; there, every handle index that is in use is counted instead.
unsigned GdiObjectCount();
