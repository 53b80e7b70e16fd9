#include "server/scpi_error_queue.h"

namespace {

const char* StandardText(int code) {
  switch (code) {
    case -102:
      return "Syntax error";
    case -104:
      return "Data type error";
    case -108:
      return "Parameter not allowed";
    case -109:
      return "Missing parameter";
    case -113:
      return "Undefined header";
    case -131:
      return "Invalid suffix";
    case -221:
      return "Settings conflict";
    case -222:
      return "Data out of range";
    case -223:
      return "Too much data";
    case -224:
      return "Illegal parameter value";
    case -240:
      return "Hardware error";
    case -241:
      return "Hardware missing";
    case -350:
      return "Queue overflow";
  }
  return "Error";
}

// The event status bit of an error's class: command, execution, device.
int EventBit(int code) {
  if (code <= -100 && code > -200) return 32;
  if (code <= -200 && code > -300) return 16;
  return 8;
}

std::string Entry(int code, const std::string& detail) {
  std::string text = std::to_string(code) + ",\"" + StandardText(code);
  if (!detail.empty()) text += ";";
  // A quote inside a string is doubled.
  for (char c : detail) {
    text += c;
    if (c == '"') text += c;
  }
  return text + "\"";
}

}  // namespace

void PushScpiError(ScpiErrorQueue* queue, int code, const std::string& detail) {
  queue->event_status |= EventBit(code);
  if (queue->entries.size() < kErrorQueueSize) {
    queue->entries.push_back({code, Entry(code, detail)});
  } else {
    queue->entries.back() = {-350, Entry(-350, "")};
  }
}

std::string PopScpiError(ScpiErrorQueue* queue) {
  if (queue->entries.empty()) return "0,\"No error\"";
  std::string text = queue->entries.front().text;
  queue->entries.pop_front();
  return text;
}

void ClearScpiStatus(ScpiErrorQueue* queue) {
  queue->entries.clear();
  queue->event_status = 0;
}
