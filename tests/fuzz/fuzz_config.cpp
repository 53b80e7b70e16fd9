// Arbitrary bytes as config.ini: loaded, saved whole, loaded again. The second
// load must find what the first did, and every field must be one the program
// can use.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "settings/config_file.h"
#include "settings/settings_records.h"
#include "tests/unit/memory_profile_store.h"

namespace {

struct Loaded {
  ConnectionSettings connection;
  OutputSettings output;
};

Loaded LoadFrom(MemoryProfile* file) {
  ResetConnectionSettings();
  ResetOutputSettings();
  LoadSettingsFrom(file->Store());
  return {connection_settings, output_settings};
}

void CheckUsable(const Loaded& loaded) {
  const ConnectionSettings& c = loaded.connection;
  if (c.connection_type < 0 || c.connection_type > 1) std::abort();
  const size_t name = strnlen(c.com_port, sizeof c.com_port);
  if (name == 0 || name == sizeof c.com_port) std::abort();
  if (c.ip_address == 0 || c.tcp_port < 1 || c.tcp_port > 65535) std::abort();
  const OutputSettings& o = loaded.output;
  if (o.output_type < 0 || o.output_type > 3) std::abort();
  if (o.replay_channel < 0 || o.replay_channel > 4 || o.replay_count == 0) std::abort();
  for (int n = 0; n < 4; ++n) {
    // Reals are taken as read, but never as infinity or not-a-number.
    const double reals[] = {o.output_value[n], o.sweep[n].a, o.sweep[n].b};
    for (double r : reals)
      if (!(r - r == 0.0)) std::abort();
  }
}

bool Same(const Loaded& x, const Loaded& y) {
  const ConnectionSettings &a = x.connection, &b = y.connection;
  if (a.connection_type != b.connection_type || std::strcmp(a.com_port, b.com_port) != 0 ||
      a.ip_address != b.ip_address || a.tcp_port != b.tcp_port) {
    return false;
  }
  const OutputSettings &p = x.output, &q = y.output;
  if (p.output_type != q.output_type || p.replay_channel != q.replay_channel ||
      p.replay_endless != q.replay_endless || p.replay_count != q.replay_count) {
    return false;
  }
  for (int n = 0; n < 4; ++n) {
    if (p.output_value[n] != q.output_value[n] || p.sweep[n].a != q.sweep[n].a ||
        p.sweep[n].b != q.sweep[n].b || p.sweep[n].t1 != q.sweep[n].t1 ||
        p.sweep[n].t2 != q.sweep[n].t2) {
      return false;
    }
  }
  return true;
}

// A file made of the program's own sections and keys with any values: raw
// bytes seldom grow into "[OUTPUT_CONF2]" and "value=" followed by a number.
std::string ShapedFile(FuzzedDataProvider& data) {
  const char* const sections[] = {"IF",           "OUTPUT",       "OUTPUT_CONF0",
                                  "OUTPUT_CONF1", "OUTPUT_CONF2", "OUTPUT_CONF3"};
  const char* const keys[] = {"type",   "com",   "ip",      "port",    "repch",    "repchk",
                              "repnum", "value", "sweep_a", "sweep_b", "sweep_t1", "sweep_t2"};
  std::string text;
  while (data.remaining_bytes() > 0) {
    text += std::string("[") + data.PickValueInArray(sections) + "]\r\n";
    for (int n = data.ConsumeIntegralInRange(0, 6); n > 0; --n) {
      text += std::string(data.PickValueInArray(keys)) + "=";
      char number[400];
      switch (data.ConsumeIntegralInRange(0, 2)) {
        case 0:
          std::snprintf(number, sizeof number, "%.*g", data.ConsumeIntegralInRange(1, 20),
                        data.ConsumeFloatingPoint<double>());
          text += number;
          break;
        case 1:
          text += std::to_string(data.ConsumeIntegral<int64_t>());
          break;
        default:
          text += data.ConsumeRandomLengthString(300);
          break;
      }
      text += "\r\n";
    }
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  FuzzedDataProvider data(bytes, size);
  const std::string text =
      data.ConsumeBool() ? ShapedFile(data) : data.ConsumeRemainingBytesAsString();
  MemoryProfile file = MemoryProfile::Parse(text);
  const Loaded first = LoadFrom(&file);
  CheckUsable(first);
  // Everything the program ever writes: the dialog's items and the exit's.
  for (SettingItem item : kConnectionItems) SaveSettingTo(file.Store(), item);
  SaveOutputItemsTo(file.Store());

  MemoryProfile again = MemoryProfile::Parse(file.Text());
  const Loaded second = LoadFrom(&again);
  if (!Same(first, second)) std::abort();
  return 0;
}
