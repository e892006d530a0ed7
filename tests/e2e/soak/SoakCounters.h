// For the soak: the process's own figures, read from inside where wine gives no GDI count.
#pragma once

// Starts a thread that prints, once a second and flushed,
//   counters <unix ms> gdi <n> handles <n> private <bytes> workingset <bytes> song <index>
// Apart from the playlist's current index, which tells song changes apart from presses, it reads
// only what the system says about the process.
void StartSoakCounters();
