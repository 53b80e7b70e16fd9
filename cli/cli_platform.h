// What the client needs of its system; *_posix.cpp and *_win.cpp each
// provide all of it.
#pragma once
#include <string>
#include <vector>

#include "cli/records.h"
#include "link/link_address.h"

// Console and process set-up before anything else runs.
void PrepareProcess();

// SIGINT, SIGTERM and SIGHUP (Ctrl+C, Ctrl+Break and a closed console on
// Windows). Until the instrument is identified one ends the process at once
// with exit_code, or 128 + its number when exit_code is -1; after that it
// only sets a flag that every loop and wait looks at, so that the link is
// closed with the disconnect command first. A second one ends the process.
void WatchForInterrupts(int exit_code);
bool Interrupted();
int InterruptingSignal();  // the signal's number, 0 before one came
// Whether an identified link is open, for the signal handler. Closing it
// after a signal ends the process.
void SetLinkOpen(bool open);

// True where LINK names COM ports (Windows), false where it names device paths.
bool LinksAreComPorts();

std::vector<SerialPortInfo> ListSerialPorts();
