// What a "fmt " record must say before its data is handed to a codec: the layout rules of PCM and of the
// block codecs (IMA and Microsoft ADPCM, GSM 6.10, A-law, mu-law). A codec given a record that breaks them
// can divide by zero or turn a tiny file into hundreds of megabytes.
#pragma once

#include <string>

#include "AcmCatalog.h"

// Checks the record and mends what readers commonly get wrong without harm: PCM sample widths that are not a
// whole number of bytes become their container's width, and a byte rate that does not follow from the rest
// is recomputed. False with the reason when the record cannot describe decodable audio.
bool CheckWaveFormat(FormatBytes& record, std::wstring& reason);

// Sample frames in one block of a block codec (IMA and Microsoft ADPCM, GSM 6.10, A-law and mu-law); 0 for
// PCM and for codecs whose blocks do not hold a fixed number of frames.
DWORD SamplesPerBlock(const WAVEFORMATEX* format);
