// Every resource identifier of the program: strings, dialogs, controls, commands.
#pragma once

#define IDC_STATIC             -1

// Strings
#define IDS_OK                 112
#define IDS_TTX_FILE_SPEC      412
#define IDS_TXT_TYPE_NAME      414
#define IDS_TXT_FILE_SPEC      415
#define IDS_SEARCHING_IN       451
#define IDS_SUMMARY_SEARCHED   452
#define IDS_SUMMARY_FOUND_IN   453
#define IDS_SUMMARY_FOUND      454
#define IDS_TTX_TYPE_NAME      458
#define IDS_BAD_REGEX          2002

// Strings of the window program
#define IDS_APP_TITLE          103
#define IDS_WINDOW_CLASS       109
#define IDS_STOP               110
#define IDS_SEARCH             111
#define IDS_COLUMN_NAME        400
#define IDS_COLUMN_MATCHES     401
#define IDS_COLUMN_LOCATION    402
#define IDS_COLUMN_SIZE        403
#define IDS_COLUMN_FILE_TYPE   404
#define IDS_COLUMN_UPDATED     405
#define IDS_CASE_SENSITIVE     411
#define IDS_NOT_CASE_SENSITIVE 413
#define IDS_BROWSE_ENTRY       418
#define IDS_SELECT_FOLDER      450
#define IDS_WITH_SUBDIRS       460
#define IDS_WITHOUT_SUBDIRS    461
#define IDS_REGEX_SEARCH       462
#define IDS_READ_ERROR         470
#define IDS_FAILED             471
#define IDS_ABOUT_DESCRIPTION  472
#define IDS_SUMMARY_FAILED     473
#define IDS_STOPPED            475
#define IDS_READY              476
#define IDS_FOLDER_MISSING     477
#define IDS_FOLDER_UNREADABLE  478
#define IDS_SIDE_BOTH          479
#define IDS_SIDE_SOURCE        480
#define IDS_SIDE_TARGET        481
#define IDS_SEGMENT_ID         482
#define IDS_SEGMENT_SOURCE     483
#define IDS_SEGMENT_TARGET     484
#define IDS_SEGMENT_HIT        485
#define IDS_SEGMENT_CONTEXT    486
#define IDS_EXPORT_TITLE       487
#define IDS_EXPORT_FILTER      488
#define IDS_EXPORT_REPLACE     489
#define IDS_EXPORT_FAILED      490
#define IDS_EDITOR_FAILED      491
#define IDS_OPEN_FAILED        492
#define IDS_THREADS_AUTOMATIC  493
#define IDS_FILTER_HOST_MISSING 494
#define IDS_COUNT_MATCHES      495
#define IDS_COUNT_MATCH        496
#define IDS_COUNT_FILES        497
#define IDS_COUNT_FILE         498
#define IDS_SUMMARY_LISTED     499
#define IDS_SUMMARY_NO_FILE    500
#define IDS_TYPE_FOLDER        501
#define IDS_REGEX_NOT_VALID    502
#define IDS_MAXIMUM_TOO_SMALL  503
#define IDS_PATTERN_NAMES_FOLDER 504
#define IDS_CHECK_IGNORED      505
#define IDS_CHECK_IGNORE       506
#define IDS_CHECK_LET_BACK     507
#define IDS_IGNORE_SAVE_FAILED 508
#define IDS_CHECKS_EXPORT_TITLE 509
#define IDS_CHECK_GLOSSARY_FILTER 511
#define IDS_CHECK_CHECKLIST_FILTER 512
#define IDS_CHECK_STOPPED      513
#define IDS_READING_GROUPS     514
#define IDS_SEARCH_PROGRESS    515
#define IDS_CHECK_PROGRESS     516
#define IDS_COUNT_FILES_GROUPED 517
#define IDS_LISTED_FILES       518
#define IDS_NO_LISTED_FILES    519

// Icon, menu, accelerators and dialogs
#define IDI_MIRLOCK            107
#define IDR_MAINMENU           109
#define IDR_ACCELERATORS       109
#define IDD_ABOUT              103
#define IDD_OPTIONS            131
#define IDD_SEARCH_PANEL       132
#define IDD_CHECKS             133

