// Arbitrary bytes as config.ini: loaded, saved whole, loaded again. The second
// load must find what the first did, and every field must be one the program
// can use.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/unit/memory_profile_store.h"

namespace {

void Expect(bool condition) {
  if (!condition) std::abort();
}

void CheckUsable() {
  const ConnectionSettings& c = connection_settings;
  const size_t name = strnlen(c.com_port, sizeof c.com_port);
  Expect(c.connection_type >= 0 && c.connection_type <= 1 && name > 0 && name < sizeof c.com_port &&
         c.ip_address != 0 && c.tcp_port >= 1 && c.tcp_port <= 65535);
  const OutputSettings& o = output_settings;
  Expect(o.output_type >= 0 && o.output_type <= 3 && o.replay_channel >= 0 &&
         o.replay_channel <= 4 && o.replay_count != 0);
  // Reals are taken as read, but never as infinity or not-a-number.
  for (int n = 0; n < 4; ++n)
    for (double r : {o.output_value[n], o.sweep[n].a, o.sweep[n].b}) Expect(r - r == 0.0);
}

// Loads from the defaults; what the program then holds, as it saves it (a
// real is saved so that it reads back as the same number).
std::string LoadAndSave(MemoryProfile* file) {
  file->Load();
  CheckUsable();
  MemoryProfile saved;
  saved.SaveAll();
  return saved.Text();
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
      std::snprintf(number, sizeof number, "%.*g", data.ConsumeIntegralInRange(1, 20),
                    data.ConsumeFloatingPoint<double>());
      const int form = data.ConsumeIntegralInRange(0, 2);
      text += form == 0   ? std::string(number)
              : form == 1 ? std::to_string(data.ConsumeIntegral<int64_t>())
                          : data.ConsumeRandomLengthString(300);
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
  const std::string first = LoadAndSave(&file);
  file.SaveAll();  // into the file it read
  MemoryProfile again = MemoryProfile::Parse(file.Text());
  Expect(LoadAndSave(&again) == first);
  return 0;
}
