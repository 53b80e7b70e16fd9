// The client's system services on Linux and other POSIX systems.
#include <dirent.h>
#include <libserialport.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <map>

#include "cli/cli_platform.h"

namespace {

volatile sig_atomic_t interrupting_signal = 0;
volatile sig_atomic_t link_open = 0;
volatile sig_atomic_t interrupt_exit_code = -1;

void OnInterrupt(int signal_number) {
  interrupting_signal = signal_number;
  if (link_open) return;
  _exit(interrupt_exit_code >= 0 ? interrupt_exit_code : 128 + signal_number);
}

// The stable names that udev keeps for each device node.
std::map<std::string, std::string> ByIdPaths() {
  std::map<std::string, std::string> paths;
  const std::string folder = "/dev/serial/by-id";
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return paths;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    const std::string link = folder + "/" + entry->d_name;
    char target[PATH_MAX];
    if (realpath(link.c_str(), target) != nullptr) paths[target] = link;
  }
  closedir(dir);
  return paths;
}

std::string TextOr(const char* text) {
  return text != nullptr ? text : "";
}

}  // namespace

void PrepareProcess() {
  // A peer that closes its socket must give a failed write, not end the process.
  signal(SIGPIPE, SIG_IGN);
}

void WatchForInterrupts(int exit_code) {
  interrupt_exit_code = exit_code;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  // The first signal asks for a clean end; a second one takes the default.
  action.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
}

bool Interrupted() {
  return interrupting_signal != 0;
}

int InterruptingSignal() {
  return interrupting_signal;
}

void SetLinkOpen(bool open) {
  link_open = open ? 1 : 0;
  // A signal that came while the link was being closed ends the process now.
  if (!open && interrupting_signal != 0) {
    _exit(interrupt_exit_code >= 0 ? interrupt_exit_code : 128 + interrupting_signal);
  }
}

bool LinksAreComPorts() {
  return false;
}

std::vector<SerialPortInfo> ListSerialPorts() {
  std::vector<SerialPortInfo> list;
  sp_port** ports = nullptr;
  if (sp_list_ports(&ports) != SP_OK) return list;
  const std::map<std::string, std::string> by_id = ByIdPaths();
  for (int i = 0; ports[i] != nullptr; ++i) {
    sp_port* port = ports[i];
    SerialPortInfo info;
    info.port = TextOr(sp_get_port_name(port));
    char resolved[PATH_MAX];
    const std::string node = realpath(info.port.c_str(), resolved) ? resolved : info.port;
    if (auto found = by_id.find(node); found != by_id.end()) info.by_id = found->second;
    info.description = TextOr(sp_get_port_description(port));
    if (sp_get_port_transport(port) == SP_TRANSPORT_USB) {
      int vid = 0;
      int pid = 0;
      if (sp_get_port_usb_vid_pid(port, &vid, &pid) == SP_OK) {
        char id[16];
        std::snprintf(id, sizeof id, "%04x:%04x", vid & 0xFFFF, pid & 0xFFFF);
        info.usb_id = id;
      }
      info.serial = TextOr(sp_get_port_usb_serial(port));
    }
    list.push_back(std::move(info));
  }
  sp_free_port_list(ports);
  return list;
}
