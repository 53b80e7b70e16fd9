// The normal output page: output type, set and OFF, real-time output from the
// slider and step controls, and the live-value request.
#pragma once
#include <windows.h>

void ApplyOutputType();
void SetOutputValue(HWND window);  // button 440
void OutputOff(HWND window);       // button 441
void ApplyRealtimeCheck();
void RealtimeTick(HWND window);   // timer 1002
void LiveValueTick(HWND window);  // timer 1000
void SliderMoved();
void StepOutputValue(int control_id, int delta);
// Takes the value and sweep boxes into the output settings of the current type.
void CaptureOutputEntries();

// Unchecks the real-time box and applies it: real-time output stops.
void StopRealtimeOutput();
