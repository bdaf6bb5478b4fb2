// Resource identifiers of TervoloStation. Plain numbers only: the resource compiler takes a
// resource name as it is written.
#pragma once

#define IDR_STATION_ICON 128
#define IDD_STATION 300
#define IDD_STATION_PRESET 301

// ---- The header ----------------------------------------------------------------------------
#define IDC_JOB_TEXT 1001
#define IDC_FILES_TEXT 1002
#define IDC_TOTALS_TEXT 1003
#define IDC_JOURNAL_TEXT 1004
#define IDC_START_STATION 1005
#define IDC_STOP_STATION 1006
#define IDC_OPEN_JOB 1007
#define IDC_SAVE_JOB 1008
#define IDC_PRESET_JOB 1009

// ---- Job from a preset ----------------------------------------------------------------------
#define IDC_STATION_PRESET_LIST 1050
#define IDC_STATION_PRESET_PORTS 1051

// ---- The tiles, made at run time: tile n has these plus n ------------------------------------
#define IDC_TILE_FIRST 1100
#define IDC_TILE_START_FIRST 1120
#define IDC_TILE_STOP_FIRST 1140
