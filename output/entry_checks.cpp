#include "output/entry_checks.h"

#include <cctype>
#include <cstdlib>

#include "output/output_types.h"

namespace {

bool ValidType(int type) {
  return type >= 0 && type < kOutputTypeCount;
}

constexpr EntryProblem kPassed = {EntryFault::None, EntryField::OutputValue, 0, 0, "", -1};

EntryProblem Problem(EntryFault fault, EntryField field, long min = 0, long max = 0,
                     const char* unit = "", int output_type = -1) {
  return {fault, field, min, max, unit, output_type};
}

// A real-valued field: stores into *stored when valid.
EntryProblem CheckValue(const char* text, int type, EntryField field, double* stored) {
  if (!IsNumericText(text)) return Problem(EntryFault::NotNumber, field, 0, 0, "", type);
  const double x = std::atof(text);
  if (!InOutputRange(x, type)) {
    const OutputTypeInfo& info = output_types[type];
    return Problem(EntryFault::OutOfRange, field, info.min, info.max, info.unit, type);
  }
  *stored = x;
  return kPassed;
}

EntryProblem CheckTime(const char* text, EntryField field, uint32_t* stored) {
  if (!IsNumericText(text)) return Problem(EntryFault::NotNumber, field);
  const long n = EntryInteger(text);
  if (n < 0 || n > kMaxSweepTime) return Problem(EntryFault::OutOfRange, field, 0, kMaxSweepTime);
  *stored = static_cast<uint32_t>(n);
  return kPassed;
}

void Replace(EntryProblem* problem, const EntryProblem& next) {
  if (next.fault != EntryFault::None) *problem = next;
}

// What a message calls the field.
const char* FieldName(EntryField field) {
  switch (field) {
    case EntryField::OutputValue:
      return "出力値";
    case EntryField::PointA:
      return "A点出力値";
    case EntryField::PointB:
      return "B点出力値";
    case EntryField::T1:
      return "T1";
    case EntryField::T2:
      return "T2";
    case EntryField::ReplayCount:
      return "繰り返し回数";
  }
  return "";
}

}  // namespace

std::string EntryMessage(const EntryProblem& problem) {
  switch (problem.fault) {
    case EntryFault::None:
      return "";
    case EntryFault::BothTimesZero:
      return "T1とT2のどちらかは0以外で入力してください。";
    case EntryFault::NotNumber:
      return std::string(FieldName(problem.field)) + "を数字で入力してください。";
    case EntryFault::OutOfRange:
      // Joined, not formatted: a runtime that reads format strings as code
      // page 932 takes the last byte of a UTF-8 "～" for a lead byte and
      // swallows the '%' behind it.
      return std::string(FieldName(problem.field)) + "は" + std::to_string(problem.min) + "～" +
             std::to_string(problem.max) + problem.unit + "の範囲で入力してください。";
  }
  return "";
}

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

EntryProblem CheckOutputEntry(const char* text, int type, double* stored_value) {
  if (!ValidType(type)) return kPassed;
  return CheckValue(text, type, EntryField::OutputValue, stored_value);
}

EntryProblem CheckSweepEntries(const SweepEntryTexts& texts, int type, SweepSettings* sweep) {
  if (!ValidType(type)) return kPassed;
  EntryProblem problem = kPassed;
  Replace(&problem, CheckValue(texts.a, type, EntryField::PointA, &sweep->a));
  Replace(&problem, CheckValue(texts.b, type, EntryField::PointB, &sweep->b));
  Replace(&problem, CheckTime(texts.t1, EntryField::T1, &sweep->t1));
  Replace(&problem, CheckTime(texts.t2, EntryField::T2, &sweep->t2));
  if (problem.fault == EntryFault::None && sweep->t1 == 0 && sweep->t2 == 0) {
    problem = Problem(EntryFault::BothTimesZero, EntryField::T2);
  }
  return problem;
}

EntryProblem CheckReplayCount(const char* text, bool endless, uint32_t* stored_count,
                              uint16_t* count) {
  *count = 0;
  if (endless) return kPassed;
  if (!IsNumericText(text)) return Problem(EntryFault::NotNumber, EntryField::ReplayCount);
  const long n = EntryInteger(text);
  if (n < kMinReplayCount || n > kMaxReplayCount) {
    return Problem(EntryFault::OutOfRange, EntryField::ReplayCount, kMinReplayCount,
                   kMaxReplayCount);
  }
  *stored_count = static_cast<uint32_t>(n);
  *count = static_cast<uint16_t>(n);
  return kPassed;
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
  // Only the storing matters here; the problems are dropped.
  CheckOutputEntry(value_text, type, &settings->output_value[type]);
  SweepSettings& sweep = settings->sweep[type];
  CheckValue(sweep_texts.a, type, EntryField::PointA, &sweep.a);
  CheckValue(sweep_texts.b, type, EntryField::PointB, &sweep.b);
  CheckTime(sweep_texts.t1, EntryField::T1, &sweep.t1);
  CheckTime(sweep_texts.t2, EntryField::T2, &sweep.t2);
}

void CaptureReplayCount(const char* text, uint32_t* stored_count) {
  uint16_t unused;
  CheckReplayCount(text, false, stored_count, &unused);
}
