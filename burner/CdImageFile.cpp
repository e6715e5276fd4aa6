#include "CdImageFile.h"

#include <msxml2.h>
#include <objbase.h>
#include <oleauto.h>

#include <utility>

namespace {

// GUIDs the import library does not carry.
const CLSID kClsidDomDocument30 = {0xf5078f32, 0xc551, 0x11d3, {0x89, 0xb9, 0x00, 0x00, 0xf8, 0x1f, 0xe2, 0x21}};

const IID kIidDomDocument2 = {0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

const wchar_t kNotice1[] = L" Tavrel cdforge CD image: the list of files to put on a disc ";
const wchar_t kNotice2[] = L" Written by Tavrel cdforge; edit only while cdforge is closed ";

template <class T>
class Ptr {
 public:
  Ptr() = default;
  Ptr(const Ptr&) = delete;
  Ptr& operator=(const Ptr&) = delete;
  ~Ptr() { Reset(); }
  void Reset() {
    if (p) p->Release();
    p = nullptr;
  }
  T** Out() {
    Reset();
    return &p;
  }
  T* operator->() const { return p; }
  T* Get() const { return p; }
  explicit operator bool() const { return p != nullptr; }
  void Swap(Ptr& other) { std::swap(p, other.p); }

 private:
  T* p = nullptr;
};

class Bstr {
 public:
  explicit Bstr(const std::wstring& s) : b(SysAllocStringLen(s.data(), UINT(s.size()))) {}
  Bstr() = default;
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(b); }
  BSTR Get() const { return b; }
  BSTR* Out() {
    SysFreeString(b);
    b = nullptr;
    return &b;
  }
  std::wstring Str() const { return b ? std::wstring(b, SysStringLen(b)) : std::wstring(); }

 private:
  BSTR b = nullptr;
};

// COM is set up per call when the thread has not done so; a thread in another apartment mode is used as it is.
class ComScope {
 public:
  ComScope() : hr(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  ~ComScope() {
    if (SUCCEEDED(hr)) CoUninitialize();
  }

 private:
  HRESULT hr;
};

bool CreateDocument(Ptr<IXMLDOMDocument>& doc) {
  if (FAILED(CoCreateInstance(kClsidDomDocument30, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                              reinterpret_cast<void**>(doc.Out()))))
    return false;
  doc->put_async(VARIANT_FALSE);
  doc->put_validateOnParse(VARIANT_FALSE);
  // A list file must not make the parser fetch other files or URLs.
  doc->put_resolveExternals(VARIANT_FALSE);
  Ptr<IXMLDOMDocument2> doc2;
  if (SUCCEEDED(doc->QueryInterface(kIidDomDocument2, reinterpret_cast<void**>(doc2.Out())))) {
    VARIANT on;
    VariantInit(&on);
    on.vt = VT_BOOL;
    on.boolVal = VARIANT_TRUE;
    doc2->setProperty(Bstr(L"ProhibitDTD").Get(), on);  // not every version knows it: best effort
  }
  return true;
}

std::wstring NodeName(IXMLDOMNode* node) {
  Bstr name;
  if (node->get_nodeName(name.Out()) != S_OK) return std::wstring();
  return name.Str();
}

bool IsElement(IXMLDOMNode* node) {
  DOMNodeType type = NODE_INVALID;
  return SUCCEEDED(node->get_nodeType(&type)) && type == NODE_ELEMENT;
}

// The value of an attribute; false when the node is not an element or has no such attribute.
bool Attribute(IXMLDOMNode* node, const wchar_t* name, std::wstring& value) {
  Ptr<IXMLDOMElement> element;
  if (FAILED(node->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(element.Out())))) return false;
  VARIANT v;
  VariantInit(&v);
  bool found = element->getAttribute(Bstr(name).Get(), &v) == S_OK && v.vt == VT_BSTR;
  if (found) value.assign(v.bstrVal, SysStringLen(v.bstrVal));
  VariantClear(&v);
  return found;
}

// Walks the element children by sibling links: indexing a child list may cost a walk per item.
template <class F>
void ForEachChildElement(IXMLDOMNode* parent, F&& f) {
  Ptr<IXMLDOMNode> child;
  if (parent->get_firstChild(child.Out()) != S_OK) return;
  while (child) {
    if (IsElement(child.Get()) && !f(child.Get())) return;
    Ptr<IXMLDOMNode> next;
    if (child->get_nextSibling(next.Out()) != S_OK) return;
    child.Swap(next);
  }
}

// XML 1.0 cannot hold control characters other than tab and line breaks, lone surrogates, U+FFFE or U+FFFF.
bool StorableInXml(const std::wstring& s) {
  for (size_t i = 0; i < s.size(); ++i) {
    wchar_t c = s[i];
    if (c < 0x20 && c != L'\t' && c != L'\n' && c != L'\r') return false;
    if (c == 0xFFFE || c == 0xFFFF) return false;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= s.size() || s[i + 1] < 0xDC00 || s[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

// Cuts to at most `limit` UTF-16 units without splitting a surrogate pair.
std::wstring CutLabel(std::wstring label, size_t limit) {
  if (label.size() <= limit) return label;
  size_t n = limit;
  if (n > 0 && label[n - 1] >= 0xD800 && label[n - 1] <= 0xDBFF) --n;
  label.resize(n);
  return label;
}

bool Append(IXMLDOMNode* parent, IXMLDOMNode* child) {
  Ptr<IXMLDOMNode> added;
  return SUCCEEDED(parent->appendChild(child, added.Out()));
}

bool SetAttribute(IXMLDOMElement* element, const wchar_t* name, const std::wstring& value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocStringLen(value.data(), UINT(value.size()));
  HRESULT hr = v.bstrVal ? element->setAttribute(Bstr(name).Get(), v) : E_OUTOFMEMORY;
  VariantClear(&v);
  return SUCCEEDED(hr);
}

bool AppendElement(IXMLDOMDocument* doc, IXMLDOMNode* parent, const wchar_t* name, Ptr<IXMLDOMElement>& element) {
  if (FAILED(doc->createElement(Bstr(name).Get(), element.Out()))) return false;
  return Append(parent, element.Get());
}

bool AppendComment(IXMLDOMDocument* doc, const wchar_t* text) {
  Ptr<IXMLDOMComment> comment;
  if (FAILED(doc->createComment(Bstr(text).Get(), comment.Out()))) return false;
  return Append(doc, comment.Get());
}

bool ReadWholeFile(HANDLE file, std::string& bytes, std::wstring& detail) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size)) {
    detail = L"cannot read the file size";
    return false;
  }
  if (size.QuadPart > LONGLONG(CCdImageFile::kMaxFileBytes)) {
    detail = L"the file is too large for a CD image";
    return false;
  }
  bytes.resize(size_t(size.QuadPart));
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    if (!ReadFile(file, &bytes[done], DWORD(bytes.size() - done), &got, nullptr) || got == 0) {
      detail = L"cannot read the file";
      return false;
    }
    done += got;
  }
  return true;
}

