// Resource and control numbers, shared by the resource script and the code.
#pragma once

#define IDD_SETUP_DIALOG 102
#define IDR_MAINFRAME 128
#define IDD_AGREEMENT_DIALOG 130
#define IDD_PROGRESS_DIALOG 131
#define IDC_DIRECTORY 1000
#define IDC_AGREEMENT_TEXT 1016
#define IDC_PRINT 1017
#define IDC_PROGRESS_TEXT 1018
#define IDC_PROGRESS_BAR 1019
