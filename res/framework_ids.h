// Identifiers of the application framework itself, with the values of the
// framework the program was written for: its help command and the texts of
// its message boxes (their texts are in the string table of res/resources.h).
#pragma once

#define ID_HELP 0xE146
// The application's title: its name in every message box, whatever the
// executable file is called.
#define IDS_FRAMEWORK_APP_TITLE 0xE000
#define IDS_FRAMEWORK_NO_MEMORY 61475
#define IDS_FRAMEWORK_HELP_FAILED 61703
#define IDS_FRAMEWORK_INTERNAL_ERROR 61704
#define IDS_FRAMEWORK_COMMAND_FAILED 61705
