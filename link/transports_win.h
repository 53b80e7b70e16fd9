// The two transports as the link and the window code see them. Free of
// platform headers so that any file can include it.
#pragma once
#include <cstdint>

// Puts serial into link_transports[0] and TCP into [1]; once, at start-up.
void InstallTransports();

// Both read connection_settings; 0 on success, -1 on failure. After either
// result the caller closes the transport (CloseTransport) when done.
int OpenSerial();
int OpenTcp();
