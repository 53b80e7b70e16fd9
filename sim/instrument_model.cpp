#include "sim/instrument_model.h"

#include <cmath>
#include <cstdio>

#include "link/instrument_commands.h"

namespace {

constexpr uint8_t kPcStart = 0xAA;
constexpr uint8_t kAckStart = 0xAA;
constexpr uint8_t kReplyStart = 0x55;
constexpr uint8_t kStatusUnknownCommand = 2;
constexpr uint8_t kStatusBadLength = 3;
constexpr uint8_t kStatusBadValue = 4;
// A frame that stops arriving half way is forgotten after this long, as a
// real instrument's receiver would, so a later frame is read from its start.
constexpr uint64_t kHalfFrameTimeoutMs = 200;

const char* LinkName(int link) {
  return link == 0 ? "tcp" : "pty";
}

void Log(InstrumentModel* model, int link, const char* direction, const uint8_t* bytes, int count,
         const char* note) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%llu.%03llu ",
                static_cast<unsigned long long>(model->now_ms / 1000),
                static_cast<unsigned long long>(model->now_ms % 1000));
  std::string line = stamp;
  line += direction;
  line += ' ';
  line += LinkName(link);
  line += ' ';
  line += HexBytes(bytes, count);
  if (note) {
    line += " (";
    line += note;
    line += ')';
  }
  model->log.push_back(line);
}

bool Flagged(const bool* flags, int command) {
  return flags[command] || flags[kAllCommands];
}

uint16_t Word(const std::vector<uint8_t>& data, int offset) {
  return static_cast<uint16_t>(data[offset] << 8 | data[offset + 1]);
}

void PushCode(std::vector<uint8_t>* data, int16_t code) {
  data->push_back(static_cast<uint8_t>(static_cast<uint16_t>(code) >> 8));
  data->push_back(static_cast<uint8_t>(code & 0xFF));
}

struct Answer {
  uint8_t start;
  uint8_t status;
  std::vector<uint8_t> data;
};

Answer ClockReply(const InstrumentModel* model) {
  int year, month, day, hour, minute, second;
  int64_t elapsed = static_cast<int64_t>((model->now_ms - model->clock_set_ms) / 1000);
  CalendarFrom2000(model->clock_seconds + elapsed, &year, &month, &day, &hour, &minute, &second);
  return {
      kReplyStart,
      0,
      {static_cast<uint8_t>(year - 2000), static_cast<uint8_t>(month), static_cast<uint8_t>(day),
       static_cast<uint8_t>(hour), static_cast<uint8_t>(minute), static_cast<uint8_t>(second)}};
}

Answer SetClock(InstrumentModel* model, const std::vector<uint8_t>& d) {
  if (d[1] < 1 || d[1] > 12 || d[2] < 1 || d[2] > 31 || d[3] > 23 || d[4] > 59 || d[5] > 59) {
    return {kAckStart, kStatusBadValue, {}};
  }
  model->clock_seconds = SecondsSince2000(2000 + d[0], d[1], d[2], d[3], d[4], d[5]);
  model->clock_set_ms = model->now_ms;
  return {kAckStart, 0, {}};
}

