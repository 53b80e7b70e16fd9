// One connection to the instrument as the client runs it: open and identify,
// the commands' exchanges with their outcomes, and the disconnect.
#pragma once
#include <chrono>
#include <memory>
#include <vector>

#include "cli/command.h"
#include "cli/exit_codes.h"
#include "cli/records.h"
#include "link/link_address.h"
#include "link/link_session.h"

struct ClientSession {
  std::unique_ptr<LinkSession> link;  // the open connection's, or the last one's
  bool open = false;
  bool verbose = false;  // every frame in hex on stderr
  std::chrono::steady_clock::time_point log_start;
  std::vector<LiveRecord> live_records;  // reports not yet taken, oldest first
  bool tcp = false;                      // how the link ends is said by its kind
  bool bad_checksum[256] = {};           // a reply failed its checksum since the command went out
  bool disconnecting = false;
  std::chrono::steady_clock::time_point disconnect_start;
  // The process's own: whether a signal asks the client to end, and what is
  // told when a link opens or closes. Either may be null.
  bool (*interrupted)() = nullptr;
  void (*link_open)(bool open) = nullptr;
};

// Why a link whose transport ended is lost; client may be null.
std::string TransportEndReason(const ClientSession* client);

// A new client with no connection; verbose logs the frames of every one.
void StartClientSession(ClientSession* client, bool verbose);

// Opens the link and runs the identification with the window's rules.
Outcome OpenSession(ClientSession* client, const LinkAddress& address);
// Sends the disconnect command (unless the link is lost) and closes.
void CloseSession(ClientSession* client);
// Closes without a word to the instrument: after a lost link.
void DropSession(ClientSession* client);

// One command on the open session; its result goes to out.
Outcome RunLinkCommand(ClientSession* client, const Command& command, OutputFormat format,
                       LineSink* out);
// The same on a session that another front end opened and watches (the
// server's link thread).
Outcome RunLinkCommand(LinkSession* session, const Command& command, OutputFormat format,
                       LineSink* out);

// Why a live report request did not give a record; ok when it did.
Outcome RequestLiveReport(ClientSession* client, LiveRecord* record);
