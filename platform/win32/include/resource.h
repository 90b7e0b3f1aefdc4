// resource.h: the identities of the program's resources: the device dialog and its controls, as
// the dialog template the program is built with names them.
#pragma once

#define IDD_SELECT_DEVICE 101  // dialog "Select Render Device"
#define IDC_DEVICE_LIST 1001   // its list box of devices; "Run" is IDOK and "Exit" IDCANCEL
