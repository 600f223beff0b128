// A caller's file procedures (BASS_StreamCreateFileUser, buffered system) as
// a ByteSource. As in the library, a thread of its own calls the read
// procedure, from the start of the file onwards, and keeps what arrived; the
// format openers read from those bytes, waiting for what is still to come.
// The thread reads a little ahead of what the openers asked for, until the
// file ends (a read gives 0) or the stream is freed.
#pragma once
#include <windows.h>

#include "media/bass_api.h"
#include "standin/byte_source.h"

struct UserFileSource;

// Starts the reading thread; null, with nothing started, when it cannot.
// The length procedure's 0 is a file of unknown length.
UserFileSource *OpenUserFileSource(const BASS_FILEPROCS *procs, void *user, ByteSource *src);
// Stops the thread (after the read it is in returns), calls the close
// procedure and frees everything.
void CloseUserFileSource(UserFileSource *file);
