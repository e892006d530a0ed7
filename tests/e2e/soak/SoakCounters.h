// For the soak: the process's own figures, read from inside where wine gives no GDI count.
#pragma once

// Starts a thread that prints, once a second and flushed,
//   counters <unix ms> gdi <n> handles <n> private <bytes> workingset <bytes>
// It reads only what the system says about the process, never the program's own state.
void StartSoakCounters();
