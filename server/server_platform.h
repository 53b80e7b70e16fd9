// What the server needs of its system; *_posix.cpp and *_win.cpp each
// provide all of it.
#pragma once

// Process set-up before anything else runs.
void PrepareServerProcess();
// True where LINK names COM ports (Windows), false where it names device paths.
bool ServerLinksAreComPorts();
