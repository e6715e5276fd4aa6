// The Wave settings record, its storage and its dialog.
#include "WAVSettings.h"

#include <shlwapi.h>

#include "tavcore.h"

namespace {
const wchar_t kSection[] = L"WAV";

std::wstring ByteSize(DWORD bytes) {
  wchar_t text[64] = {};
  StrFormatByteSizeW(bytes, text, 64);
  return text;
}

LRESULT Send(HWND window, int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  return SendDlgItemMessageW(window, id, message, wParam, lParam);
}
}  // namespace

std::wstring DescribeWavSettings(const WAVSETTINGS& settings) {
  const WAVEFORMATEX* format = settings.Format();
  std::wstring codec = AcmCodecName(format ? format->wFormatTag : settings.formatTag);
  std::wstring detail = format ? AcmFormatDescription(format) : L"auto detection";
  return codec + L"; " + detail;
}

void CWAVSettings::LoadSettings(WAVSETTINGS& record) {
  record = WAVSETTINGS();
  int size = 0;
  ReadPInt(kSection, L"WaveFormatExSize", &size);
  if (size >= static_cast<int>(sizeof(WAVEFORMATEX)) && size <= 0x10000) {
    FormatBytes bytes(static_cast<size_t>(size));
    UINT32 read = static_cast<UINT32>(size);
    // A stored record must hold exactly what its own cbSize announces, or it is not used.
    if (GetProfileBinary(kSection, L"WaveFormatEx", bytes.data(), &read) && read == bytes.size() &&
        reinterpret_cast<WAVEFORMATEX*>(bytes.data())->cbSize + sizeof(WAVEFORMATEX) == bytes.size())
      record.format = std::move(bytes);
  }
  int tag = static_cast<int>(record.formatTag);
  if (ReadPInt(kSection, L"FormatTag", &tag)) record.formatTag = static_cast<UINT32>(tag);
}

void CWAVSettings::SaveSettings(const WAVSETTINGS& record) {
  WritePInt(kSection, L"WaveFormatExSize", static_cast<int>(record.FormatSize()));
  if (record.FormatSize() != 0) PutProfileBinary(kSection, L"WaveFormatEx", record.format.data(), record.FormatSize());
  WritePInt(kSection, L"FormatTag", static_cast<int>(record.formatTag));
}

