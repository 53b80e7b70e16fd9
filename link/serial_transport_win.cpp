#include "link/serial_transport_win.h"

#include <process.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "link/ring_lock_win.h"

SerialTransport* serial_transport = nullptr;

namespace {

unsigned __stdcall SerialReader(void* argument) {
  SerialTransport* transport = static_cast<SerialTransport*>(argument);
  HeldChunk held{};
  while (!transport->stop_requested) {
    Sleep(10);
    // A full ring leaves the bytes in the port's queue, where RTS/CTS holds
    // the instrument back, instead of dropping them.
    if (OfferHeld(transport->mutex, &transport->ring, &held)) continue;
    DWORD errors = 0;
    COMSTAT status{};
    // Fails only once the device is gone (unplugged); polling on would never recover.
    if (!ClearCommError(transport->port_handle, &errors, &status)) return 1;
    if (status.cbInQue == 0) continue;
    DWORD wanted = status.cbInQue < sizeof held.bytes ? status.cbInQue : sizeof held.bytes;
    DWORD got = 0;
    if (!ReadFile(transport->port_handle, held.bytes, wanted, &got, nullptr)) return 1;
    held.offset = 0;
    held.count = static_cast<int>(got);
    OfferHeld(transport->mutex, &transport->ring, &held);
  }
  return 0;
}

// Closes the port of a failed open; the record stays for the caller's close.
int FailOpen(SerialTransport* transport) {
  CloseHandle(transport->port_handle);
  transport->port_handle = INVALID_HANDLE_VALUE;
  return -1;
}

std::wstring WidePath(const char* text) {
  int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  std::wstring wide(length > 0 ? length : 1, L'\0');
  if (length > 0) MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), length);
  return wide;
}

}  // namespace

int OpenSerial(const char* com_port) {
  if (serial_transport) CloseSerial();
  SerialTransport* transport = new (std::nothrow) SerialTransport{};
  if (!transport) return -1;
  transport->port_handle = INVALID_HANDLE_VALUE;
  transport->mutex = CreateMutexW(nullptr, FALSE, nullptr);
  serial_transport = transport;
  if (!transport->mutex) return -1;

  if (std::strncmp(com_port, "COM", 3) != 0) return 0;
  const std::string path = std::string("\\\\.\\") + com_port;
  transport->port_handle = CreateFileW(WidePath(path.c_str()).c_str(), GENERIC_READ | GENERIC_WRITE,
                                       0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (transport->port_handle == INVALID_HANDLE_VALUE) return -1;

  DCB line{};
  line.DCBlength = sizeof line;
  if (!GetCommState(transport->port_handle, &line)) return FailOpen(transport);
  line.BaudRate = 115200;
  line.ByteSize = 8;
  line.Parity = NOPARITY;
  line.fParity = FALSE;
  line.StopBits = ONESTOPBIT;
  line.fOutxCtsFlow = TRUE;
  line.fRtsControl = RTS_CONTROL_HANDSHAKE;
  line.fOutX = FALSE;
  line.fInX = FALSE;
  if (!SetCommState(transport->port_handle, &line)) return FailOpen(transport);

  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = 1000;
  timeouts.WriteTotalTimeoutMultiplier = 10;
  timeouts.WriteTotalTimeoutConstant = 1000;
  if (!SetCommTimeouts(transport->port_handle, &timeouts)) return FailOpen(transport);

  transport->stop_requested = false;
  uintptr_t thread =
      _beginthreadex(nullptr, 0, SerialReader, transport, 0, &transport->reader_thread_id);
  if (thread == 0) return FailOpen(transport);
  transport->reader_thread = reinterpret_cast<HANDLE>(thread);
  return 0;
}

void CloseSerial() {
  SerialTransport* transport = serial_transport;
  if (!transport) return;
  transport->stop_requested = true;
  // The reader must be gone before the port it polls is closed.
  if (transport->reader_thread) {
    WaitForSingleObject(transport->reader_thread, INFINITE);
    CloseHandle(transport->reader_thread);
  }
  if (transport->port_handle != INVALID_HANDLE_VALUE) CloseHandle(transport->port_handle);
  if (transport->mutex) CloseHandle(transport->mutex);
  serial_transport = nullptr;
  delete transport;
}

int DrainSerial(uint8_t* destination) {
  SerialTransport* transport = serial_transport;
  if (!transport || !transport->mutex) return 0;
  return DrainLocked(transport->mutex, &transport->ring, destination);
}

int WriteSerial(const uint8_t* bytes, int count) {
  SerialTransport* transport = serial_transport;
  if (!transport || transport->port_handle == INVALID_HANDLE_VALUE || count <= 0) return 0;
  int done = 0;
  for (;;) {
    DWORD written = 0;
    if (!WriteFile(transport->port_handle, bytes + done, static_cast<DWORD>(count - done), &written,
                   nullptr) ||
        written == 0) {
      return 0;  // the frame is abandoned; the waiting command times out
    }
    done += static_cast<int>(written);
    if (done >= count) return static_cast<int>(written);
  }
}
