// The serial ports that the system lists as present.
#pragma once
#include <string>
#include <vector>

// "PortName" of every present serial device, in the order the system gives.
std::vector<std::string> EnumeratePortNames();