Answer Handle(InstrumentModel* model, uint8_t command, const std::vector<uint8_t>& d) {
  const SimOptions& o = model->options;
  size_t size = d.size();
  auto bad_length = [](uint8_t start) { return Answer{start, kStatusBadLength, {}}; };
  switch (command) {
    case CMD_CONNECT:
    case CMD_DISCONNECT:
      if (size != 0) return bad_length(kReplyStart);
      return {kReplyStart, 0, {}};
    case CMD_SET_CLOCK:
      if (size != 6) return bad_length(kAckStart);
      return SetClock(model, d);
    case CMD_GET_CLOCK:
      if (size != 0) return bad_length(kReplyStart);
      return ClockReply(model);
    case CMD_GET_VERSION:
      if (size != 0) return bad_length(kReplyStart);
      return {kReplyStart,
              0,
              {static_cast<uint8_t>(o.device_code), static_cast<uint8_t>(o.firmware_major),
               static_cast<uint8_t>(o.firmware_minor), 0, 0, 0}};
    case CMD_GET_SERIAL: {
      if (size != 0) return bad_length(kReplyStart);
      std::vector<uint8_t> serial(8, '0');
      for (size_t i = 0; i < 8 && i < o.serial_number.size(); ++i) serial[i] = o.serial_number[i];
      return {kReplyStart, 0, serial};
    }
    case CMD_SET_OUTPUT:
      if (size != 3) return bad_length(kAckStart);
      if (d[0] > 3) return {kAckStart, kStatusBadValue, {}};
      model->mode = 0;
      model->output_type = d[0];
      model->set_code = static_cast<int16_t>(Word(d, 1));
      return {kAckStart, 0, {}};
    case CMD_GET_OUTPUT: {
      if (size != 0) return bad_length(kReplyStart);
      std::vector<uint8_t> live = {static_cast<uint8_t>(model->mode),
                                   static_cast<uint8_t>(model->output_type)};
      PushCode(&live, LiveCode(model));
      return {kReplyStart, 0, live};
    }
    case CMD_START_REPLAY:
      if (size != 3) return bad_length(kAckStart);
      if (d[0] > 4) return {kAckStart, kStatusBadValue, {}};
      model->mode = 1;
      model->replay_channel = d[0];
      model->replay_count = Word(d, 1);
      model->started_ms = model->now_ms;
      return {kAckStart, 0, {}};
    case CMD_STOP_REPLAY:
      if (size != 0) return bad_length(kAckStart);
      if (model->mode == 1) model->mode = 0;
      return {kAckStart, 0, {}};
    case CMD_START_SWEEP:
      if (size != 9) return bad_length(kAckStart);
      if (d[0] > 3) return {kAckStart, kStatusBadValue, {}};
      model->mode = 2;
      model->output_type = d[0];
      model->sweep_a = static_cast<int16_t>(Word(d, 1));
      model->sweep_b = static_cast<int16_t>(Word(d, 3));
      model->sweep_t1 = Word(d, 5);
      model->sweep_t2 = Word(d, 7);
      model->started_ms = model->now_ms;
      return {kAckStart, 0, {}};
    default:
      return {kAckStart, kStatusUnknownCommand, {}};
  }
}

void Queue(InstrumentModel* model, int link, uint8_t command, Answer answer) {
  const SimOptions& o = model->options;
  int status = o.status_override[command];
  if (status < 0) status = o.status_override[kAllCommands];
  if (status >= 0) answer.status = static_cast<uint8_t>(status);
  bool cut_checksum = false;
  if (Flagged(o.short_reply, command)) {
    if (answer.data.empty()) {
      cut_checksum = true;
    } else {
      answer.data.pop_back();
    }
  }
  if (Flagged(o.long_reply, command)) answer.data.push_back(0);
  std::vector<uint8_t> frame = BuildFrame(answer.start, command, answer.status, answer.data);
  if (Flagged(o.bad_checksum, command)) frame.back() = static_cast<uint8_t>(frame.back() + 1);
  if (cut_checksum) frame.pop_back();
  model->outbox.push_back({link, model->now_ms + o.delay_ms, frame});
}

void FrameComplete(InstrumentModel* model, int link, SimFrameReader* r) {
  uint8_t command = r->header[1];
  std::vector<uint8_t> frame(r->header, r->header + 5);
  frame.insert(frame.end(), r->data.begin(), r->data.end());
  frame.push_back(static_cast<uint8_t>(r->sum + 1));
  int64_t n = ++model->frames_received;
  SimOptions& o = model->options;
  const char* note = nullptr;
  bool answer = true;
  bool drop = false;
  if (o.drop_after >= 0 && n >= o.drop_after) {
    drop = true;
    answer = n == o.drop_after;
    o.drop_after = -1;  // one drop; the next connection works again
    note = answer ? "drop after answer" : "dropped";
  }
  if (o.silent || (o.silent_after >= 0 && n > o.silent_after)) {
    answer = false;
    if (!note) note = "silent";
  }
  Log(model, link, "rx", frame.data(), static_cast<int>(frame.size()), note);
  if (answer) Queue(model, link, command, Handle(model, command, r->data));
  if (drop) model->drop_requested[link] = true;
  if (command == 0x10) model->frames_since_connect = 0;
  if (++model->frames_since_connect == o.stall_after) {
    model->stall_until_ms[link] = model->now_ms + o.stall_ms;
  }
}

