#pragma once
// Resource ids shared by the resource script and the program.
#define IDI_TALLOWMERE 101  // the application icon (16, 32 and 48 px)
