#pragma once
// Numbers of the program's string table (gatewise.rc); shared by the resource
// script and the code, so plain macros.

#define IDS_OPTIONS_KEY 100
#define IDS_APPLICATION_TITLE 102
#define IDS_ERROR_CAPTION 103

#define IDS_SECURE_MODE 200
#define IDS_RELAXED_MODE 201
#define IDS_CUSTOM_MODE 202
#define IDS_CURRENTLY_ACTIVE 203
#define IDS_MODE_CHANGED_FORMAT 204
#define IDS_MODE_CHANGED 205
#define IDS_MODE_NOT_CHANGED 206
#define IDS_SECURE_NOT_CONFIRMED 207
#define IDS_ACCOUNT_WITHOUT_PASSWORD 208
#define IDS_USERS_MANAGEMENT_COMMAND 209
#define IDS_PRODUCT_PAGE 210
#define IDS_SUPPORT_PAGE 211
#define IDS_VERIFY_REJECTED 212
#define IDS_VERIFY_IMPOSSIBLE 213
#define IDS_AUTOLOGON_REJECTED 214
#define IDS_CHECK_CAPTION 215
#define IDS_CHECK_PROBLEMS 216
#define IDS_CHECK_WARNINGS 217
#define IDS_CHECK_FINE 218
#define IDS_CHECK_FIX 219
#define IDS_PASSWORD_NOT_PROTECTED_CAPTION 240
#define IDS_PASSWORD_NOT_PROTECTED 241

// The line under the main window's header in Custom Mode.
#define IDS_CUSTOM_LINE 250
#define IDS_CUSTOM_NONE_SET 251
#define IDS_CUSTOM_BOTH 252
#define IDS_CUSTOM_EITHER 253
#define IDS_MOMENT_STARTUP 254
#define IDS_MOMENT_WAKE 255
#define IDS_MOMENT_SCREEN_SAVER 256

// What screen readers call the message dialog's icon.
#define IDS_ICON_ERROR 260
#define IDS_ICON_INFORMATION 261
#define IDS_ICON_QUESTION 262

#define IDS_HELP_CAPTION 220
#define IDS_HELP_FILE_MISSING 221
#define IDS_HELP_FILE_NOT_OPENED 222
#define IDS_HELP_VIEWER_MISSING 223

// The advertised products: tagline, description parts 1 and 2, page, name; one
// block of five per product, product index i at IDS_ADVERT_BASE + 10 * i.
#define IDS_ADVERT_BASE 300
#define IDS_ADVERT_TAGLINE 0
#define IDS_ADVERT_DESCRIPTION1 1
#define IDS_ADVERT_DESCRIPTION2 2
#define IDS_ADVERT_PAGE 3
#define IDS_ADVERT_NAME 4
#define IDS_ADVERT_MAKER_PAGE 390
#define IDS_ADVERT_CAMPAIGN 391
