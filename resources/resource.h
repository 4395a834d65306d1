// Identifiers shared by the resource script and the dialog code.
#pragma once
#define IDD_REPORT_DIALOG 102
#define IDR_MAINFRAME 128
#define IDC_COPY_ALL 3
#define IDC_SAVE_AS 4
#define IDC_SAVE 5
#define IDC_DETAIL_VIEW 1000
#define IDC_USER_VIEW 1001
#define IDC_SUPPORT_VIEW 1002
