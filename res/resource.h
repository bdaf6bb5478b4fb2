// Resource identifiers of TervoloPLUS, grouped by the dialog or resource that uses them.
// Plain numbers only: the resource compiler takes a resource name as it is written.
#pragma once

// ---- Application-wide resources ----------------------------------------------------------
#define IDR_MAINFRAME 128   // program icon
#define IDR_MAIN_MENU 141   // menu bar of the main window
#define IDS_ABOUTBOX 101    // "&About TervoloPLUS..." (system menu)
#define IDM_ABOUTBOX 0x0010 // system-menu command of the About item (low four bits clear)

// ---- Pictures -----------------------------------------------------------------------------
#define IDB_BOOT_CODE_OFF 129
#define IDB_BOOT_CODE_ON 130
#define IDB_LANGUAGE_PACK_OFF 131
#define IDB_MAIN_CODE_OFF 132
#define IDB_MAIN_CODE_ON 133
#define IDB_LANGUAGE_PACK_ON 134
#define IDB_START_DOWNLOAD_BITMAP 137
#define IDB_STOP_DOWNLOAD_BITMAP 138
#define IDB_LOGO 145

// ---- Tooltip texts of the main window -----------------------------------------------------
#define IDS_TIP_START_STOP 102
#define IDS_TIP_MAIN_CODE 103
#define IDS_TIP_BOOT_CODE 104
#define IDS_TIP_LANGUAGE_PACK 105
#define IDS_TIP_BAUD_RATE 106
#define IDS_TIP_MOBILE_MODEL 107
#define IDS_TIP_REPORT 108
#define IDS_TIP_GANG_MODE 109

// ---- Menu commands of menu 141 ------------------------------------------------------------
#define ID_PRESETS_BROWSE 32772 // "&Presets" > "Add/Modify/Browse..."
#define ID_HELP_ABOUT 32773     // "&Help" > "About TervoloPLUS"

// ---- Main window: dialog 102 --------------------------------------------------------------
#define IDD_TERVOLOPLUS_DIALOG 102
#define IDC_START_DOWNLOAD 1000
#define IDC_REPORT_LIST 1002
#define IDC_BOOT_CODE_BUTTON 1003
#define IDC_MAIN_CODE_BUTTON 1004
#define IDC_LANGUAGE_PACK_BUTTON 1005
#define IDC_LANGUAGE_PACK_PROGRESS 1006
#define IDC_MAIN_CODE_PROGRESS 1007
#define IDC_BOOT_CODE_PROGRESS 1008
#define IDC_BAUD_RATE 1009
#define IDC_COM_PORT 1010
#define IDC_LANGUAGE_PACK_PERCENT 1011
#define IDC_MAIN_CODE_PERCENT 1012
#define IDC_BOOT_CODE_PERCENT 1013
#define IDC_MOBILE_MODEL 1014
#define IDC_BROWSE_IMAGE 1015
#define IDC_IMAGE_FILE 1016
#define IDC_GANG_MODE 1017
#define IDC_DOWNLOAD_TIME 1018
#define IDC_BROWSE_LANGUAGE_PACK 1019
#define IDC_LANGUAGE_PACK_FILE 1020

// ---- About box ----------------------------------------------------------------------------
#define IDD_ABOUTBOX 100
#define IDC_ABOUT_LOGO 1001
#define IDC_ABOUT_VERSION 1002
#define IDC_ABOUT_COPYRIGHT 1003

// ---- Preset name prompt: dialog 142 ("New Preset Entry") --------------------------------------
#define IDD_PRESET_NAME 142
#define IDC_PRESET_NAME_EDIT 1019

// ---- Preset browser: dialog 143 ("Browsing Preset Entries") -----------------------------------
#define IDD_PRESET_BROWSE 143
#define IDC_PRESET_LIST 1020
#define IDC_NEW_SETUP 1021
#define IDC_DELETE_SETUP 1022
