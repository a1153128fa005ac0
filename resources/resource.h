// Every resource identifier of the program: strings, dialogs, controls, commands.
#pragma once

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
