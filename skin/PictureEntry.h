// Finding a skin picture in the archive, and telling the user when it is not there.
#pragma once

constexpr int MissingPictureTextSize = 100;

// Makes `name` the archive's selected entry. When the archive does not hold it, says so in an
// error box with `caption` (no owner) and returns false.
bool SelectPictureEntry(const char* name, const char* caption);
