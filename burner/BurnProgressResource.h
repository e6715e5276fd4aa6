// Resource ids of the burn progress window (kept apart from the burner window's own range).
#pragma once

#define IDD_BURN_PROGRESS 6200
#define IDC_BURN_STATUS 6201
#define IDC_BURN_CURRENT 6202
#define IDC_BURN_BAR 6203
#define IDC_BURN_DETAILS 6204
#define IDC_BURN_CANCEL 6205
#define IDC_BURN_CLOSE 6206
#define IDC_BURN_LOG_LABEL 6207
#define IDC_BURN_LOG 6208
