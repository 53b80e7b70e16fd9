#include "server/server_run.h"

#include <asio.hpp>
#include <csignal>
#include <cstdio>
#include <optional>

#include "server/client_connection.h"
#include "server/mqtt_bridge.h"
#include "server/server_log.h"

namespace {

using asio::ip::tcp;

struct Listener {
  ClientKind kind;
  tcp::acceptor acceptor;
};

// Opens the listener, or says why not.
bool Listen(const ListenAddress& where, Listener* listener, std::string* reason) {
  std::error_code error;
  const tcp::endpoint endpoint(asio::ip::make_address(where.host, error), where.port);
  const std::string name = where.host + ":" + std::to_string(where.port);
  if (error) {
    *reason = "cannot listen on " + name + ": " + error.message();
    return false;
  }
  tcp::acceptor& a = listener->acceptor;
  a.open(endpoint.protocol(), error);
#ifndef _WIN32
  // Elsewhere it lets a restarted server have its port back at once; on
  // Windows it would let two servers share a port.
  if (!error) a.set_option(tcp::acceptor::reuse_address(true), error);
#endif
  if (!error) a.bind(endpoint, error);
  if (!error) a.listen(asio::socket_base::max_listen_connections, error);
  if (error) {
    *reason = "cannot listen on " + name + ": " + error.message();
    return false;
  }
  const tcp::endpoint bound = a.local_endpoint(error);
  LogLine(std::string("listening ") + ClientKindName(listener->kind) + " " +
          bound.address().to_string() + ":" + std::to_string(bound.port()));
  return true;
}

void Accept(ServerShared* shared, Listener* listener, int max_clients) {
  listener->acceptor.async_accept([=](const std::error_code& error, tcp::socket socket) {
    if (error == asio::error::operation_aborted || !listener->acceptor.is_open()) return;
    if (!error) {
      if (static_cast<int>(shared->clients.size()) < max_clients) {
        StartClient(shared, listener->kind, std::move(socket));
      } else {
        std::error_code ignored;
        const tcp::endpoint peer = socket.remote_endpoint(ignored);
        LogLine(std::string("client ") + ClientKindName(listener->kind) + " " +
                peer.address().to_string() + ":" + std::to_string(peer.port()) +
                " refused: " + std::to_string(max_clients) + " clients already");
        socket.close(ignored);
      }
    }
    Accept(shared, listener, max_clients);
  });
}

// What the SCPI commands take from the link: the identity for *IDN?, and
// at each connect the instrument's own output type as the selection.
void WatchLinkForScpi(ServerShared* shared) {
  auto take_type = std::make_shared<bool>(false);
  AddWorkerObserver(shared->worker,
                    {[shared, take_type](bool link_up, const InstrumentIdentity& identity) {
                       if (!link_up) return;
                       ScpiSettings& s = shared->settings;
                       s.device_code = identity.device_code;
                       s.firmware_version = identity.firmware_version;
                       s.serial_number = identity.serial_number;
                       *take_type = true;
                     },
                     [shared, take_type](const LiveReport& report) {
                       shared->last_live_report = report.received;
                       if (*take_type && report.output_type >= 0 && report.output_type < 4) {
                         shared->settings.output_type = report.output_type;
                       }
                       *take_type = false;
                     }});
}

}  // namespace

int RunServer(const ServerOptions& options, InstrumentWorker* worker) {
  asio::io_context io;
  ServerShared shared;
  shared.io = &io;
  shared.limits = options.limits;
  shared.worker = worker;
  std::shared_ptr<MqttBridge> mqtt;
  if (!options.mqtt.host.empty()) {
    std::string error;
    mqtt = StartMqttBridge(worker, options.mqtt, options.limits, LogLine, &error);
    if (mqtt == nullptr) {
      std::fprintf(stderr, "rv-sola62-server: %s\n", error.c_str());
      StopInstrumentWorker(worker);
      return kServerExitUsage;
    }
  }

  std::vector<std::unique_ptr<Listener>> listeners;
  for (const auto& [kind, where] :
       {std::pair{ClientKind::Scpi, options.scpi}, std::pair{ClientKind::Relay, options.relay}}) {
    if (where.off) continue;
    listeners.push_back(std::make_unique<Listener>(Listener{kind, tcp::acceptor(io)}));
    std::string reason;
    if (!Listen(where, listeners.back().get(), &reason)) {
      std::fprintf(stderr, "rv-sola62-server: %s\n", reason.c_str());
      if (mqtt != nullptr) StopMqttBridge(mqtt.get());
      StopInstrumentWorker(worker);
      return kServerExitListen;
    }
  }
  for (int type = 0; type < 4; ++type) {
    if (options.limits.limited[type]) LogLine(SoftLimitText(options.limits, type));
  }

  WatchLinkForScpi(&shared);
  StartInstrumentWorker(shared.worker);
  for (auto& listener : listeners) Accept(&shared, listener.get(), options.max_clients);

  asio::signal_set signals(io, SIGINT, SIGTERM);
#ifdef SIGBREAK
  signals.add(SIGBREAK);
#endif
  signals.async_wait([&](const std::error_code& error, int) {
    if (error) return;
    for (auto& listener : listeners) listener->acceptor.close();
    const auto clients = shared.clients;
    for (const auto& client : clients) CloseClient(client);
    io.stop();
  });
  io.run();
  // Offline on the broker before the link closes; no job of it comes later.
  if (mqtt != nullptr) StopMqttBridge(mqtt.get());
  // The link's last word to the instrument is its disconnect command.
  StopInstrumentWorker(shared.worker);
  return 0;
}
