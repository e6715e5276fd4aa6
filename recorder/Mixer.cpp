// The recording line's selector and volumes through the platform mixer.
#include "Mixer.h"

MixerFunctions mixerFunctions = {&mixerOpen,
                                 &mixerClose,
                                 &mixerGetLineInfoW,
                                 &mixerGetLineControlsW,
                                 &mixerGetControlDetailsW,
                                 &mixerSetControlDetails};

namespace {
constexpr DWORD kByHandle = MIXER_OBJECTF_HMIXER;

bool FindControl(HMIXER mixer, DWORD lineId, DWORD type, MIXERCONTROLW* control) {
  MIXERLINECONTROLSW controls = {};
  controls.cbStruct = sizeof(controls);
  controls.dwLineID = lineId;
  controls.dwControlType = type;
  controls.cControls = 1;
  controls.cbmxctrl = sizeof(MIXERCONTROLW);
  controls.pamxctrl = control;
  control->cbStruct = sizeof(MIXERCONTROLW);
  return mixerFunctions.getLineControls(reinterpret_cast<HMIXEROBJ>(mixer), &controls,
                                        kByHandle | MIXER_GETLINECONTROLSF_ONEBYTYPE) == MMSYSERR_NOERROR;
}

MIXERCONTROLDETAILS Details(DWORD control, DWORD items, DWORD itemSize, void* data) {
  MIXERCONTROLDETAILS details = {};
  details.cbStruct = sizeof(details);
  details.dwControlID = control;
  details.cChannels = 1;  // one value for all channels
  details.cMultipleItems = items;
  details.cbDetails = itemSize;
  details.paDetails = data;
  return details;
}
}  // namespace

bool CMixer::Open(UINT waveInDevice) {
  Close();
  if (mixerFunctions.open(&mixer, waveInDevice, 0, 0, MIXER_OBJECTF_WAVEIN) != MMSYSERR_NOERROR) {
    mixer = nullptr;
    return false;
  }
  MIXERLINEW line = {};
  line.cbStruct = sizeof(line);
  line.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_WAVEIN;
  if (mixerFunctions.getLineInfo(reinterpret_cast<HMIXEROBJ>(mixer), &line,
                                 kByHandle | MIXER_GETLINEINFOF_COMPONENTTYPE) != MMSYSERR_NOERROR)
    return false;
  destinationName = line.szName;
  MIXERCONTROLW selector = {};
  if (!FindControl(mixer, line.dwLineID, MIXERCONTROL_CONTROLTYPE_MUX, &selector) &&
      !FindControl(mixer, line.dwLineID, MIXERCONTROL_CONTROLTYPE_MIXER, &selector))
    return false;
  if (selector.cMultipleItems == 0) return false;
  std::vector<MIXERCONTROLDETAILS_LISTTEXTW> items(selector.cMultipleItems);
  MIXERCONTROLDETAILS details =
      Details(selector.dwControlID, selector.cMultipleItems, sizeof(MIXERCONTROLDETAILS_LISTTEXTW), items.data());
  if (mixerFunctions.getControlDetails(reinterpret_cast<HMIXEROBJ>(mixer), &details,
                                       kByHandle | MIXER_GETCONTROLDETAILSF_LISTTEXT) != MMSYSERR_NOERROR)
    return false;
  selectorControl = selector.dwControlID;
  for (const MIXERCONTROLDETAILS_LISTTEXTW& item : items) {
    Source source;
    source.name.assign(item.szName, wcsnlen(item.szName, MIXER_LONG_NAME_CHARS));
    source.lineId = item.dwParam1;
    MIXERCONTROLW volume = {};
    if (FindControl(mixer, item.dwParam1, MIXERCONTROL_CONTROLTYPE_VOLUME, &volume))
      source.volumeControl = volume.dwControlID;
    sources.push_back(source);
  }
  return true;
}

void CMixer::Close() {
  if (mixer) mixerFunctions.close(mixer);
  mixer = nullptr;
  destinationName.clear();
  selectorControl = 0;
  sources.clear();
}

int CMixer::SelectedSource() const {
  if (sources.empty()) return -1;
  std::vector<MIXERCONTROLDETAILS_BOOLEAN> values(sources.size());
  MIXERCONTROLDETAILS details =
      Details(selectorControl, static_cast<DWORD>(sources.size()), sizeof(MIXERCONTROLDETAILS_BOOLEAN), values.data());
  if (mixerFunctions.getControlDetails(reinterpret_cast<HMIXEROBJ>(mixer), &details,
                                       kByHandle | MIXER_GETCONTROLDETAILSF_VALUE) != MMSYSERR_NOERROR)
    return -1;
  for (size_t index = 0; index < values.size(); ++index)
    if (values[index].fValue) return static_cast<int>(index);
  return -1;
}

bool CMixer::SelectSource(int index) {
  if (index < 0 || static_cast<size_t>(index) >= sources.size()) return false;
  std::vector<MIXERCONTROLDETAILS_BOOLEAN> values(sources.size());
  values[static_cast<size_t>(index)].fValue = TRUE;
  MIXERCONTROLDETAILS details =
      Details(selectorControl, static_cast<DWORD>(sources.size()), sizeof(MIXERCONTROLDETAILS_BOOLEAN), values.data());
  return mixerFunctions.setControlDetails(reinterpret_cast<HMIXEROBJ>(mixer), &details,
                                          kByHandle | MIXER_SETCONTROLDETAILSF_VALUE) == MMSYSERR_NOERROR;
}

bool CMixer::HasVolume(int index) const {
  return index >= 0 && static_cast<size_t>(index) < sources.size() && sources[static_cast<size_t>(index)].volumeControl;
}

bool CMixer::GetVolume(int index, DWORD* value) const {
  if (!HasVolume(index)) return false;
  MIXERCONTROLDETAILS_UNSIGNED volume = {};
  MIXERCONTROLDETAILS details = Details(sources[static_cast<size_t>(index)].volumeControl, 0, sizeof(volume), &volume);
  if (mixerFunctions.getControlDetails(reinterpret_cast<HMIXEROBJ>(mixer), &details,
                                       kByHandle | MIXER_GETCONTROLDETAILSF_VALUE) != MMSYSERR_NOERROR)
    return false;
  *value = volume.dwValue;
  return true;
}

bool CMixer::SetVolume(int index, DWORD value) {
  if (!HasVolume(index)) return false;
  MIXERCONTROLDETAILS_UNSIGNED volume = {value > kFullVolume ? kFullVolume : value};
  MIXERCONTROLDETAILS details = Details(sources[static_cast<size_t>(index)].volumeControl, 0, sizeof(volume), &volume);
  return mixerFunctions.setControlDetails(reinterpret_cast<HMIXEROBJ>(mixer), &details,
                                          kByHandle | MIXER_SETCONTROLDETAILSF_VALUE) == MMSYSERR_NOERROR;
}
