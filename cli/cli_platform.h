// What the client needs of its system; *_posix.cpp and *_win.cpp each
// provide all of it.
#pragma once
#include <string>
#include <vector>

#include "cli/link_address.h"
#include "cli/records.h"

// Console and process set-up before anything else runs.
void PrepareProcess();

// Ctrl+C (and a termination request) only sets a flag that the long-running
// loops look at; a second one ends the process at once.
void WatchForInterrupts();
bool Interrupted();

// True where LINK names COM ports (Windows), false where it names device paths.
bool LinksAreComPorts();

// Opens address and installs it as the link's current transport: 0, or -1
// with the system's reason. The caller ends it with CloseTransport either way.
int OpenLink(const LinkAddress& address, std::string* reason);

std::vector<SerialPortInfo> ListSerialPorts();
