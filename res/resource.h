#pragma once
// Resource ids shared by the resource script and the program.
#define IDI_TALLOWMERE 101  // the application icon (16, 32 and 48 px)

// The file list's context menu: one popup, and the commands of its items.
#define IDM_FILE_CONTEXT 201
#define IDM_RELINK 210
#define IDM_MAKE_RELATIVE 211
#define IDM_MAKE_ABSOLUTE 212
#define IDM_RESTORE_BACKUP 213
#define IDM_OPEN_CONTAINING_FOLDER 214
