#include "server/server_platform.h"

void PrepareServerProcess() {}

bool ServerLinksAreComPorts() {
  return true;
}
