// Resource identifiers of the Windows program: dialog templates, icons, controls.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Dialog templates
#define IDD_DETAILS 102
#define IDD_MAIN 131
#define IDD_AUTOMATIC 133
#define IDD_OPTIONS 134
#define IDD_LIST_ADDRESS 143

// Icons
#define IDI_APPLICATION_ICON 128
#define IDI_IE 129
#define IDI_FIREFOX 130
#define IDI_SAFARI 135
#define IDI_CHROME 136
#define IDI_FLASH 137
#define IDI_EDGE 138
#define IDI_BRAVE 139
#define IDI_VIVALDI 140
#define IDI_OPERA 141
#define IDI_CHROMIUM 142

// Main window (131)
#define IDC_DETAILS 1001
#define IDC_SUMMARY 1002
#define IDC_AUTOSTART 1003
#define IDC_CLEAN_NOW 1004
#define IDC_FREQUENCY 1005
#define IDC_UNIT 1006
#define IDC_SCHEDULE 1007
#define IDC_OPTIONS 1008
#define IDC_UPDATE_LINK 1009
#define IDC_PICTURE 1012
#define IDC_FOOTER 1021

// Details dialog (102)
#define IDC_COOKIE_LIST 1000

// Options dialog (134)
#define IDC_MORE_INFO 9
#define IDC_DEFAULTS 10
#define IDC_FILTER 1008
#define IDC_FILTER_HELP 1009
// Each browser of the table of browsers has a switch and an icon, created with the
// dialog: the first browser's are these two IDs, each further browser's 2 more.
#define IDC_PROCESS_IE 1010
#define IDC_ICON_IE 1011
#define IDC_PROCESS_FIREFOX 1012
#define IDC_ICON_FIREFOX 1013
#define IDC_PROCESS_CHROME 1014
#define IDC_ICON_CHROME 1015
#define IDC_PROCESS_SAFARI 1016
#define IDC_ICON_SAFARI 1017
#define IDC_PROCESS_FLASH 1018
#define IDC_ICON_FLASH 1019
#define IDC_PROCESS_EDGE 1020
#define IDC_ICON_EDGE 1021
#define IDC_PROCESS_BRAVE 1022
#define IDC_ICON_BRAVE 1023
#define IDC_PROCESS_VIVALDI 1024
#define IDC_ICON_VIVALDI 1025
#define IDC_PROCESS_OPERA 1026
#define IDC_ICON_OPERA 1027
#define IDC_PROCESS_CHROMIUM 1028
#define IDC_ICON_CHROMIUM 1029
// The tracker lists and the keep list.
#define IDC_LISTS_LABEL 1030
#define IDC_TRACKER_LISTS 1031
#define IDC_ADD_LIST_FILE 1032
#define IDC_ADD_LIST_ADDRESS 1033
#define IDC_REMOVE_LIST 1034
#define IDC_NEVER_CLEAN_LABEL 1035
#define IDC_NEVER_CLEAN 1036

// Adding a list from an address (143)
#define IDC_LIST_ADDRESS 1000
