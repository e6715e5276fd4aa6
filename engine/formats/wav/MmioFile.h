// Multimedia file I/O on a wide file name: the file is opened with the wide-path file API and handed to
// mmio's DOS I/O procedure, which closes it with the mmio handle.
#pragma once

#include <windows.h>
#include <mmsystem.h>

// Null when the file cannot be opened; `create` replaces or creates it for writing.
HMMIO OpenMmioFile(const wchar_t* path, bool create);
