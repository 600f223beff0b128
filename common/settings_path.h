// Where "Tandrel.ini" lies: beside the executable that runs.
#pragma once
#include <stddef.h>

// Replaces everything after the last backslash of the NUL-terminated `path`
// (which lies in a buffer of `capacity` units) with "Tandrel.ini"; with no
// backslash the whole name is replaced. Returns false, and leaves `path`
// unchanged, when the result would not fit the buffer.
bool ReplaceFileNameWithIni(wchar_t *path, size_t capacity);

// The running executable's full path into `path` (capacity in units). False
// when it cannot be read or does not fit whole.
bool GetExecutablePath(wchar_t *path, size_t capacity);

// GetExecutablePath followed by ReplaceFileNameWithIni.
bool BuildSettingsPath(wchar_t *path, size_t capacity);
