// The agent every HTTP request of the plug-in names: the media library's
// downloads (set as its option) and the WAV-only reader's own requests.
#pragma once

#define TANDREL_HTTP_AGENT "Lavf/55.37.101"
static const char kHttpAgent[] = TANDREL_HTTP_AGENT;
static const wchar_t kHttpAgentWide[] = L"" TANDREL_HTTP_AGENT;