bool WriteAll(HANDLE file, const BYTE* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    DWORD wrote = 0;
    if (!WriteFile(file, data + done, DWORD(size - done), &wrote, nullptr) || wrote == 0) return false;
    done += wrote;
  }
  return FlushFileBuffers(file) != FALSE;
}

std::wstring FolderOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return L".";
  if (slash == 0 || (slash == 2 && path[1] == L':')) return path.substr(0, slash + 1);
  return path.substr(0, slash);
}

bool EndsWithExtension(const std::wstring& name) {
  size_t n = wcslen(CCdImageFile::kExtension);
  return name.size() >= n && _wcsicmp(name.c_str() + name.size() - n, CCdImageFile::kExtension) == 0;
}

}  // namespace

bool CCdImageFile::Fail(CdImageError code, std::wstring detail) {
  error = code;
  errorText = code == CdImageError::NotFound     ? kMsgNotExist
              : code == CdImageError::SaveFailed ? kMsgCannotSave
                                                 : kMsgCannotLoad;
  errorDetail = std::move(detail);
  return false;
}

const wchar_t* CCdImageFile::FormatId(int format) {
  if (format == CdImage::kFormatMp3Cd) return L"mp3cd";
  if (format == CdImage::kFormatWmaCd) return L"wmacd";
  return L"redbook";
}

