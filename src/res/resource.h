// Resource ids of the module.
#pragma once

#define IDS_MANUFACTURER 0
#define IDS_PRODUCT_FAMILY 1
#define IDS_PRODUCT_NAME 2
#define IDS_VERSION_INFO 3

#define IDD_USER_INTERFACE 1010
#define IDC_PREVIEW 1027
#define IDC_PREVIEW_GROUP -1

// Texts of dialog IDD_USER_INTERFACE that code reads as well as the resource
// script: the title, and the Preview button's captions (its visible state).
#define QX_DIALOG_TITLE "Quorvex User Interface"
#define QX_PREVIEW_IDLE_CAPTION "Preview"
#define QX_PREVIEW_RUNNING_CAPTION "Stop Preview"
