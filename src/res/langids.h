// Text numbers of the per-country language libraries.
#pragma once

#define IDS_SELECT_DEVICE 2000
#define IDS_OK            2001
#define IDS_DISCOVER      2002
#define IDS_CANCEL        2003
#define IDS_USB           2004
#define IDS_NO_DEVICE     6002
