// resource.h: identifiers shared by plinkar.rc and the shell-window code.
#ifndef PLINKAR_RESOURCES_RESOURCE_H
#define PLINKAR_RESOURCES_RESOURCE_H

#define IDS_APP_TITLE 103
#define IDD_ABOUTBOX 103
#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDI_PLINKAR 107
#define IDI_SMALL 108
#define IDC_PLINKAR 109
#define IDB_BACKDROP 109

#endif  // PLINKAR_RESOURCES_RESOURCE_H
