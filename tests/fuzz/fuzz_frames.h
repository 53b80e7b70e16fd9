// The instrument that the server's fuzz targets talk to: the simulator's
// model behind the fake link, with every frame that reaches it checked.
#pragma once
#include <cstdlib>

#include "tests/unit/fake_link.h"

// A frame as the link's format has it, or the run stops.
inline void CheckWellFormed(const uint8_t* frame, int count) {
  if (count < 6 || (frame[0] != 0xAA && frame[0] != 0x55)) std::abort();
  if ((frame[3] << 8 | frame[4]) != count - 6) std::abort();
  uint8_t sum = 0;
  for (int i = 0; i < count - 1; ++i) sum = static_cast<uint8_t>(sum + frame[i]);
  if (frame[count - 1] != static_cast<uint8_t>(sum + 1)) std::abort();
}

inline InstrumentModel fuzz_model;

// A fresh session on the fake link, each command answered by the model.
inline void StartFuzzInstrument() {
  InitModel(&fuzz_model, SimOptions(), 0);
  InstallFakeLink();
  fake_link.on_write = [](const Bytes& frame) {
    if (frame[0] != 0xAA) std::abort();
    CheckWellFormed(frame.data(), static_cast<int>(frame.size()));
    AnswerFrom(&fuzz_model, frame);
  };
}
