// Resource ids of the shell extension module.
#pragma once

#define IDS_CONVERT_HELP 7001
#define IDS_CONVERT_TO 7002
#define IDS_BURN_ITEM 7003
#define IDS_RIP_ITEM 7004
#define IDS_RIP_HELP 7033
#define IDS_BURN_HELP 7101
#define IDS_PRODUCT_CAPTION 7200

// The "ID3v2" property page
#define IDD_METADATA_PAGE 7106
#define IDC_METADATA_LIST 7201
#define IDC_METADATA_CAPTION 7202
#define IDC_METADATA_ADDRESS 7203
