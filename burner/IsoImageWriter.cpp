#include "IsoImageWriter.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <set>
#include <tuple>
#include <utility>

#include "UniqueHandles.h"

namespace {

// On-disc structures (ECMA-119 sections 8.4, 8.5, 9.1, 9.4). Multi-byte numbers are stored as byte arrays so the
// structures have no padding and no host byte order.
#pragma pack(push, 1)
struct Both16 {
  uint8_t le[2];
  uint8_t be[2];
};
struct Both32 {
  uint8_t le[4];
  uint8_t be[4];
};
struct DirRecord {
  uint8_t length;
  uint8_t extAttrLength;
  Both32 extent;
  Both32 dataLength;
  uint8_t date[7];
  uint8_t flags;
  uint8_t unitSize;
  uint8_t gapSize;
  Both16 volumeSequence;
  uint8_t idLength;  // the identifier follows, then a pad byte when its length is even
};
struct PathRecord {
  uint8_t idLength;
  uint8_t extAttrLength;
  uint8_t extent[4];
  uint8_t parent[2];  // the identifier follows, then a pad byte when its length is odd
};
struct VolumeDescriptor {
  uint8_t type;
  char standardId[5];
  uint8_t version;
  uint8_t flags;
  uint8_t systemId[32];
  uint8_t volumeId[32];
  uint8_t unused1[8];
  Both32 volumeSpaceSize;
  uint8_t escapes[32];
  Both16 volumeSetSize;
  Both16 volumeSequence;
  Both16 blockSize;
  Both32 pathTableSize;
  uint8_t lPathTable[4];
  uint8_t lPathTableOptional[4];
  uint8_t mPathTable[4];
  uint8_t mPathTableOptional[4];
  uint8_t rootRecord[34];
  uint8_t volumeSetId[128];
  uint8_t publisherId[128];
  uint8_t preparerId[128];
  uint8_t applicationId[128];
  uint8_t copyrightFile[37];
  uint8_t abstractFile[37];
  uint8_t bibliographicFile[37];
  uint8_t created[17];
  uint8_t modified[17];
  uint8_t expires[17];
  uint8_t effective[17];
  uint8_t structureVersion;
  uint8_t reserved1;
  uint8_t applicationUse[512];
  uint8_t reserved2[653];
};
#pragma pack(pop)

static_assert(sizeof(DirRecord) == 33 && offsetof(DirRecord, extent) == 2 && offsetof(DirRecord, dataLength) == 10 &&
              offsetof(DirRecord, date) == 18 && offsetof(DirRecord, flags) == 25 &&
              offsetof(DirRecord, volumeSequence) == 28 && offsetof(DirRecord, idLength) == 32);
static_assert(sizeof(PathRecord) == 8 && offsetof(PathRecord, extent) == 2 && offsetof(PathRecord, parent) == 6);
static_assert(sizeof(VolumeDescriptor) == CIsoImageWriter::kSectorSize);
static_assert(offsetof(VolumeDescriptor, volumeId) == 40 && offsetof(VolumeDescriptor, volumeSpaceSize) == 80 &&
              offsetof(VolumeDescriptor, escapes) == 88 && offsetof(VolumeDescriptor, volumeSetSize) == 120 &&
              offsetof(VolumeDescriptor, blockSize) == 128 && offsetof(VolumeDescriptor, pathTableSize) == 132 &&
              offsetof(VolumeDescriptor, lPathTable) == 140 && offsetof(VolumeDescriptor, mPathTable) == 148 &&
              offsetof(VolumeDescriptor, rootRecord) == 156 && offsetof(VolumeDescriptor, volumeSetId) == 190 &&
              offsetof(VolumeDescriptor, applicationId) == 574 && offsetof(VolumeDescriptor, copyrightFile) == 702 &&
              offsetof(VolumeDescriptor, created) == 813 && offsetof(VolumeDescriptor, structureVersion) == 881 &&
              offsetof(VolumeDescriptor, applicationUse) == 883);

constexpr uint32_t kSector = CIsoImageWriter::kSectorSize;
constexpr int kPrimary = 0;
constexpr int kJoliet = 1;
constexpr uint32_t kFirstPathTableSector = 19;  // after the system area, two descriptors and the terminator

void Le16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v), p[1] = uint8_t(v >> 8); }
void Be16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v >> 8), p[1] = uint8_t(v); }
void Le32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
void Be32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * (3 - i)));
}
void Set(Both16& f, uint16_t v) { Le16(f.le, v), Be16(f.be, v); }
void Set(Both32& f, uint32_t v) { Le32(f.le, v), Be32(f.be, v); }

