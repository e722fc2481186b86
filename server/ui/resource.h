// Resource and control ids of the window program, named once here and used
// by the .rc file and the code.
#pragma once

// Dialogs, menus, icons.
#define IDD_MAIN 101
#define IDD_SETTINGS 103
#define IDR_TRAY_MENU 105
#define IDI_MAIN 106
#define IDI_TRAY 107
#define IDR_MAIN_MENU 109

// The main dialog's buttons and fields.
#define IDC_SETTINGS 1003
#define IDC_APPLY 1004
#define IDC_REFRESH 1005
#define IDC_CONVERT 1006
#define IDC_MOUSE_ON 1028
#define IDC_MOUSE_OFF 1029
#define IDC_QUIT 1032
#define IDC_FORCED_DISCONNECT 1035
#define IDC_SERVER_ADDRESS 1056
#define IDC_STATUS_BAR 100

// The eight channel rows: type combo, path edit, "path" and "edit" buttons.
#define IDC_CH1_TYPE 1023
#define IDC_CH1_PATH 1024
#define IDC_CH1_PICK 1025
#define IDC_CH1_EDIT 1039
#define IDC_CH2_TYPE 1049
#define IDC_CH2_PATH 1007
#define IDC_CH2_PICK 1010
#define IDC_CH2_EDIT 1040
#define IDC_CH3_TYPE 1050
#define IDC_CH3_PATH 1009
#define IDC_CH3_PICK 1011
#define IDC_CH3_EDIT 1041
#define IDC_CH4_TYPE 1051
#define IDC_CH4_PATH 1018
#define IDC_CH4_PICK 1021
#define IDC_CH4_EDIT 1042
#define IDC_CH5_TYPE 1052
#define IDC_CH5_PATH 1020
#define IDC_CH5_PICK 1022
#define IDC_CH5_EDIT 1043
#define IDC_CH6_TYPE 1053
#define IDC_CH6_PATH 1030
#define IDC_CH6_PICK 1031
#define IDC_CH6_EDIT 1044
#define IDC_CH7_TYPE 1054
#define IDC_CH7_PATH 1033
#define IDC_CH7_PICK 1034
#define IDC_CH7_EDIT 1045
#define IDC_CH8_TYPE 1055
#define IDC_CH8_PATH 1036
#define IDC_CH8_PICK 1037
#define IDC_CH8_EDIT 1046

// Menu commands.
#define IDM_TRAY_QUIT 40002
#define IDM_TRAY_SHOW 40003
#define IDM_CONVERT 40007
#define IDM_MAKE_THUMBNAILS 40008

// The tray icon's id in its notifications.
#define IDI_TRAY_ENTRY 40001

// The settings dialog (103). Its ids repeat numbers of the main dialog's.
#define IDC_CFG_OK 1001
#define IDC_CFG_CANCEL 1002
#define IDC_CFG_USE_PASSWORD 1029
#define IDC_CFG_PASSWORD 1030
#define IDC_CFG_USE_MOUSE 1031
#define IDC_CFG_MOUSE_FOCUS 1040
#define IDC_CFG_MOUSE_SCALE 1035
#define IDC_CFG_VIDEO_EXT 1016
#define IDC_CFG_AUDIO_EXT 1047
#define IDC_CFG_IMAGE_EXT 1028
#define IDC_CFG_USE_FILE_GROUP 1041
#define IDC_CFG_FILE_GROUP 1019
#define IDC_CFG_LIVE_TIMEOUT 1014
#define IDC_CFG_SERVER_LOG 1037
#define IDC_CFG_DATA_TABLE 1052
#define IDC_CFG_DATA_TABLE_PICK 1003
#define IDC_CFG_SEARCH_LIST 1048
#define IDC_CFG_SEARCH_LIST_EDIT 1036
#define IDC_CFG_WORD_LIST 1049
#define IDC_CFG_WORD_LIST_EDIT 1038
#define IDC_CFG_PC_FOLDER_LIST 1050
#define IDC_CFG_PC_FOLDER_LIST_EDIT 1039
#define IDC_CFG_THUMBNAIL_FOLDER 1020
#define IDC_CFG_THUMBNAIL_FOLDER_PICK 1007
#define IDC_CFG_USE_FFMPEG 1042
#define IDC_CFG_FFMPEG_FOLDER 1021
#define IDC_CFG_FFMPEG_FOLDER_PICK 1008
#define IDC_CFG_PORT_SERVER 1034
#define IDC_CFG_PORT_HTTP 1032
#define IDC_CFG_PORT_MOUSE 1033
#define IDC_CFG_STREAM_COUNT 1043
#define IDC_CFG_CACHE_SIZE 1044
#define IDC_CFG_CACHE_COUNT 1045
#define IDC_CFG_CACHE_PROTECT 1046

// The two tool dialogs (136 the thumbnail maker, 108 the converter) and
// their progress window (135).
#define IDD_CONVERTER 108
#define IDD_PROGRESS 135
#define IDD_THUMBNAIL_BATCH 136
#define IDC_TOOL_SEARCH_LIST 1019
#define IDC_TOOL_OLD_MARKER_FOLDER 1017
#define IDC_TOOL_OLD_THUMBNAIL_FOLDER 1020
#define IDC_TOOL_CLOSE 1049
#define IDC_TOOL_START 1050
#define IDC_PROGRESS_TEXT 1146
#define IDC_PROGRESS_BUTTON 1002
