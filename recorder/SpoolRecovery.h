// Recordings cut short by a crash or a kill: the spool files outlive the program, and the next start offers to
// turn the blocks that had not been encoded yet into an output file.
#pragma once

#include <string>

// Remembered while a recording runs (the output path, which the spool files are named after).
void NoteInterruptibleRecording(const std::wstring& outputPath);
void ForgetInterruptibleRecording();

// The output path of a recording that was interrupted and left spool files; empty when there is none.
std::wstring FindInterruptedRecording();

// Writes the spooled blocks that never reached the output into "<name> (recovered).<ext>" beside it, in the
// output's format, deletes the spool files and forgets the recording. The file's path, or empty with why in
// *error. Nothing is deleted when the recovery fails.
std::wstring RecoverInterruptedRecording(const std::wstring& outputPath, std::wstring* error);
// Deletes the spool files and forgets the recording (the user does not want it back).
void DiscardInterruptedRecording(const std::wstring& outputPath);