// Controls of the search panel
#define IDC_SEARCH_TEXT        1012
#define IDC_LOOK_IN            1013
#define IDC_SUBDIRS            1005
#define IDC_OPTIONS_GROUP      1022
#define IDC_OPTIONS_TOGGLE     1018
#define IDC_CASE               1004
#define IDC_WHOLE_WORDS        1015
#define IDC_REGEX              1003
#define IDC_FILE_NAME          1017
#define IDC_CONVERTERS_GROUP   1023
#define IDC_CONVERTERS_TOGGLE  1020
#define IDC_IGNORE_HIDDEN      1019
#define IDC_IGNORE_TAGGED      1010
#define IDC_TAG_TEXT           1024
#define IDC_IN_RESULTS         1037
#define IDC_SIZE_MODE          1038
#define IDC_SIZE_FROM          1039
#define IDC_SIZE_TO            1040
#define IDC_SIZE_UNIT          1041
#define IDC_DATE_MODE          1042
#define IDC_DAYS               1043
#define IDC_DATE_FROM          1044
#define IDC_DATE_TO            1045
#define IDC_IGNORE_ACCENTS     1046

// Controls of the Options and About dialogs
#define IDC_MODE_IFILTER       1026
#define IDC_MODE_OFFICE        1025
#define IDC_MODE_TEXT          1029
#define IDC_MAXIMUM_MATCH      1027
#define IDC_READ_UTF8          1030
#define IDC_SIDE               1031
#define IDC_TARGET_TEXT        1032
#define IDC_NOT_TARGET         1033
#define IDC_VERSION_LINE       1028
#define IDC_EDITOR             1034
#define IDC_SEARCH_THREADS     1035
#define IDC_FILTER_TIMEOUT     1036

// Controls of the Check segments dialog: one box per check, from
// IDC_CHECK_FIRST in the order of the checks; one per state, from
// IDC_STATE_FIRST in the order of the states (new first).
#define IDC_CHECK_FIRST        2100
#define IDC_STATE_FIRST        2130
#define IDC_CHECK_SAME_CASE    2140
#define IDC_CHECK_TERMS_CASE   2141
#define IDC_CHECK_CONS_CASE    2142
#define IDC_CHECK_CONS_CODES   2143
#define IDC_CHECK_CONS_SPACES  2144
#define IDC_CHECK_TAG_ORDER    2145
#define IDC_CHECK_LENGTH_PERCENT 2146
#define IDC_CHECK_LOCKED       2147
#define IDC_CHECK_GLOSSARY     2148
#define IDC_CHECK_GLOSSARY_BROWSE 2149
#define IDC_CHECK_CHECKLIST    2150
#define IDC_CHECK_CHECKLIST_BROWSE 2151
// Child windows of the main window and the result list
#define IDC_SPLITTER           9202
#define IDC_RESULT_LIST        9203
#define IDC_STATUS_BAR         9204
#define IDC_SEGMENT_LIST       9205
#define IDC_SEGMENT_BAR        9206
#define IDC_CHECK_LIST         9207
#define IDC_LIST_HEADER        45055
#define IDC_LIST_BOX           45054

// Commands
#define IDM_ABOUT              104
#define IDM_EXIT               105
#define IDM_SEARCH             32773
#define IDM_OPTIONS            32775
#define IDM_OPEN_FILE          32779
#define IDM_CONTEXT            32784
#define IDM_STATUS_BAR         32786
#define IDM_CUT                32791
#define IDM_COPY               32792
#define IDM_PASTE              32793
#define IDM_DELETE             32794
#define IDM_SELECT_ALL         32801
#define IDM_UNDO               32805
#define IDM_COPY_PATH          32807
#define IDM_SEGMENTS           32810
#define IDM_EXPORT             32811
#define IDM_OPEN_FOLDER        32812
#define IDM_OPEN_WITH          32813
#define IDM_COPY_FULL_PATH     32814
#define IDM_CHECK_SEGMENTS     32815
#define IDM_VIEW_RESULTS       32816
#define IDM_VIEW_CHECKS        32817
#define IDM_IGNORED_CHECKS     32818
#define IDM_IGNORE             32819
#define IDM_NEXT_HIT           32820
#define IDM_PREVIOUS_HIT       32821
#define IDM_NEXT_FILE          32822
#define IDM_PREVIOUS_FILE      32823
