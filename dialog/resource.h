// The resource and control ids of gen_zumt_ter, shared by the resource script
// (dialog/gen_zumt_ter.rc) and the code. Plain macros, since the resource
// compiler reads this file too.
#pragma once

// The about box, the main dialog, the icon and the system menu text.
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_GEN_ZUMT_TER 102
#define IDR_MAINFRAME 128

// The system menu command that opens the about box.
#define IDM_ABOUTBOX 0x0010

// Controls of the main dialog (besides IDOK 1 and IDCANCEL 2).
#define IDC_SETTINGS_PATH 1000
#define IDC_CHOOSE_SETTINGS 1001
#define IDC_HEIGHT_PATH 1002
#define IDC_CHOOSE_HEIGHT 1003
#define IDC_COLOUR_PATH 1004
#define IDC_CHOOSE_COLOUR 1005
#define IDC_APPLY 1006
#define IDC_PIXEL_SIZE 1007
#define IDC_MIN 1008
#define IDC_MAX 1009
#define IDC_FAKTOR 1010
#define IDC_SHIFT 1011
#define IDC_NAME 1012
