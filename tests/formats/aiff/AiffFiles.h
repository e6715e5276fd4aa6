// Building AIFF files byte by byte for tests, taking our own output apart, and factory helpers.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "WavFiles.h"

std::string BigEndian32(uint32_t value);
std::string BigEndian16(uint16_t value);
uint32_t GetBigEndian32(const std::string& bytes, size_t at);
std::string ExtendedRate(uint32_t rate);

// A chunk with a big-endian size, padded to an even length.
std::string AiffChunk(const char* id, const std::string& payload);
std::string CommPayload(int16_t channels, uint32_t frames, int16_t bits, const std::string& rate);
std::string AifcCommPayload(int16_t channels, uint32_t frames, int16_t bits, const std::string& rate, const char* type,
                            const std::string& name);
std::string SsndPayload(const std::string& samples, uint32_t offset = 0);
std::string Form(const char* type, const std::string& chunks);
// A plain AIFF file of big-endian (two's complement) samples.
std::string AiffFile(WORD channels, WORD bits, DWORD rate, const std::string& fileSamples);

// The engine's PCM as an AIFF file holds it (8-bit signed, wider big-endian), and back.
std::string ToFileSamples(const std::string& pcm, WORD bits);

// The AIFF source is reached through its class id only; the destination through the "AIFF" row.
IConvertSource* NewAiffSource();
IConvertDestination* NewAiffDestination();
DecodeResult DecodeAiff(const std::wstring& path, int startMs = -1);
