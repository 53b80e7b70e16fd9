// The output pages over the tab control: their stacking, and their controls
// painted with the tab's body instead of the window's button face.
#pragma once
#include <windows.h>

struct MainWindowRecord;

// Stacks the page controls above the tab control, each clipped by what lies
// above it: the controls a user works over the labels that overlap them (the
// step labels reach into the slider), labels over group boxes.
void StackPageControls(MainWindowRecord* record);

// Answers the page controls' colour messages and paints the window's
// background; true with *result set when the message was answered. Theme and
// system colour changes drop the sampled colour and fall through.
bool HandlePageBackground(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result);
