// Where the SCSI layer's ASPI requests go: a system ASPI library, or the pass-through back end that answers them
// itself on the drives' device handles.
#pragma once

#include <windows.h>

class AspiPort {
 public:
  virtual ~AspiPort() = default;
  // High byte: status (1 = done, 0xE8 = no adapters); low byte: adapter count.
  virtual DWORD SupportInfo() = 0;
  // One request block; its status byte as the return value (0 while a command is still running).
  virtual DWORD Send(void* request) = 0;
};
