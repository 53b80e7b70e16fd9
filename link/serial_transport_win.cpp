#include "link/serial_transport_win.h"

#include <cstring>
#include <new>
#include <string>

#include "link/link_session.h"
#include "link/system_text_win.h"
#include "link/utf16_win.h"

namespace {

// Waits for an overlapped operation of the port; true when it completed, with *done bytes.
bool Finish(HANDLE port, OVERLAPPED* operation, DWORD* done) {
  return GetOverlappedResult(port, operation, done, TRUE) != 0;
}

bool StartRead(HANDLE port, uint8_t* into, DWORD wanted, OVERLAPPED* operation) {
  ResetEvent(operation->hEvent);
  if (ReadFile(port, into, wanted, nullptr, operation)) return true;
  return GetLastError() == ERROR_IO_PENDING;
}

// After the first byte came: the rest of what the port holds, at once.
bool ReadQueued(SerialTransport* transport, HeldChunk* held, OVERLAPPED* operation) {
  DWORD errors = 0;
  COMSTAT status{};
  if (!ClearCommError(transport->port_handle, &errors, &status)) return false;
  const DWORD room = sizeof held->bytes - static_cast<DWORD>(held->count);
  const DWORD wanted = status.cbInQue < room ? status.cbInQue : room;
  if (wanted == 0) return true;
  DWORD got = 0;
  if (!StartRead(transport->port_handle, held->bytes + held->count, wanted, operation) ||
      !Finish(transport->port_handle, operation, &got)) {
    return false;
  }
  held->count += static_cast<int>(got);
  return true;
}

// Sends everything queued. A write that outlasts its limit is cancelled and
// what waited behind it is dropped: commands that late would only confuse.
bool SendQueued(SerialTransport* transport, OVERLAPPED* operation) {
  ReaderThread* reader = &transport->reader;
  EnterCriticalSection(&reader->lock);
  const int count = transport->outgoing_count;
  std::memcpy(transport->sending, transport->outgoing, static_cast<size_t>(count));
  transport->outgoing_count = 0;
  LeaveCriticalSection(&reader->lock);
  if (count == 0) return true;

  ResetEvent(operation->hEvent);
  if (!WriteFile(transport->port_handle, transport->sending, static_cast<DWORD>(count), nullptr,
                 operation) &&
      GetLastError() != ERROR_IO_PENDING) {
    return false;
  }
  const HANDLE wake[] = {reader->stop_event, operation->hEvent};
  DWORD waited = WaitForMultipleObjects(2, wake, FALSE, WriteLimitMs(count));
  DWORD done = 0;
  if (waited != WAIT_OBJECT_0 + 1) {
    CancelIoEx(transport->port_handle, operation);
    Finish(transport->port_handle, operation, &done);
    EnterCriticalSection(&reader->lock);
    transport->outgoing_count = 0;
    LeaveCriticalSection(&reader->lock);
    return true;
  }
  return Finish(transport->port_handle, operation, &done);
}

unsigned __stdcall SerialPort(void* argument) {
  SerialTransport* transport = static_cast<SerialTransport*>(argument);
  ReaderThread* reader = &transport->reader;
  const HANDLE port = transport->port_handle;
  OVERLAPPED reading{};
  OVERLAPPED writing{};
  reading.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  writing.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  unsigned result = 1;
  HeldChunk held{};
  bool read_pending = false;
  const HANDLE wake[] = {reader->stop_event, reading.hEvent, transport->send_event};
  if (reading.hEvent && writing.hEvent) {
    // A full ring leaves the bytes in the port's queue, where RTS/CTS holds
    // the instrument back, instead of dropping them.
    while (WaitWhileHeld(reader, &held)) {
      // A one-byte read is the wait for input: the port's time-outs are all
      // zero, so it ends only when a byte has come.
      if (!read_pending && !StartRead(port, held.bytes, 1, &reading)) break;
      read_pending = true;
      DWORD waited = WaitForMultipleObjects(3, wake, FALSE, kQuietCheckMs);
      if (waited == WAIT_OBJECT_0) {
        result = 0;
        break;
      }
      if (waited == WAIT_OBJECT_0 + 1) {
        read_pending = false;
        DWORD got = 0;
        if (!Finish(port, &reading, &got)) break;
        held.offset = 0;
        held.count = static_cast<int>(got);
        if (got > 0 && !ReadQueued(transport, &held, &reading)) break;
      } else if (waited == WAIT_OBJECT_0 + 2) {
        if (!SendQueued(transport, &writing)) break;
      } else {
        DWORD errors = 0;
        COMSTAT status{};
        // Fails only once the device is gone (unplugged); waiting on would never recover.
        if (!ClearCommError(port, &errors, &status)) break;
      }
    }
  }
  if (WaitForSingleObject(reader->stop_event, 0) == WAIT_OBJECT_0) result = 0;
  if (read_pending) {
    DWORD got = 0;
    CancelIoEx(port, &reading);
    Finish(port, &reading, &got);
  }
  if (result != 0) {
    transport->port_failed = true;
    MarkReaderEnded(reader);
  }
  if (reading.hEvent) CloseHandle(reading.hEvent);
  if (writing.hEvent) CloseHandle(writing.hEvent);
  return result;
}

}  // namespace

