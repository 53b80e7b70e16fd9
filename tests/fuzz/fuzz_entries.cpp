// Arbitrary texts in every entry box of the three output pages, through the
// checks of their buttons, the real-time tick, the steps and the silent
// captures: whatever is stored stays within its range. And the value
// conversions, also for types outside the table.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "link/instrument_commands.h"
#include "output/entry_checks.h"
#include "output/output_types.h"
#include "output/step_rule.h"
#include "settings/settings_records.h"

namespace {

void Expect(bool condition) {
  if (!condition) std::abort();
}

// A check's message is there exactly when it failed.
bool Passed(const EntryProblem& problem) {
  Expect(EntryMessage(problem).empty() == (problem.fault == EntryFault::None));
  return problem.fault == EntryFault::None;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  FuzzedDataProvider data(bytes, size);
  ResetOutputSettings();
  OutputSettings& s = output_settings;
  // The boxes read at most 99 characters.
  std::string boxes[6];
  for (std::string& box : boxes) box = data.ConsumeRandomLengthString(99).c_str();
  auto sweep_texts = [&] {
    return SweepEntryTexts{boxes[1].c_str(), boxes[2].c_str(), boxes[3].c_str(), boxes[4].c_str()};
  };
  while (data.remaining_bytes() > 0) {
    const int type = data.ConsumeIntegralInRange(0, kOutputTypeCount - 1);
    switch (data.ConsumeIntegralInRange(0, 7)) {
      case 0:
        Passed(CheckOutputEntry(boxes[0].c_str(), type, &s.output_value[type]));
        break;
      case 1:
        if (Passed(CheckSweepEntries(sweep_texts(), type, &s.sweep[type])))
          Expect(s.sweep[type].t1 + s.sweep[type].t2 > 0);
        break;
      case 2: {
        uint16_t count = 0;
        const bool endless = data.ConsumeBool();
        if (Passed(CheckReplayCount(boxes[5].c_str(), endless, &s.replay_count, &count)))
          Expect(endless ? count == 0 : count >= 1);
        break;
      }
      case 3: {
        bool resend = data.ConsumeBool();
        TakeRealtimeValue(boxes[0].c_str(), type, &s.output_value[type], &resend);
        break;
      }
      case 4: {
        double stepped = 0;
        const int delta = data.ConsumeIntegralInRange(-1000, 1000);
        if (StepValue(boxes[0].c_str(), s.output_value[type], type,
                      data.ConsumeIntegralInRange(0, 2), delta, &stepped)) {
          Expect(InOutputRange(stepped, type));
          boxes[0] = ValueToText(stepped, type);  // the box now shows it
        }
        break;
      }
      case 5:
        CaptureOutputTexts(boxes[0].c_str(), sweep_texts(), type, &s);
        CaptureReplayCount(boxes[5].c_str(), &s.replay_count);
        break;
      case 6: {
        const int any_type = data.ConsumeIntegralInRange(-1, 4);
        const char* text = boxes[0].c_str();
        const double value = std::atof(text);
        // An accepted text with a digit is a whole decimal number.
        if (IsNumericText(text) && std::strpbrk(text, "0123456789") != nullptr) {
          char* end = nullptr;
          std::strtod(text, &end);
          Expect(*end == '\0');
        }
        if (IsNumericText(text) && InOutputRange(value, any_type)) {
          const int code = EncodeOutputValue(value, any_type);
          const OutputTypeInfo& info = output_types[any_type];
          const double back = DecodeOutputValue(any_type, static_cast<int16_t>(code));
          Expect(std::fabs(back - value) <= (info.max - info.min) / 32767.0);
          char shown[32];
          FormatOutputValue(static_cast<int16_t>(code), any_type, shown);
        }
        for (double v : {value, data.ConsumeFloatingPoint<double>()}) {
          const int code = EncodeOutputValue(v, any_type);
          Expect(code >= 0 && code <= 0xFFFF);
          (void)ValueToText(v, any_type);
        }
        (void)DecodeOutputValue(static_cast<unsigned>(any_type), data.ConsumeIntegral<int16_t>());
        break;
      }
      default:
        boxes[data.ConsumeIntegralInRange(0, 5)] = data.ConsumeRandomLengthString(99).c_str();
        break;
    }
    // What the pages keep stays usable: values, times and counts in range.
    for (int t = 0; t < kOutputTypeCount; ++t) {
      Expect(InOutputRange(s.output_value[t], t) && InOutputRange(s.sweep[t].a, t) &&
             InOutputRange(s.sweep[t].b, t));
      Expect(s.sweep[t].t1 <= kMaxSweepTime && s.sweep[t].t2 <= kMaxSweepTime);
    }
    Expect(s.replay_count >= kMinReplayCount && s.replay_count <= kMaxReplayCount);
  }
  return 0;
}