uint32_t SectorsFor(uint64_t bytes) { return uint32_t((bytes + kSector - 1) / kSector); }

bool IsDChar(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'_'; }

std::string ToDChars(const std::wstring& text, size_t max) {
  std::string out;
  for (wchar_t c : text) {
    if (out.size() == max) break;
    if (c >= L'a' && c <= L'z') c = wchar_t(c - L'a' + L'A');
    out += IsDChar(c) ? char(c) : '_';
  }
  return out;
}

// Cuts to max UTF-16 units without splitting a surrogate pair.
std::wstring CutUnits(const std::wstring& text, size_t max) {
  if (text.size() <= max) return text;
  size_t n = max;
  if (n > 0 && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
  return text.substr(0, n);
}

// Splits a file name at its extension ("name", ".mp3"); a long tail after the last dot is no extension.
std::pair<std::wstring, std::wstring> SplitExtension(const std::wstring& name) {
  size_t dot = name.rfind(L'.');
  if (dot == std::wstring::npos || dot == 0 || name.size() - dot > 16) return {name, L""};
  return {name.substr(0, dot), name.substr(dot)};
}

std::wstring CaseKey(const std::wstring& name) {
  std::wstring key = name;
  if (!key.empty()) CharUpperBuffW(&key[0], DWORD(key.size()));
  return key;
}

void DateOf(const SYSTEMTIME& t, uint8_t out[7]) {
  out[0] = uint8_t(std::clamp<int>(t.wYear - 1900, 0, 255));
  out[1] = uint8_t(t.wMonth);
  out[2] = uint8_t(t.wDay);
  out[3] = uint8_t(t.wHour);
  out[4] = uint8_t(t.wMinute);
  out[5] = uint8_t(t.wSecond);
  out[6] = 0;  // UTC
}

void LongDateOf(const SYSTEMTIME* t, uint8_t out[17]) {
  char text[20] = "0000000000000000";  // "not specified"
  if (t)
    std::snprintf(text, sizeof text, "%04u%02u%02u%02u%02u%02u%02u", unsigned(std::min<WORD>(t->wYear, 9999)),
                  t->wMonth, t->wDay, t->wHour, t->wMinute, t->wSecond, unsigned(t->wMilliseconds / 10));
  std::memcpy(out, text, 16);
  out[16] = 0;  // UTC
}

void FillAscii(uint8_t* field, size_t size, const std::string& text) {
  std::memset(field, ' ', size);
  std::memcpy(field, text.data(), std::min(size, text.size()));
}

void FillUcs2(uint8_t* field, size_t size, const std::wstring& text) {
  for (size_t i = 0; i + 1 < size; i += 2) {
    wchar_t c = i / 2 < text.size() ? text[i / 2] : L' ';
    field[i] = uint8_t(c >> 8), field[i + 1] = uint8_t(c);
  }
  if (size % 2) field[size - 1] = 0;
}

std::string Ucs2Be(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += char(uint8_t(c >> 8)), out += char(uint8_t(c));
  return out;
}

// Buffered output that counts sectors, so the writer can check it lands where the layout said.
class SectorWriter {
 public:
  explicit SectorWriter(HANDLE h) : file(h) { buffer.reserve(kBuffer); }
  bool Put(const void* data, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
      size_t n = std::min(size, kBuffer - buffer.size());
      buffer.insert(buffer.end(), p, p + n);
      p += n, size -= n, written += n;
      if (buffer.size() == kBuffer && !Flush()) return false;
    }
    return true;
  }
  bool PadToSector() {
    static const uint8_t zeros[kSector] = {};
    uint64_t rest = (kSector - written % kSector) % kSector;
    return Put(zeros, size_t(rest));
  }
  bool Flush() {
    DWORD done = 0;
    if (!buffer.empty() && (!WriteFile(file, buffer.data(), DWORD(buffer.size()), &done, nullptr) ||
                            done != buffer.size()))
      return false;
    buffer.clear();
    return true;
  }
  uint64_t Sector() const { return written / kSector; }

 private:
  static constexpr size_t kBuffer = 1 << 20;
  HANDLE file;
  std::vector<uint8_t> buffer;
  uint64_t written = 0;
};

}  // namespace