namespace {

// The steps of the open after the record exists: 0, or the system's error.
DWORD OpenPort(SerialTransport* transport, const char* com_port) {
  if (!PrepareReader(&transport->reader)) return GetLastError();
  transport->send_event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!transport->send_event) return GetLastError();

  if (std::strncmp(com_port, "COM", 3) != 0) return 0;
  const std::string path = std::string("\\\\.\\") + com_port;
  transport->port_handle = CreateFileW(Widen(path.c_str()).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (transport->port_handle == INVALID_HANDLE_VALUE) return GetLastError();

  DCB line{};
  line.DCBlength = sizeof line;
  if (!GetCommState(transport->port_handle, &line)) return GetLastError();
  line.BaudRate = 115200;
  line.ByteSize = 8;
  line.Parity = NOPARITY;
  line.fParity = FALSE;
  line.StopBits = ONESTOPBIT;
  line.fOutxCtsFlow = TRUE;
  line.fRtsControl = RTS_CONTROL_HANDSHAKE;
  line.fOutX = FALSE;
  line.fInX = FALSE;
  if (!SetCommState(transport->port_handle, &line)) return GetLastError();

  // No time-outs: a read ends when its bytes came, a write when its bytes
  // left; the port's thread bounds the writes itself.
  COMMTIMEOUTS timeouts{};
  if (!SetCommTimeouts(transport->port_handle, &timeouts)) return GetLastError();
  if (!StartReader(&transport->reader, SerialPort, transport)) return GetLastError();
  return 0;
}

}  // namespace

SerialTransport* OpenSerial(const char* com_port, const LinkEvents& events, std::string* reason) {
  SerialTransport* transport = new (std::nothrow) SerialTransport{};
  if (!transport) {
    *reason = SystemText(ERROR_OUTOFMEMORY);
    return nullptr;
  }
  transport->port_handle = INVALID_HANDLE_VALUE;
  transport->reader.bytes_arrived = events.bytes_arrived;
  transport->reader.arrival_context = events.context;
  const DWORD error = OpenPort(transport, com_port);
  if (error == 0) return transport;
  // The reason first: the clean-up may change the system's last error.
  *reason = SystemText(error);
  CloseSerial(transport);
  return nullptr;
}

void CloseSerial(void* context) {
  SerialTransport* transport = static_cast<SerialTransport*>(context);
  if (!transport) return;
  // The thread must be gone before the port it uses is closed.
  StopReader(&transport->reader);
  if (transport->port_handle != INVALID_HANDLE_VALUE) CloseHandle(transport->port_handle);
  if (transport->send_event) CloseHandle(transport->send_event);
  delete transport;
}

int DrainSerial(void* context, uint8_t* destination) {
  return DrainReader(&static_cast<SerialTransport*>(context)->reader, destination);
}

int WriteSerial(void* context, const uint8_t* bytes, int count) {
  SerialTransport* transport = static_cast<SerialTransport*>(context);
  if (transport->port_handle == INVALID_HANDLE_VALUE || count <= 0 || !transport->reader.thread ||
      transport->port_failed) {
    return -1;
  }
  ReaderThread* reader = &transport->reader;
  EnterCriticalSection(&reader->lock);
  const bool fits = count <= kOutgoingSize - transport->outgoing_count;
  if (fits) {
    std::memcpy(transport->outgoing + transport->outgoing_count, bytes, static_cast<size_t>(count));
    transport->outgoing_count += count;
  }
  LeaveCriticalSection(&reader->lock);
  if (!fits) return -1;  // the frame is abandoned; nothing of it is sent
  SetEvent(transport->send_event);
  return 0;
}
