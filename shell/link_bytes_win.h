// Bytes from the link's reader threads are parsed on the window's thread as
// soon as they come, not at the next poll tick.
#pragma once
#include <windows.h>

constexpr UINT WM_LINK_BYTES = WM_APP + 1;

void PostLinkBytes(void*);  // from any thread; one message stands for any number of calls
void FeedLinkBytes();       // the window's answer to WM_LINK_BYTES
