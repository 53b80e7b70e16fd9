// What the other output pages use of the normal page.
#pragma once

// Unchecks the real-time box and applies it: real-time output stops.
void StopRealtimeOutput();
