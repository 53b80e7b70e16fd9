#include "server/client_connection.h"

#include "server/scpi_message.h"
#include "server/server_log.h"

namespace {

using Client = std::shared_ptr<ClientConnection>;

// Answers not yet taken by a client beyond which its input is left unread.
constexpr size_t kMaxOutgoing = 64 * 1024;

uint32_t NowMs() {
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

void ReadMore(const Client& client);
void TakeNext(const Client& client);

void WriteNext(const Client& client) {
  if (client->writing || client->outgoing.empty() || client->closed) return;
  client->writing = true;
  asio::async_write(client->socket, asio::buffer(client->outgoing.front()),
                    [client](const std::error_code& error, size_t) {
                      client->writing = false;
                      client->outgoing_bytes -= client->outgoing.front().size();
                      client->outgoing.pop_front();
                      if (error) {
                        CloseClient(client);
                        return;
                      }
                      WriteNext(client);
                      TakeNext(client);
                      ReadMore(client);
                    });
}

void Send(const Client& client, std::string bytes) {
  if (bytes.empty() || client->closed) return;
  client->outgoing_bytes += bytes.size();
  client->outgoing.push_back(std::move(bytes));
  WriteNext(client);
}

bool HasWaitingInput(const ClientConnection& client) {
  return client.kind == ClientKind::Scpi ? !client.messages.empty()
                                         : !client.relay.requests.empty();
}

// On the link thread: the answer to the client's next request.
std::string RunScpiJob(ClientConnection* client, const ScpiLine& line, LinkSession* session,
                       bool link_up) {
  if (line.too_long) {
    PushScpiError(&client->errors, -223, "a message longer than 4096 bytes");
    return "";
  }
  ScpiContext context{
      &client->errors, &client->shared->settings, &client->shared->limits, session, link_up, {}};
  const std::string reply = RunScpiMessage(&context, line.text);
  return reply.empty() ? "" : reply + "\n";
}

std::string RunRelayJob(ClientConnection* client, const RelayRequest& request, LinkSession* session,
                        bool link_up) {
  const std::vector<uint8_t> answer = AnswerRelayRequest(
      session, link_up, request, client->shared->limits, client->shared->last_live_report);
  return std::string(answer.begin(), answer.end());
}

void TakeNext(const Client& client) {
  if (client->busy || client->closed || !HasWaitingInput(*client) ||
      client->outgoing_bytes > kMaxOutgoing) {
    return;
  }
  client->busy = true;
  auto finish = [client](std::string answer) {
    asio::post(*client->shared->io, [client, answer = std::move(answer)]() mutable {
      client->busy = false;
      Send(client, std::move(answer));
      TakeNext(client);
      ReadMore(client);
    });
  };
  if (client->kind == ClientKind::Scpi) {
    ScpiLine line = std::move(client->messages.front());
    client->messages.pop_front();
    PostLinkJob(client->shared->worker,
                [client, line = std::move(line), finish](LinkSession* session, bool link_up) {
                  finish(RunScpiJob(client.get(), line, session, link_up));
                });
  } else {
    RelayRequest request = std::move(client->relay.requests.front());
    client->relay.requests.pop_front();
    PostLinkJob(client->shared->worker,
                [client, request = std::move(request), finish](LinkSession* session, bool link_up) {
                  finish(RunRelayJob(client.get(), request, session, link_up));
                });
  }
}

void ReadMore(const Client& client) {
  if (client->reading || client->closed || client->busy || HasWaitingInput(*client) ||
      client->outgoing_bytes > kMaxOutgoing) {
    return;
  }
  client->reading = true;
  client->socket.async_read_some(
      asio::buffer(client->buffer), [client](const std::error_code& error, size_t count) {
        client->reading = false;
        if (error) {
          CloseClient(client);
          return;
        }
        if (client->kind == ClientKind::Scpi) {
          TakeScpiBytes(&client->lines, reinterpret_cast<const char*>(client->buffer), count,
                        &client->messages);
        } else {
          TakeRelayBytes(&client->relay, client->buffer, static_cast<int>(count), NowMs());
        }
        TakeNext(client);
        ReadMore(client);
      });
}

}  // namespace

void StartClient(ServerShared* shared, ClientKind kind, asio::ip::tcp::socket socket) {
  auto client = std::make_shared<ClientConnection>(kind, shared, std::move(socket));
  std::error_code error;
  const asio::ip::tcp::endpoint peer = client->socket.remote_endpoint(error);
  client->name = std::string(ClientKindName(kind)) + " " + peer.address().to_string() + ":" +
                 std::to_string(peer.port());
  client->socket.set_option(asio::ip::tcp::no_delay(true), error);
  shared->clients.insert(client);
  LogLine("client " + client->name + " connected");
  ReadMore(client);
}

void CloseClient(const std::shared_ptr<ClientConnection>& client) {
  if (client->closed) return;
  client->closed = true;
  std::error_code ignored;
  client->socket.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
  client->socket.close(ignored);
  client->shared->clients.erase(client);
  LogLine("client " + client->name + " closed");
}
