#include "output/entry_checks.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "output/output_types.h"

namespace {

bool ValidType(int type) {
  return type >= 0 && type < kOutputTypeCount;
}

std::string Format(const char* format, long first, long second, const char* unit) {
  char text[200];
  std::snprintf(text, sizeof text, format, static_cast<int>(first), static_cast<int>(second), unit);
  return text;
}

std::string Format(const char* format, long first, long second) {
  char text[200];
  std::snprintf(text, sizeof text, format, static_cast<int>(first), static_cast<int>(second));
  return text;
}

// A real-valued field: stores into *stored when valid, else returns its message.
std::string CheckValue(const char* text, int type, const char* not_number, const char* range,
                       double* stored) {
  if (!IsNumericText(text)) return not_number;
  const double x = std::atof(text);
  if (!InOutputRange(x, type)) {
    const OutputTypeInfo& info = output_types[type];
    return Format(range, info.min, info.max, info.unit);
  }
  *stored = x;
  return "";
}

std::string CheckTime(const char* text, const char* not_number, const char* range,
                      uint32_t* stored) {
  if (!IsNumericText(text)) return not_number;
  const long n = EntryInteger(text);
  if (n < 0 || n > kMaxSweepTime) return Format(range, 0, kMaxSweepTime);
  *stored = static_cast<uint32_t>(n);
  return "";
}

void Replace(std::string* message, std::string next) {
  if (!next.empty()) *message = std::move(next);
}

}  // namespace

long EntryInteger(const char* text) {
  const char* p = text;
  const bool negative = *p == '-';
  if (negative) ++p;
  long n = 0;
  for (; std::isdigit(static_cast<unsigned char>(*p)); ++p) {
    if (n < 1000000000L) n = n * 10 + (*p - '0');
  }
  return negative ? -n : n;
}

std::string CheckOutputEntry(const char* text, int type, double* stored_value) {
  if (!ValidType(type)) return "";
  return CheckValue(text, type, "出力値を数字で入力してください。",
                    "出力値は%d～%d%sの範囲で入力してください。", stored_value);
}

std::string CheckSweepEntries(const SweepEntryTexts& texts, int type, SweepSettings* sweep) {
  if (!ValidType(type)) return "";
  std::string message;
  Replace(&message, CheckValue(texts.a, type, "A点出力値を数字で入力してください。",
                               "A点出力値は%d～%d%sの範囲で入力してください。", &sweep->a));
  Replace(&message, CheckValue(texts.b, type, "B点出力値を数字で入力してください。",
                               "B点出力値は%d～%d%sの範囲で入力してください。", &sweep->b));
  Replace(&message, CheckTime(texts.t1, "T1を数字で入力してください。",
                              "T1は%d～%dの範囲で入力してください。", &sweep->t1));
  Replace(&message, CheckTime(texts.t2, "T2を数字で入力してください。",
                              "T2は%d～%dの範囲で入力してください。", &sweep->t2));
  if (message.empty() && sweep->t1 == 0 && sweep->t2 == 0) {
    message = "T1とT2のどちらかは0以外で入力してください。";
  }
  return message;
}

std::string CheckReplayCount(const char* text, bool endless, uint32_t* stored_count,
                             uint16_t* count) {
  *count = 0;
  if (endless) return "";
  if (!IsNumericText(text)) return "繰り返し回数を数字で入力してください。";
  const long n = EntryInteger(text);
  if (n < kMinReplayCount || n > kMaxReplayCount) {
    return Format("繰り返し回数は%d～%dの範囲で入力してください。", kMinReplayCount,
                  kMaxReplayCount);
  }
  *stored_count = static_cast<uint32_t>(n);
  *count = static_cast<uint16_t>(n);
  return "";
}

bool TakeRealtimeValue(const char* text, int type, double* stored_value, bool* resend) {
  if (!ValidType(type) || !IsNumericText(text)) return false;
  double x = std::atof(text);
  if (!InOutputRange(x, type)) x = *stored_value;
  if (x == *stored_value && !*resend) return false;
  *resend = false;
  *stored_value = x;
  return true;
}

void CaptureOutputTexts(const char* value_text, const SweepEntryTexts& sweep_texts, int type,
                        OutputSettings* settings) {
  if (!ValidType(type)) return;
  // Only the storing matters here; the messages are dropped.
  CheckOutputEntry(value_text, type, &settings->output_value[type]);
  SweepSettings& sweep = settings->sweep[type];
  CheckValue(sweep_texts.a, type, "", "", &sweep.a);
  CheckValue(sweep_texts.b, type, "", "", &sweep.b);
  CheckTime(sweep_texts.t1, "", "", &sweep.t1);
  CheckTime(sweep_texts.t2, "", "", &sweep.t2);
}

void CaptureReplayCount(const char* text, uint32_t* stored_count) {
  uint16_t unused;
  CheckReplayCount(text, false, stored_count, &unused);
}
