// What the client needs of its system; *_posix.cpp and *_win.cpp each
// provide all of it.
#pragma once
#include <string>
#include <vector>

#include "cli/records.h"
#include "link/link_address.h"

// Console and process set-up before anything else runs.
void PrepareProcess();

// Ctrl+C (and a termination request) only sets a flag that the long-running
// loops look at; a second one ends the process at once.
void WatchForInterrupts();
bool Interrupted();

// True where LINK names COM ports (Windows), false where it names device paths.
bool LinksAreComPorts();

std::vector<SerialPortInfo> ListSerialPorts();
