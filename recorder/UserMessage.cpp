// The message-box seam of voxcap.
#include "UserMessage.h"

MessageBoxFunction voxcapMessageBox = &MessageBoxW;
