// libopenmpt plays a cut-off module as if nothing were missing; this check refuses one.
#pragma once
#include <cstddef>
#include <cstdint>

// False when an XM, MOD, S3M or IT file ends before the data its own headers announce.
// True for those that are whole, and for every other format (left to libopenmpt).
bool ModuleDataComplete(const uint8_t* data, size_t size);