void CWAVSettings::InitControls() {
  std::wstring defaultItem = LoadEngineString(IDS_DEFAULT_TITLE);
  int selected = -1;
  for (const AcmCodec& codec : AcmCodecs()) {
    std::wstring text =
        codec.tag == WAVE_FORMAT_PCM ? FormatText(256, defaultItem.c_str(), codec.name.c_str()) : codec.name;
    LRESULT item = Send(window, IDC_WAV_CODEC, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (item < 0) continue;
    Send(window, IDC_WAV_CODEC, CB_SETITEMDATA, static_cast<WPARAM>(item), codec.tag);
    if (codec.tag == settings.formatTag) selected = static_cast<int>(item);
  }
  Send(window, IDC_WAV_CODEC, CB_SETCURSEL, static_cast<WPARAM>(selected));
  FillFormats();
}

void CWAVSettings::FillFormats() {
  ClearFormatItems();
  std::wstring automatic = LoadEngineString(IDS_AUTOMATIC_DETECTION);
  Send(window, IDC_WAV_FORMAT, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(automatic.c_str()));
  Send(window, IDC_WAV_FORMAT, CB_SETITEMDATA, 0, 0);
  int selected = 0;
  for (AcmFormat& format : AcmFormats(SelectedTag())) {
    LRESULT item = Send(window, IDC_WAV_FORMAT, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(format.description.c_str()));
    if (item < 0) continue;
    auto* copy = new FormatBytes(std::move(format.format));
    Send(window, IDC_WAV_FORMAT, CB_SETITEMDATA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(copy));
    if (selected == 0 && !settings.format.empty() && *copy == settings.format) selected = static_cast<int>(item);
  }
  Send(window, IDC_WAV_FORMAT, CB_SETCURSEL, static_cast<WPARAM>(selected));
  ShowDetails();
}

void CWAVSettings::ClearFormatItems() {
  LRESULT count = Send(window, IDC_WAV_FORMAT, CB_GETCOUNT);
  for (LRESULT item = 0; item < count; ++item) {
    LRESULT data = Send(window, IDC_WAV_FORMAT, CB_GETITEMDATA, static_cast<WPARAM>(item));
    if (data != CB_ERR && data != 0) delete reinterpret_cast<FormatBytes*>(data);
  }
  Send(window, IDC_WAV_FORMAT, CB_RESETCONTENT);
}

DWORD CWAVSettings::SelectedTag() const {
  LRESULT item = Send(window, IDC_WAV_CODEC, CB_GETCURSEL);
  if (item == CB_ERR) return settings.formatTag;
  return static_cast<DWORD>(Send(window, IDC_WAV_CODEC, CB_GETITEMDATA, static_cast<WPARAM>(item)));
}

const FormatBytes* CWAVSettings::SelectedFormat(bool* automatic) const {
  LRESULT item = Send(window, IDC_WAV_FORMAT, CB_GETCURSEL);
  *automatic = false;
  if (item == CB_ERR) return nullptr;
  LRESULT data = Send(window, IDC_WAV_FORMAT, CB_GETITEMDATA, static_cast<WPARAM>(item));
  if (data == 0) *automatic = true;
  return data == CB_ERR || data == 0 ? nullptr : reinterpret_cast<const FormatBytes*>(data);
}

void CWAVSettings::ShowDetails() {
  bool automatic = false;
  const FormatBytes* bytes = SelectedFormat(&automatic);
  const WAVEFORMATEX* format = bytes ? AsFormat(*bytes) : nullptr;
  std::wstring unknown = LoadEngineString(IDS_UNKNOWN);
  auto show = [&](int id, const std::wstring& text) {
    SetDlgItemTextW(window, id, format ? text.c_str() : unknown.c_str());
  };
  if (format) {
    const char* layout = format->nChannels == 1 ? "Mono" : format->nChannels == 2 ? "Stereo" : "Unknown";
    show(IDC_WAV_CHANNELS, FormatText(128, LoadEngineString(IDS_CODEC_ITEM).c_str(), format->nChannels, layout));
    show(IDC_WAV_RATE, FormatText(128, LoadEngineString(IDS_HERTZ).c_str(), static_cast<int>(format->nSamplesPerSec)));
    show(IDC_WAV_BYTES_PER_SECOND,
         FormatText(128, LoadEngineString(IDS_PER_SECOND).c_str(), ByteSize(format->nAvgBytesPerSec).c_str()));
    show(IDC_WAV_BLOCK_ALIGN, ByteSize(format->nBlockAlign));
    show(IDC_WAV_BITS, FormatText(128, LoadEngineString(IDS_BITS).c_str(), static_cast<int>(format->wBitsPerSample)));
    show(IDC_WAV_EXTRA, format->cbSize ? ByteSize(format->cbSize) : LoadEngineString(IDS_NO_EXTRA_INFORMATION));
  } else {
    for (int id :
         {IDC_WAV_CHANNELS, IDC_WAV_RATE, IDC_WAV_BYTES_PER_SECOND, IDC_WAV_BLOCK_ALIGN, IDC_WAV_BITS, IDC_WAV_EXTRA})
      show(id, L"");
  }
  BOOL chosen = format != nullptr || automatic;
  EnableWindow(GetDlgItem(window, IDOK), chosen);
  EnableWindow(GetDlgItem(window, IDC_SET_DEFAULT), chosen);
}

void CWAVSettings::ReadControls() {
  settings.formatTag = SelectedTag();
  bool automatic = false;
  const FormatBytes* format = SelectedFormat(&automatic);
  settings.format = format ? *format : FormatBytes();
}

void CWAVSettings::OnCommand(int id, int code) {
  if (code != CBN_SELCHANGE) return;
  if (id == IDC_WAV_CODEC) FillFormats();
  if (id == IDC_WAV_FORMAT) ShowDetails();
}

void CWAVSettings::OnDestroy() { ClearFormatItems(); }
