// End-to-end harness: drives the real rv-sola62.exe from this separate process
// as a user would (harness_program.h starts and watches it, harness_controls.h
// works its window), and plays the instrument on loopback TCP (harness_fake.h).
#pragma once
#include "tests/e2e/harness_controls.h"
#include "tests/e2e/harness_fake.h"
#include "tests/e2e/harness_program.h"