void ResetReader(SimFrameReader* r) {
  r->state = 0;
  r->length = 0;
  r->data.clear();
  r->sum = 0;
}

void TakeByte(InstrumentModel* model, int link, uint8_t byte) {
  SimFrameReader* r = &model->readers[link];
  if (r->state != 0 && model->now_ms - r->last_byte_ms > kHalfFrameTimeoutMs) ResetReader(r);
  r->last_byte_ms = model->now_ms;
  switch (r->state) {
    case 0:
      if (byte != kPcStart) return;
      r->header[0] = byte;
      r->sum = byte;
      r->data.clear();
      r->state = 1;
      return;
    case 1:
    case 2:
    case 3:
    case 4:
      r->header[r->state] = byte;
      r->sum = static_cast<uint8_t>(r->sum + byte);
      if (r->state == 4) {
        r->length = r->header[3] << 8 | r->header[4];
        if (r->length > kSimMaxData) {
          Log(model, link, "rx", r->header, 5, "length too large, ignored");
          ResetReader(r);
          return;
        }
        r->state = r->length ? 5 : 6;
      } else {
        ++r->state;
      }
      return;
    case 5:
      r->data.push_back(byte);
      r->sum = static_cast<uint8_t>(r->sum + byte);
      if (static_cast<int>(r->data.size()) == r->length) r->state = 6;
      return;
    default:
      if (byte == static_cast<uint8_t>(r->sum + 1)) {
        FrameComplete(model, link, r);
      } else {
        std::vector<uint8_t> frame(r->header, r->header + 5);
        frame.insert(frame.end(), r->data.begin(), r->data.end());
        frame.push_back(byte);
        Log(model, link, "rx", frame.data(), static_cast<int>(frame.size()), "bad checksum");
      }
      ResetReader(r);
  }
}

double ReplayShape(int channel, uint32_t index) {
  const double pi = 3.14159265358979323846;
  double t = static_cast<double>(index) / kReplayRecordLength;  // 0..1 over the log
  switch (channel) {
    case 0:
      return std::sin(2 * pi * t);
    case 1:
      return 2 * t - 1;  // ramp
    case 2:
      return (index / 50) % 2 ? -0.8 : 0.8;  // 0.5 s square
    case 3:
      return 0.5 * std::sin(6 * pi * t) + 0.25 * std::sin(22 * pi * t);
    default:
      return -1 + 0.5 * static_cast<double>(index * 5 / kReplayRecordLength);  // five steps
  }
}

}  // namespace

SimOptions::SimOptions() {
  for (int i = 0; i <= kAllCommands; ++i) {
    status_override[i] = -1;
    short_reply[i] = long_reply[i] = bad_checksum[i] = false;
  }
}

void InitModel(InstrumentModel* model, const SimOptions& options, int64_t clock_seconds) {
  *model = InstrumentModel{};
  model->options = options;
  model->clock_seconds = clock_seconds;
  for (SimFrameReader& r : model->readers) ResetReader(&r);
  if (options.stall_after < 0) {
    for (uint64_t& until : model->stall_until_ms) until = options.stall_ms;
  }
}

void AdvanceModel(InstrumentModel* model, uint64_t now_ms) {
  if (now_ms > model->now_ms) model->now_ms = now_ms;
  if (model->mode == 1 && model->replay_count > 0 &&
      model->now_ms - model->started_ms >=
          static_cast<uint64_t>(model->replay_count) * kReplayRecordLength * 10) {
    model->mode = 0;  // the replay ran its count; the normal value is back
  }
}