struct CIsoImageWriter::Layout {
  struct Node {
    std::wstring name;  // as the caller gave it
    bool folder = false;
    size_t parent = 0;
    std::vector<size_t> children;          // in the order added
    std::vector<size_t> sorted[2];         // in each tree's record order
    int source = -1;
    uint64_t size = 0;
    SYSTEMTIME modified{};
    uint32_t dataSector = 0;
    std::string isoBase, isoExt;           // the primary identifier's parts
    std::wstring joliet;
    uint32_t dirSector[2] = {}, dirSize[2] = {};
    std::string Id(int tree) const {
      if (tree == kJoliet) return Ucs2Be(joliet);
      return folder ? isoBase : isoBase + "." + isoExt + ";1";
    }
  };
  std::vector<Node> nodes;                 // nodes[0] is the root
  std::vector<size_t> directories[2];      // in path-table order
  uint32_t pathTableSize[2] = {}, lPathTable[2] = {}, mPathTable[2] = {};
  uint32_t totalSectors = 0;
  SYSTEMTIME now{};
};

CIsoImageWriter::CIsoImageWriter(std::wstring volumeLabel) : label(std::move(volumeLabel)) {}

void CIsoImageWriter::AddFile(std::wstring sourcePath, std::wstring discPath) {
  sources.push_back({std::move(sourcePath), std::move(discPath)});
}

bool CIsoImageWriter::Fail(IsoError code, std::wstring text) {
  error = code;
  errorText = std::move(text);
  return false;
}

std::wstring CIsoImageWriter::JolietName(const std::wstring& name, bool isFolder) {
  std::wstring clean;
  for (wchar_t c : name) clean += (c < 0x20 || std::wcschr(L"*/:;?\\\"<>|", c)) ? L'_' : c;
  // Windows cannot open names ending in a dot or a space.
  while (!clean.empty() && (clean.back() == L'.' || clean.back() == L' ')) clean.pop_back();
  if (clean.empty()) clean = L"_";
  if (isFolder) return CutUnits(clean, kMaxJolietChars);
  auto [base, ext] = SplitExtension(clean);
  return CutUnits(base, kMaxJolietChars - ext.size()) + ext;
}

std::string CIsoImageWriter::IsoName(const std::wstring& name, bool isFolder) {
  if (isFolder) {
    std::string base = ToDChars(name, 8);
    return base.empty() ? "_" : base;
  }
  size_t dot = name.rfind(L'.');
  std::string base = ToDChars(name.substr(0, dot), 8);
  std::string ext = dot == std::wstring::npos ? "" : ToDChars(name.substr(dot + 1), 3);
  return (base.empty() ? "_" : base) + "." + ext;
}

