// Identifiers of the program's own resources and of its dialog's controls.
#pragma once

#define IDD_CONNSETUP           102
#define IDP_SOCKETS_INIT_FAILED 103
#define IDR_MAINFRAME           128

#define IDC_DEVICE_LIST   30
#define IDC_DISCOVER      518
#define IDC_CANCEL_BTN    519
#define IDC_SELECT_LABEL  520
#define IDC_OK_BTN        522
#define IDC_USB_CHECK     538
#define IDC_NO_SHOW_CHECK 1000
