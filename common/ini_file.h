// Integer settings written to an INI file as plain decimal text, the way the
// host and both companions read them back (the platform's integer reader).
#pragma once

// Writes `value` under [section] `key` of the INI file at `ini`, whole
// whatever its size; a failed write goes unnoticed.
void WriteIniInt(const wchar_t *ini, const wchar_t *section, const wchar_t *key, int value);
