// One connection to the instrument as the client runs it: open and identify,
// the commands' exchanges with their outcomes, and the disconnect.
#pragma once
#include "cli/command.h"
#include "cli/exit_codes.h"
#include "cli/link_address.h"
#include "cli/records.h"

// Installs the frame observer: the answers' statuses for the outcomes, and
// with verbose every frame in hex on stderr.
void StartFrameLog(bool verbose);

// Opens the link and runs the identification with the window's rules.
Outcome OpenSession(const LinkAddress& address);
// Sends the disconnect command (unless the link is lost) and closes.
void CloseSession();
bool SessionOpen();
// Closes without a word to the instrument: after a lost link.
void DropSession();

// One command on the open session; its result goes to out.
Outcome RunLinkCommand(const Command& command, OutputFormat format, LineSink* out);

// Why a live report request did not give a record; ok when it did.
Outcome RequestLiveReport(LiveRecord* record);
