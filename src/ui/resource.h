// Identifiers of the program's resources and of the controls in its dialog
// templates, shared by orvanta.rc and the code. Plain macros: the resource
// compiler reads this file too.
#pragma once

// Dialog templates, strings, icon.
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_OPTIONS 102
#define IDR_MAINFRAME 128

// The system-menu command that opens the About box.
#define IDM_ABOUTBOX 0x0010

// Controls of the options window.
#define IDC_SYNCHRONIZE_NOW 1000
#define IDC_INSTALL_SERVICE 1001
#define IDC_REMOVE_SERVICE 1002
#define IDC_PERIOD 1003
#define IDC_PREFERRED 1004
#define IDC_SERVER_LIST 1005
#define IDC_REMOVE_SERVER 1006
#define IDC_ADD_SERVER 1007
#define IDC_LAST_SYNC_CAPTION 1008
#define IDC_LAST_SYNC 1009
#define IDC_HELP_BUTTON 1010
#define IDC_PROGRAM_ICON 1011
#define IDC_LAST_OFFSET 1013
#define IDC_FACTORY_LIST 1014
#define IDC_SAVE 1017

// Controls of the About box.
#define IDC_HOME_PAGE 1012
#define IDC_VERSION 1015
#define IDC_BUILD_DATE 1016

// The maker: named once, shown in the About box and in the version resource.
// The home page is both the About box's link text and the address it opens.
#define ORVANTA_HOME_PAGE "https://orvanta.org"
#define ORVANTA_MAKER "The Orvanta project"
#define ORVANTA_MAKER_LINE "Made by the Orvanta project"
#define ORVANTA_COPYRIGHT "Copyright (C) the Orvanta project"
