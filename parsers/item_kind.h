// Which kind of item the host names: a URL or a local path.
#pragma once
#include "parsers/text_convert.h"

// Only a lower-case "ht" start makes a URL (http:, https:, and a relative path
// such as htdocs\a.mp3 alike); "HTTP://" is a local path.
inline bool IsUrlItem(const Utf16Unit *item) { return item[0] == 0x68 && item[1] == 0x74; }
