// A client's TCP connection to the SCPI or the relay port. Its input waits
// while one of its requests is at the link, so a flooding client has at most
// one exchange queued before anybody else's, and while its answers are not
// being read, so its memory stays bounded.
#pragma once
#include <asio.hpp>
#include <chrono>
#include <memory>
#include <set>
#include <string>

#include "server/instrument_worker.h"
#include "server/relay_frames.h"
#include "server/scpi_commands.h"
#include "server/scpi_lines.h"

enum class ClientKind { Scpi, Relay };
inline const char* ClientKindName(ClientKind kind) {
  return kind == ClientKind::Scpi ? "scpi" : "relay";
}

// What every connection shares. The link-thread part is touched only by jobs.
struct ServerShared {
  asio::io_context* io;
  InstrumentWorker* worker;
  SoftLimits limits{};
  std::set<std::shared_ptr<struct ClientConnection>> clients;
  // Link thread only.
  ScpiSettings settings;
  std::chrono::steady_clock::time_point last_live_report{};
};

struct ClientConnection {
  ClientConnection(ClientKind kind, ServerShared* shared, asio::ip::tcp::socket socket)
      : kind(kind), shared(shared), socket(std::move(socket)) {}

  ClientKind kind;
  ServerShared* shared;
  asio::ip::tcp::socket socket;
  std::string name;  // "scpi 127.0.0.1:41234"
  uint8_t buffer[4096];
  bool reading = false;
  bool busy = false;  // a request is at the link
  bool closed = false;
  std::deque<std::string> outgoing;
  size_t outgoing_bytes = 0;
  bool writing = false;
  ScpiLineReader lines;
  std::deque<ScpiLine> messages;
  RelayClientParser relay;
  ScpiErrorQueue errors;  // link thread only
};

// Adopts a connected socket and starts serving it.
void StartClient(ServerShared* shared, ClientKind kind, asio::ip::tcp::socket socket);
void CloseClient(const std::shared_ptr<ClientConnection>& client);
