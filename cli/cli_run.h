// The client from its arguments to its exit code.
#pragma once

int RunCli(int argc, const char* const* argv);
