// The replay output page.
#pragma once
#include <windows.h>

void StartReplay(HWND window);  // button 443
void StopReplay(HWND window);   // button 444
void ApplyRepeatCheck();
// Takes the channel and count into the output settings.
void CaptureReplayEntries();
