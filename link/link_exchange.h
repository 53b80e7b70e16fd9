// Command/answer exchange and link supervision.
#pragma once
#include <cstdint>

struct LinkSession;

constexpr uint32_t kCommandTimeoutMs = 2000;
// No valid frame for longer than this and the link is lost. Measured on the
// clock rather than by counting poll ticks, so a tick that comes late (a busy
// window, a stalled port) cannot stretch it.
constexpr uint32_t kLinkLostMs = 10000;

// 0 answered; 1 no answer within kCommandTimeoutMs (or the wait was cancelled,
// or the pipe ended); 2 nothing was sent: the link is lost, there is no
// transport, or it refused the write.
int SendCommandAndWait(LinkSession* session, uint8_t command, uint16_t length, const uint8_t* data);
void StartLinkWatch(LinkSession* session);  // when a link is up: its silence counts from now
int PollLink(LinkSession* session);         // -1 on the poll the link is declared lost, else 0
// The disconnect command (unless the link is lost), then the close.
void Disconnect(LinkSession* session);
