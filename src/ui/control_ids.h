/* Resource and control ids of the main dialog. Shared by the resource script and the code,
   so it stays plain preprocessor definitions. */
#pragma once

#define IDD_FIRMWAREUPDATE_DIALOG 102
#define IDS_SOCKETS_INIT_FAILED 103
#define IDR_MAINFRAME 128

#define IDC_FILE_GROUP 1000
#define IDC_UPDATE_GROUP 1001
#define IDC_DEVICE_LABEL 1005
#define IDC_FILE_PATH 1006
#define IDC_SECTION_COUNTER 1007
#define IDC_UPDATE 1009
#define IDC_HELP_BUTTON 1010
#define IDC_BROWSE 1034
#define IDC_IMAGE_REV 1036
#define IDC_MODEL_NAME 1038
#define IDC_DESCRIPTION 1039
#define IDC_MORE_INFO 1053
#define IDC_PROGRESS 1055
#define IDC_FOOTER 1063
#define IDC_LOG 1062
#define IDC_SEPARATOR 1064
#define IDC_DEVICE_LIST 1060