int CCdImageFile::FormatFromId(const std::wstring& id) {
  if (id == L"mp3cd") return CdImage::kFormatMp3Cd;
  if (id == L"wmacd") return CdImage::kFormatWmaCd;
  return CdImage::kFormatRedBook;
}

std::wstring CCdImageFile::PathForName(const std::wstring& imagesFolder, const std::wstring& name) {
  if (name.find_first_of(L"\\/:") != std::wstring::npos) return name;
  std::wstring path = imagesFolder;
  if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
  path += name;
  if (!EndsWithExtension(name)) path += kExtension;
  return path;
}

std::vector<size_t> CCdImageFile::MissingFiles(const CdImage& image) {
  std::vector<size_t> missing;
  for (size_t i = 0; i < image.files.size(); ++i) {
    DWORD attributes = GetFileAttributesW(image.files[i].c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) missing.push_back(i);
  }
  return missing;
}

bool CCdImageFile::Load(const std::wstring& path, CdImage& image) {
  error = CdImageError::None;
  errorText.clear();
  errorDetail.clear();

  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND || code == ERROR_INVALID_NAME)
      return Fail(CdImageError::NotFound, L"no file at " + path);
    return Fail(CdImageError::InvalidFormat, L"cannot open " + path + L" (error " + std::to_wstring(code) + L")");
  }
  std::string bytes;
  std::wstring detail;
  bool read = ReadWholeFile(file, bytes, detail);
  CloseHandle(file);
  if (!read) return Fail(CdImageError::InvalidFormat, detail);
  if (bytes.empty()) return Fail(CdImageError::InvalidFormat, L"the file is empty");

  ComScope com;
  Ptr<IXMLDOMDocument> doc;
  if (!CreateDocument(doc)) return Fail(CdImageError::InvalidFormat, L"the XML document object is not available");

  // The parser is given the bytes, so it detects the encoding from the BOM or declaration itself.
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (!memory) return Fail(CdImageError::InvalidFormat, L"out of memory");
  memcpy(GlobalLock(memory), bytes.data(), bytes.size());
  GlobalUnlock(memory);
  Ptr<IStream> stream;
  if (FAILED(CreateStreamOnHGlobal(memory, TRUE, stream.Out()))) {
    GlobalFree(memory);
    return Fail(CdImageError::InvalidFormat, L"out of memory");
  }
  VARIANT source;
  VariantInit(&source);
  source.vt = VT_UNKNOWN;
  source.punkVal = stream.Get();
  VARIANT_BOOL parsed = VARIANT_FALSE;
  if (FAILED(doc->load(source, &parsed)) || parsed != VARIANT_TRUE) {
    std::wstring why = L"not well-formed XML";
    Ptr<IXMLDOMParseError> parseError;
    if (SUCCEEDED(doc->get_parseError(parseError.Out())) && parseError) {
      Bstr reason;
      long line = 0;
      parseError->get_line(&line);
      if (parseError->get_reason(reason.Out()) == S_OK && !reason.Str().empty()) why += L": " + reason.Str();
      if (line > 0) why += L" (line " + std::to_wstring(line) + L")";
    }
    return Fail(CdImageError::InvalidFormat, why);
  }

  Ptr<IXMLDOMElement> root;
  if (doc->get_documentElement(root.Out()) != S_OK || !root)
    return Fail(CdImageError::InvalidFormat, L"the document has no root element");
  std::wstring rootName = NodeName(root.Get());
  if (rootName != L"cdimage")
    return Fail(CdImageError::InvalidFormat, L"the root element is \"" + rootName + L"\", not \"cdimage\"");

  // Only the first of each child counts; missing ones leave the defaults.
  CdImage result;
  bool haveFormat = false, haveVolume = false, haveList = false;
  ForEachChildElement(root.Get(), [&](IXMLDOMNode* node) {
    std::wstring name = NodeName(node);
    std::wstring value;
    if (name == L"format" && !haveFormat) {
      haveFormat = true;
      if (Attribute(node, L"id", value)) result.format = FormatFromId(value);
    } else if (name == L"volume" && !haveVolume) {
      haveVolume = true;
      if (Attribute(node, L"label", value)) result.label = CutLabel(value, CdImage::kMaxLabelChars);
    } else if (name == L"tracklist" && !haveList) {
      haveList = true;
      ForEachChildElement(node, [&](IXMLDOMNode* track) {
        std::wstring file;
        if (Attribute(track, L"file", file) && !file.empty()) result.files.push_back(std::move(file));
        return true;
      });
    }
    return true;
  });
  image = std::move(result);
  return true;
}