void ModelReceive(InstrumentModel* model, int link, const uint8_t* bytes, int count) {
  for (int i = 0; i < count; ++i) TakeByte(model, link, bytes[i]);
}

bool TakeDueAnswers(InstrumentModel* model, int link, std::vector<uint8_t>* out) {
  bool any = false;
  for (size_t i = 0; i < model->outbox.size();) {
    SimAnswer& a = model->outbox[i];
    if (a.link == link && a.due_ms <= model->now_ms) {
      Log(model, link, "tx", a.bytes.data(), static_cast<int>(a.bytes.size()), nullptr);
      out->insert(out->end(), a.bytes.begin(), a.bytes.end());
      model->outbox.erase(model->outbox.begin() + i);
      any = true;
    } else {
      ++i;
    }
  }
  return any;
}

uint64_t NextDueMs(const InstrumentModel* model) {
  uint64_t next = UINT64_MAX;
  for (const SimAnswer& a : model->outbox) next = a.due_ms < next ? a.due_ms : next;
  return next;
}

void ForgetLink(InstrumentModel* model, int link) {
  ResetReader(&model->readers[link]);
  model->drop_requested[link] = false;
  for (size_t i = 0; i < model->outbox.size();) {
    if (model->outbox[i].link == link) {
      model->outbox.erase(model->outbox.begin() + i);
    } else {
      ++i;
    }
  }
}

int16_t LiveCode(const InstrumentModel* model) {
  uint64_t elapsed = model->now_ms - model->started_ms;
  if (model->mode == 2) {
    int64_t rise = model->sweep_t1 * 10LL, fall = model->sweep_t2 * 10LL;
    int64_t a = model->sweep_a, b = model->sweep_b;
    if (rise + fall == 0) return model->sweep_a;
    int64_t phase = static_cast<int64_t>(elapsed % static_cast<uint64_t>(rise + fall));
    if (phase < rise) return static_cast<int16_t>(a + (b - a) * phase / rise);
    return static_cast<int16_t>(b + (a - b) * (phase - rise) / fall);
  }
  if (model->mode == 1) {
    uint32_t index = static_cast<uint32_t>(elapsed / 10 % kReplayRecordLength);
    return ReplaySample(model->replay_channel, model->output_type, index);
  }
  return model->set_code;
}

int16_t ReplaySample(int channel, int output_type, uint32_t index) {
  double shape = ReplayShape(channel, index);  // -1..1
  // Current ranges have no negative side: the log is shown over 0..full scale.
  double scaled = output_type >= 2 ? (shape + 1) / 2 : shape * 0.9;
  return static_cast<int16_t>(std::lround(scaled * 32767));
}

int64_t SecondsSince2000(int year, int month, int day, int hour, int minute, int second) {
  // Days from the civil date, counted in 400-year eras starting in March.
  int y = year - (month <= 2);
  int era = (y >= 0 ? y : y - 399) / 400;
  int year_of_era = y - era * 400;
  int day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  int day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  int64_t days = era * 146097LL + day_of_era - 719468 - 10957;  // 1970 -> 2000
  return days * 86400 + hour * 3600 + minute * 60 + second;
}

void CalendarFrom2000(int64_t seconds, int* year, int* month, int* day, int* hour, int* minute,
                      int* second) {
  int64_t days = seconds / 86400, rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  *hour = static_cast<int>(rest / 3600);
  *minute = static_cast<int>(rest / 60 % 60);
  *second = static_cast<int>(rest % 60);
  int64_t z = days + 10957 + 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t day_of_era = z - era * 146097;
  int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  int64_t mp = (5 * day_of_year + 2) / 153;
  *day = static_cast<int>(day_of_year - (153 * mp + 2) / 5 + 1);
  *month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *year = static_cast<int>(year_of_era + era * 400 + (*month <= 2));
}
