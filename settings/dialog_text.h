// Texts that the clock dialog and the about box format.
#pragma once
#include <string>

struct ClockFields;

constexpr int kVersionMajor = 1;
constexpr int kVersionMinor = 0;

// "計測器の現在時刻は 2024/3/5 14:07:09 です。"
std::string ClockGetMessage(const ClockFields& clock);
// "計測器に現在時刻(2024/3/5 14:07:09)を設定しました。"
std::string ClockSetMessage(const ClockFields& clock);
// "バージョン 1.00"
std::string VersionLine(int major, int minor);