bool CCdImageFile::Save(const std::wstring& path, const CdImage& image) {
  error = CdImageError::None;
  errorText.clear();
  errorDetail.clear();

  if (!StorableInXml(image.label))
    return Fail(CdImageError::SaveFailed, L"the label holds characters XML cannot store");
  for (size_t i = 0; i < image.files.size(); ++i)
    if (image.files[i].empty() || !StorableInXml(image.files[i]))
      return Fail(CdImageError::SaveFailed, L"entry " + std::to_wstring(i) + L" is not a path XML can store");

  ComScope com;
  Ptr<IXMLDOMDocument> doc;
  if (!CreateDocument(doc)) return Fail(CdImageError::SaveFailed, L"the XML document object is not available");

  Ptr<IXMLDOMElement> root, format, volume, list;
  bool built = AppendComment(doc.Get(), kNotice1) && AppendComment(doc.Get(), kNotice2) &&
               AppendElement(doc.Get(), doc.Get(), L"cdimage", root) && SetAttribute(root.Get(), L"version", L"1") &&
               AppendElement(doc.Get(), root.Get(), L"format", format) &&
               SetAttribute(format.Get(), L"id", FormatId(image.format)) &&
               AppendElement(doc.Get(), root.Get(), L"volume", volume) &&
               SetAttribute(volume.Get(), L"label", image.label) &&
               AppendElement(doc.Get(), root.Get(), L"tracklist", list);
  for (size_t i = 0; built && i < image.files.size(); ++i) {
    Ptr<IXMLDOMElement> track;
    built = AppendElement(doc.Get(), list.Get(), L"track", track) &&
            SetAttribute(track.Get(), L"idx", std::to_wstring(i)) && SetAttribute(track.Get(), L"file", image.files[i]);
  }
  if (!built) return Fail(CdImageError::SaveFailed, L"the XML document could not be built");

  Ptr<IStream> stream;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.Out())))
    return Fail(CdImageError::SaveFailed, L"out of memory");
  VARIANT target;
  VariantInit(&target);
  target.vt = VT_UNKNOWN;
  target.punkVal = stream.Get();
  if (FAILED(doc->save(target))) return Fail(CdImageError::SaveFailed, L"the XML document could not be serialised");
  STATSTG stat = {};
  HGLOBAL memory = nullptr;
  if (FAILED(stream->Stat(&stat, STATFLAG_NONAME)) || FAILED(GetHGlobalFromStream(stream.Get(), &memory)))
    return Fail(CdImageError::SaveFailed, L"the XML document could not be serialised");

  // Replacing by rename would pass over the read-only mark on some systems; it forbids the write on all.
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    return Fail(CdImageError::SaveFailed, path + L" is read-only");

  // A unique name beside the target, so the final rename stays within one volume.
  wchar_t temp[MAX_PATH + 1] = {};
  std::wstring folder = FolderOf(path);
  if (!GetTempFileNameW(folder.c_str(), L"fgx", 0, temp))
    return Fail(CdImageError::SaveFailed,
                L"cannot create a file in " + folder + L" (error " + std::to_wstring(GetLastError()) + L")");
  HANDLE file = CreateFileW(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  bool written = false;
  if (file != INVALID_HANDLE_VALUE) {
    const BYTE* data = static_cast<const BYTE*>(GlobalLock(memory));
    written = data && WriteAll(file, data, size_t(stat.cbSize.QuadPart));
    GlobalUnlock(memory);
    CloseHandle(file);
  }
  if (!written) {
    DWORD code = GetLastError();
    DeleteFileW(temp);
    return Fail(CdImageError::SaveFailed,
                std::wstring(L"cannot write ") + temp + L" (error " + std::to_wstring(code) + L")");
  }
  if (!MoveFileExW(temp, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DWORD code = GetLastError();
    DeleteFileW(temp);
    return Fail(CdImageError::SaveFailed, L"cannot replace " + path + L" (error " + std::to_wstring(code) + L")");
  }
  return true;
}
