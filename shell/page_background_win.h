// The output pages over the tab control: their stacking, and their controls
// painted with the tab's body instead of the window's button face.
#pragma once
#include <windows.h>

struct MainWindowRecord;

// Stacks the controls of the pages from first_page on above the tab control
// and the pages stacked before: the controls a user works over the labels
// that overlap them (the step labels reach into the slider), labels over
// group boxes. Each is created clipped by what lies above it.
void StackPageControls(MainWindowRecord* record, int first_page);

// Answers the page controls' colour messages and paints the window's
// background; true with *result set when the message was answered. Theme and
// system colour changes drop the sampled colour and fall through.
bool HandlePageBackground(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result);
