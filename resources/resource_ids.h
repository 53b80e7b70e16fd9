// Numeric ids of menus, controls, dialogs and timers. Shared by the
// resource script and the code, so plain #defines only.
#pragma once

// Menu "TOPMENU"
#define IDM_EXIT 100
#define IDM_ABOUT 101

// Dialog templates
#define IDD_ABOUT 2000
#define IDD_CONNECTION 2001
#define IDD_CLOCK 2002

// Main window
#define IDC_CONNECT 400
#define IDC_DISCONNECT 401
#define IDC_CONNECTION_SETTINGS 402
#define IDC_CLOCK_SETTINGS 403
#define IDC_OUTPUT_OFF 441
#define IDC_LIVE_VALUE 201
#define IDC_LIVE_UNIT 202
#define IDC_MODE_LABEL 203
#define IDC_TYPE_LABEL 204
#define IDC_LIVE_GROUP 3000
#define IDC_TAB 800
#define IDC_STATUS_BAR 4000

// Output pages
#define IDC_TYPE_GROUP 3001
#define IDC_OUTPUT_GROUP 3002
#define IDC_SWEEP_GROUP 3003
#define IDC_REPLAY_GROUP 3004
#define IDC_TYPE_RADIO_0 420  // 420..423, by output type
#define IDC_SET_OUTPUT 440
#define IDC_START_SWEEP 442
#define IDC_START_REPLAY 443
#define IDC_STOP_REPLAY 444
#define IDC_REALTIME_CHECK 600
#define IDC_REPEAT_CHECK 601
#define IDC_VALUE_UNIT 210
#define IDC_RANGE_MIN 211
#define IDC_RANGE_MID 212
#define IDC_RANGE_MAX 213
#define IDC_VALUE_BOX 501
#define IDC_SWEEP_A 502
#define IDC_SWEEP_B 503
#define IDC_SWEEP_T1 504
#define IDC_SWEEP_T2 505
#define IDC_REPEAT_COUNT 506
#define IDC_CHANNEL_LIST 300
#define IDC_SLIDER 900
#define IDC_STEP_COARSE 1200  // 1200..1202: coarse, medium, fine
#define IDC_SWEEP_PICTURE 1100

// Timers of the main window
#define TIMER_LIVE_VALUE 1000
#define TIMER_POLL 1001
#define TIMER_REALTIME 1002

// About box (2000)
#define IDC_ABOUT_PRODUCT 270
#define IDC_ABOUT_VERSION 271
#define IDC_ABOUT_NOTICE 272
#define IDC_ABOUT_OK 470

// Connection settings (2001)
#define IDC_CONN_METHOD_LABEL 250
#define IDC_CONN_PORT_LABEL 251
#define IDC_CONN_IP_LABEL 252
#define IDC_CONN_TCP_PORT_LABEL 253
#define IDC_CONN_OK 410
#define IDC_CONN_CANCEL 411
#define IDC_CONN_METHOD 310
#define IDC_CONN_PORT_LIST 311
#define IDC_CONN_IP 700
#define IDC_CONN_TCP_PORT 500

// Clock (2002)
#define IDC_CLOCK_CLOSE 430
#define IDC_CLOCK_GET 431
#define IDC_CLOCK_SET 432
