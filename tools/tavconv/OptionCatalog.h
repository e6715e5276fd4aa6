// The encoder options each output format takes, with the values they accept, for help texts and for
// explaining the engine's own option messages.
#pragma once

#include <string>
#include <vector>

struct EncoderOption {
  std::wstring name;
  std::wstring values;  // what the option accepts, in words
};

// The options of a format-table row (empty for a format without options).
std::vector<EncoderOption> OptionsOf(int formatIndex);
// The text of "tavconv options FORMAT": every option with its values; for Wave, the codecs of this machine,
// and with `codec` given, that codec's formats.
std::wstring DescribeOptions(int formatIndex, const std::wstring& codec = {});
// The message for an option the destination refused: format, option and value in front of the engine's text,
// then what is accepted. engineText is empty when the destination does not know the option.
std::wstring OptionErrorText(int formatIndex, const std::wstring& name, const std::wstring& value,
                             const std::wstring& engineText);