bool CIsoImageWriter::Plan(Layout& layout) {
  error = IsoError::None;
  errorText.clear();
  placements.assign(sources.size(), {});
  auto& nodes = layout.nodes;
  nodes.assign(1, {});
  nodes[0].folder = true;
  GetSystemTime(&layout.now);

  // The tree; folders given in different case are one folder, as Windows would see them.
  std::vector<size_t> fileNodes;
  for (size_t i = 0; i < sources.size(); ++i) {
    const Source& source = sources[i];
    std::vector<std::wstring> parts;
    std::wstring part;
    for (wchar_t c : source.discPath + L"/") {
      if (c != L'/' && c != L'\\') {
        part += c;
      } else if (!part.empty()) {
        parts.push_back(std::move(part));
        part.clear();
      }
    }
    if (parts.empty()) {  // no name on the disc: the source's own
      size_t slash = source.sourcePath.find_last_of(L"\\/");
      parts.push_back(slash == std::wstring::npos ? source.sourcePath : source.sourcePath.substr(slash + 1));
    }
    if (parts.size() - 1 > kMaxFolderLevels)
      return Fail(IsoError::PathTooDeep, L"Too many folder levels for a CD (at most " +
                                             std::to_wstring(kMaxFolderLevels) + L"): " + source.discPath);
    size_t dir = 0;
    for (size_t p = 0; p + 1 < parts.size(); ++p) {
      std::wstring key = CaseKey(JolietName(parts[p], true));
      size_t found = 0;
      for (size_t child : nodes[dir].children)
        if (nodes[child].folder && CaseKey(JolietName(nodes[child].name, true)) == key) found = child;
      if (!found) {
        found = nodes.size();
        nodes.push_back({});
        nodes[found].name = parts[p];
        nodes[found].folder = true;
        nodes[found].parent = dir;
        nodes[dir].children.push_back(found);
      }
      dir = found;
    }
    size_t file = nodes.size();
    nodes.push_back({});
    Layout::Node& node = nodes[file];
    node.name = parts.back();
    node.parent = dir;
    node.source = int(i);
    nodes[dir].children.push_back(file);
    fileNodes.push_back(file);

    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(source.sourcePath.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      return Fail(IsoError::SourceUnreadable, L"Cannot read " + source.sourcePath);
    node.size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (node.size > 0xFFFFFFFFull)
      return Fail(IsoError::FileTooLarge, L"A file on a CD must be smaller than 4 GB: " + source.sourcePath);
    if (!FileTimeToSystemTime(&data.ftLastWriteTime, &node.modified)) node.modified = layout.now;
  }

  // Names, unique per folder; the first of two equal names keeps it.
  for (Layout::Node& dir : nodes) {
    std::set<std::string> isoTaken;
    std::set<std::wstring> jolietTaken;
    for (size_t c : dir.children) {
      Layout::Node& child = nodes[c];
      std::string iso = IsoName(child.name, child.folder);
      size_t dot = iso.find('.');
      std::string base = iso.substr(0, dot), ext = dot == std::string::npos ? "" : iso.substr(dot + 1);
      std::string candidate = base;
      for (int n = 1; !isoTaken.insert(candidate + "." + ext).second; ++n) {
        std::string number = std::to_string(n);
        candidate = base.substr(0, 8 - number.size()) + number;
      }
      child.isoBase = candidate;
      child.isoExt = ext;

      std::wstring joliet = JolietName(child.name, child.folder);
      auto [jbase, jext] = child.folder ? std::make_pair(joliet, std::wstring()) : SplitExtension(joliet);
      std::wstring name = joliet;
      for (int n = 2; !jolietTaken.insert(CaseKey(name)).second; ++n) {
        std::wstring suffix = L" (" + std::to_wstring(n) + L")";
        name = CutUnits(jbase, kMaxJolietChars - suffix.size() - jext.size()) + suffix + jext;
      }
      child.joliet = name;
    }
    for (int tree : {kPrimary, kJoliet}) {
      dir.sorted[tree] = dir.children;
      std::sort(dir.sorted[tree].begin(), dir.sorted[tree].end(), [&](size_t a, size_t b) {
        if (tree == kJoliet) return nodes[a].joliet < nodes[b].joliet;  // UCS-2 code order
        return std::tie(nodes[a].isoBase, nodes[a].isoExt) < std::tie(nodes[b].isoBase, nodes[b].isoExt);
      });
    }
  }

  // Directories in path-table order (by level, parent number, identifier), their extents and path tables.
  uint64_t sector = kFirstPathTableSector;
  for (int tree : {kPrimary, kJoliet}) {
    auto& order = layout.directories[tree];
    order.assign(1, 0);
    for (size_t i = 0; i < order.size(); ++i)
      for (size_t c : nodes[order[i]].sorted[tree])
        if (nodes[c].folder) order.push_back(c);
    if (order.size() > 0xFFFF)  // parents are 16-bit numbers in the path table
      return Fail(IsoError::TooManyFolders, L"Too many folders for a CD (at most 65535)");
    uint64_t tableSize = 0;
    for (size_t d : order) {
      size_t idLength = d == 0 ? 1 : nodes[d].Id(tree).size();
      tableSize += sizeof(PathRecord) + idLength + idLength % 2;
      uint32_t used = 2 * (sizeof(DirRecord) + 1);  // "." and ".."
      for (size_t c : nodes[d].sorted[tree]) {
        size_t idLen = nodes[c].Id(tree).size();
        uint32_t length = uint32_t(sizeof(DirRecord) + idLen + (idLen % 2 == 0));
        if (used % kSector + length > kSector) used += kSector - used % kSector;  // records never span sectors
        used += length;
      }
      nodes[d].dirSize[tree] = SectorsFor(used) * kSector;
    }
    layout.pathTableSize[tree] = uint32_t(tableSize);
  }
  for (int tree : {kPrimary, kJoliet}) {
    layout.lPathTable[tree] = uint32_t(sector);
    sector += SectorsFor(layout.pathTableSize[tree]);
    layout.mPathTable[tree] = uint32_t(sector);
    sector += SectorsFor(layout.pathTableSize[tree]);
  }
  for (int tree : {kPrimary, kJoliet})
    for (size_t d : layout.directories[tree]) {
      nodes[d].dirSector[tree] = uint32_t(sector);
      sector += nodes[d].dirSize[tree] / kSector;
    }
  for (size_t f : fileNodes) {
    // An empty file has no data and points nowhere, as other readers expect.
    nodes[f].dataSector = nodes[f].size ? uint32_t(std::min<uint64_t>(sector, 0xFFFFFFFF)) : 0;
    sector += SectorsFor(nodes[f].size);
  }
  if (sector > 0xFFFFFFFFull) return Fail(IsoError::ExceedsCapacity, L"The files are too large for a disc image");
  layout.totalSectors = uint32_t(sector);

  for (size_t f : fileNodes) {
    Placement& placement = placements[nodes[f].source];
    for (size_t n = f; n != 0; n = nodes[n].parent) {
      std::string iso = nodes[n].folder ? nodes[n].isoBase : nodes[n].isoBase + "." + nodes[n].isoExt + ";1";
      placement.jolietPath = nodes[n].joliet + (placement.jolietPath.empty() ? L"" : L"/") + placement.jolietPath;
      placement.isoPath = iso + (placement.isoPath.empty() ? "" : "/") + placement.isoPath;
    }
  }
  return true;
}

bool CIsoImageWriter::ComputeImageSize(uint64_t& bytes) {
  Layout layout;
  if (!Plan(layout)) return false;
  bytes = uint64_t(layout.totalSectors) * kSector;
  return true;
}

bool CIsoImageWriter::Write(const std::wstring& imagePath, uint64_t capacityBytes) {
  Layout layout;
  if (!Plan(layout)) return false;
  uint64_t bytes = uint64_t(layout.totalSectors) * kSector;
  if (bytes > capacityBytes)
    return Fail(IsoError::ExceedsCapacity, L"The files need " + std::to_wstring((bytes + 1048575) / 1048576) +
                                               L" MB, more than the disc's " +
                                               std::to_wstring(capacityBytes / 1048576) + L" MB");

  std::wstring temporary = imagePath + L".partial";
  bool ok = false;
  {
    UniqueFile file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return Fail(IsoError::OutputFailed, L"Cannot create " + temporary);
    ok = WriteTo(file.Get(), layout) && (FlushFileBuffers(file.Get()) || Fail(IsoError::OutputFailed,
                                                                              L"Cannot write " + temporary));
  }
  if (ok && !MoveFileExW(temporary.c_str(), imagePath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    ok = Fail(IsoError::OutputFailed, L"Cannot rename the image to " + imagePath);
  if (!ok) DeleteFileW(temporary.c_str());
  return ok;
}

bool CIsoImageWriter::WriteTo(HANDLE file, const Layout& layout) {
  const auto& nodes = layout.nodes;
  SectorWriter out(file);
  auto writeFailed = [&] { return Fail(IsoError::OutputFailed, L"Cannot write the image (disk full?)"); };
  auto at = [&](uint32_t sector) {
    return out.Sector() == sector || Fail(IsoError::OutputFailed, L"Internal error: the image layout is inconsistent");
  };

  auto record = [&](size_t n, int tree, const std::string& id, std::string& dir) {
    const Layout::Node& node = nodes[n];
    uint8_t bytes[sizeof(DirRecord) + 256] = {};
    DirRecord& r = *reinterpret_cast<DirRecord*>(bytes);
    r.length = uint8_t(sizeof(DirRecord) + id.size() + (id.size() % 2 == 0));
    Set(r.extent, node.folder ? node.dirSector[tree] : node.dataSector);
    Set(r.dataLength, node.folder ? node.dirSize[tree] : uint32_t(node.size));
    DateOf(node.folder ? layout.now : node.modified, r.date);
    r.flags = node.folder ? 0x02 : 0x00;
    Set(r.volumeSequence, 1);
    r.idLength = uint8_t(id.size());
    std::memcpy(bytes + sizeof(DirRecord), id.data(), id.size());
    if (dir.size() % kSector + r.length > kSector) dir.resize(dir.size() + kSector - dir.size() % kSector, '\0');
    dir.append(reinterpret_cast<const char*>(bytes), r.length);
  };

  // System area, then the primary and Joliet descriptors and the terminator.
  std::vector<uint8_t> zeros(16 * kSector);
  if (!out.Put(zeros.data(), zeros.size())) return writeFailed();
  std::wstring jolietLabel;
  for (wchar_t c : label) jolietLabel += c < 0x20 ? L'_' : c;
  jolietLabel = CutUnits(jolietLabel, 16);
  if (jolietLabel.empty()) jolietLabel = L"CDROM";
  std::string isoLabel = ToDChars(label, 32);
  if (isoLabel.empty()) isoLabel = "CDROM";
  for (int tree : {kPrimary, kJoliet}) {
    VolumeDescriptor vd;
    std::memset(&vd, 0, sizeof vd);
    vd.type = tree == kPrimary ? 1 : 2;
    std::memcpy(vd.standardId, "CD001", 5);
    vd.version = 1;
    auto text = [&](uint8_t* field, size_t size, const std::string& value) {
      if (tree == kPrimary)
        FillAscii(field, size, value);
      else
        FillUcs2(field, size, std::wstring(value.begin(), value.end()));
    };
    text(vd.systemId, sizeof vd.systemId, "");
    if (tree == kPrimary)
      FillAscii(vd.volumeId, sizeof vd.volumeId, isoLabel);
    else
      FillUcs2(vd.volumeId, sizeof vd.volumeId, jolietLabel);
    Set(vd.volumeSpaceSize, layout.totalSectors);
    if (tree == kJoliet) std::memcpy(vd.escapes, "%/E", 3);  // UCS-2 level 3
    Set(vd.volumeSetSize, 1);
    Set(vd.volumeSequence, 1);
    Set(vd.blockSize, uint16_t(kSector));
    Set(vd.pathTableSize, layout.pathTableSize[tree]);
    Le32(vd.lPathTable, layout.lPathTable[tree]);
    Be32(vd.mPathTable, layout.mPathTable[tree]);
    std::string root;
    record(0, tree, std::string(1, '\0'), root);
    std::memcpy(vd.rootRecord, root.data(), sizeof vd.rootRecord);
    text(vd.volumeSetId, sizeof vd.volumeSetId, "");
    text(vd.publisherId, sizeof vd.publisherId, "");
    text(vd.preparerId, sizeof vd.preparerId, "");
    text(vd.applicationId, sizeof vd.applicationId, "TAVREL");
    text(vd.copyrightFile, sizeof vd.copyrightFile, "");
    text(vd.abstractFile, sizeof vd.abstractFile, "");
    text(vd.bibliographicFile, sizeof vd.bibliographicFile, "");
    LongDateOf(&layout.now, vd.created);
    LongDateOf(&layout.now, vd.modified);
    LongDateOf(nullptr, vd.expires);
    LongDateOf(nullptr, vd.effective);
    vd.structureVersion = 1;
    if (!out.Put(&vd, sizeof vd)) return writeFailed();
  }
  VolumeDescriptor terminator;
  std::memset(&terminator, 0, sizeof terminator);
  terminator.type = 255;
  std::memcpy(terminator.standardId, "CD001", 5);
  terminator.version = 1;
  if (!out.Put(&terminator, sizeof terminator)) return writeFailed();

  // Path tables: L (little-endian) then M (big-endian) for each tree.
  for (int tree : {kPrimary, kJoliet}) {
    const auto& order = layout.directories[tree];
    for (bool little : {true, false}) {
      if (!at(little ? layout.lPathTable[tree] : layout.mPathTable[tree])) return false;
      std::string table;
      for (size_t d : order) {
        std::string id = d == 0 ? std::string(1, '\0') : nodes[d].Id(tree);
        size_t parentNumber = 1;
        for (size_t i = 0; i < order.size(); ++i)
          if (order[i] == nodes[d].parent) parentNumber = i + 1;
        PathRecord r{};
        r.idLength = uint8_t(id.size());
        (little ? Le32 : Be32)(r.extent, nodes[d].dirSector[tree]);
        (little ? Le16 : Be16)(r.parent, uint16_t(parentNumber));
        table.append(reinterpret_cast<const char*>(&r), sizeof r);
        table += id;
        if (id.size() % 2) table += '\0';
      }
      if (!out.Put(table.data(), table.size()) || !out.PadToSector()) return writeFailed();
    }
  }

  // Directory extents.
  for (int tree : {kPrimary, kJoliet})
    for (size_t d : layout.directories[tree]) {
      if (!at(nodes[d].dirSector[tree])) return false;
      std::string dir;
      record(d, tree, std::string(1, '\0'), dir);
      record(nodes[d].parent, tree, std::string(1, '\1'), dir);
      for (size_t c : nodes[d].sorted[tree]) record(c, tree, nodes[c].Id(tree), dir);
      dir.resize(nodes[d].dirSize[tree], '\0');
      if (!out.Put(dir.data(), dir.size())) return writeFailed();
    }

  // File data, shared by both trees.
  std::vector<uint8_t> buffer(1 << 20);
  for (const Layout::Node& node : nodes) {
    if (node.folder || node.size == 0) continue;
    if (!at(node.dataSector)) return false;
    const std::wstring& path = sources[node.source].sourcePath;
    UniqueFile source(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!source) return Fail(IsoError::SourceUnreadable, L"Cannot read " + path);
    uint64_t left = node.size;
    DWORD got = 0;
    while (left > 0) {
      DWORD want = DWORD(std::min<uint64_t>(left, buffer.size()));
      if (!ReadFile(source.Get(), buffer.data(), want, &got, nullptr) || got == 0)
        return Fail(IsoError::SourceUnreadable, L"Cannot read " + path + L" (did it change?)");
      if (!out.Put(buffer.data(), got)) return writeFailed();
      left -= got;
    }
    // A file that grew since the layout would be cut short on the disc.
    uint8_t extra;
    if (ReadFile(source.Get(), &extra, 1, &got, nullptr) && got != 0)
      return Fail(IsoError::SourceUnreadable, L"The file changed while the image was written: " + path);
    if (!out.PadToSector()) return writeFailed();
  }
  if (!at(layout.totalSectors)) return false;
  return out.Flush() || writeFailed();
}
