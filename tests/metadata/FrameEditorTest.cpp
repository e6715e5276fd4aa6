// The frame editors driven as a user drives them: typed text, clicks, chosen files; the messages the user sees
// and what ends up in the frame.
#include <gtest/gtest.h>
#include <id3/tag.h>

#include <functional>
#include <string>
#include <vector>

#include "CMetadataFrame.h"
#include "EngineMessageBox.h"
#include "FrameEditorShell.h"
#include "ModalDriver.h"
#include "TestSupport.h"
#include "resource.h"
#include "tavcore.h"

namespace {

// Made with ImageMagick: an 8x8 red PNG (palette) and an 8x8 blue JPEG.
const std::string kRedPng(
    "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x08\x00\x00\x00\x08\x01\x03\x00\x00"
    "\x00\xfe\xc1\x2c\xc8\x00\x00\x00\x03\x50\x4c\x54\x45\xff\x00\x00\x19\xe2\x09\x37\x00\x00\x00\x0b\x49\x44\x41\x54"
    "\x08\xd7\x63\x60\x40\x05\x00\x00\x10\x00\x01\xa1\xc5\x21\xc1\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42\x60\x82",
    83);
const std::string kBlueJpeg(
    "\xff\xd8\xff\xe0\x00\x10\x4a\x46\x49\x46\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00\xff\xdb\x00\x43\x00\x03\x02\x02"
    "\x03\x02\x02\x03\x03\x03\x03\x04\x03\x03\x04\x05\x08\x05\x05\x04\x04\x05\x0a\x07\x07\x06\x08\x0c\x0a\x0c\x0c\x0b"
    "\x0a\x0b\x0b\x0d\x0e\x12\x10\x0d\x0e\x11\x0e\x0b\x0b\x10\x16\x10\x11\x13\x14\x15\x15\x15\x0c\x0f\x17\x18\x16\x14"
    "\x18\x12\x14\x15\x14\xff\xdb\x00\x43\x01\x03\x04\x04\x05\x04\x05\x09\x05\x05\x09\x14\x0d\x0b\x0d\x14\x14\x14\x14"
    "\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14"
    "\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\x14\xff\xc0\x00\x11\x08\x00\x08\x00\x08\x03"
    "\x01\x11\x00\x02\x11\x01\x03\x11\x01\xff\xc4\x00\x14\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
    "\x00\x00\x09\xff\xc4\x00\x14\x10\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\xff\xc4\x00"
    "\x15\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x06\x09\xff\xc4\x00\x14\x11\x01\x00\x00"
    "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\xff\xda\x00\x0c\x03\x01\x00\x02\x11\x03\x11\x00\x3f\x00"
    "\x3d\xd5\x4c\x1d\xff\xd9",
    286);

struct Shown {
  std::wstring text;
  UINT type;
};
std::vector<Shown> shown;
int WINAPI RecordMessage(HWND, const wchar_t* text, const wchar_t*, UINT type) {
  shown.push_back({text ? text : L"", type});
  return IDOK;
}
std::vector<std::wstring> Texts() {
  std::vector<std::wstring> texts;
  for (const Shown& message : shown) texts.push_back(message.text);
  return texts;
}

// The file the user picks in the next file dialog; empty: the user cancels.
std::wstring chosenFile;
std::wstring firstFilter;
bool AnswerFileDialog(HWND, bool, const wchar_t* filter, std::wstring& path) {
  firstFilter = filter ? filter : L"";
  if (chosenFile.empty()) return false;
  path = chosenFile;
  return true;
}
std::vector<std::wstring> opened;
bool RecordOpen(HWND, const wchar_t* url) {
  opened.push_back(url);
  return true;
}

class FrameEditors : public ::testing::Test {
 protected:
  void SetUp() override {
    shown.clear();
    opened.clear();
    chosenFile.clear();
    SetEngineMessageBoxFunction(&RecordMessage);
    SetChooseFileFunction(&AnswerFileDialog);
    SetOpenUrlFunction(&RecordOpen);
  }
  void TearDown() override {
    SetEngineMessageBoxFunction(nullptr);
    SetChooseFileFunction(nullptr);
    SetOpenUrlFunction(nullptr);
  }
};

// TAVREL_SHOW_WINDOWS=1 keeps each dialog on screen for a while, to look at it under a real display.
void ShowForLook(HWND dialog) {
  if (GetEnvironmentVariableW(L"TAVREL_SHOW_WINDOWS", nullptr, 0) == 0) return;
  ShowWindow(dialog, SW_SHOW);
  for (ULONGLONG end = GetTickCount64() + 3000; GetTickCount64() < end;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    Sleep(20);
  }
}

// Runs the frame's editor with drive acting as the user; the editor's result.
int EditAs(IMetadataFrame* frame, std::function<void(HWND)> drive) {
  ModalDriver driver([&](HWND dialog) {
    ShowForLook(dialog);
    drive(dialog);
  });
  int result = frame->Edit(nullptr);
  EXPECT_TRUE(driver.Drove());
  return result;
}

void Type(HWND dialog, int id, const std::wstring& text) { SetDlgItemTextW(dialog, id, text.c_str()); }
std::wstring TextOf(HWND window) {
  wchar_t text[2048] = {};
  GetWindowTextW(window, text, 2048);
  return text;
}
std::wstring TextOf(HWND dialog, int id) { return TextOf(GetDlgItem(dialog, id)); }
std::wstring Display(IMetadataFrame* frame) {
  wchar_t text[2048] = {};
  frame->GetDisplayText(text, 2048);
  return text;
}
template <class Frame>
std::wstring TextOfFrame(Frame* frame) {
  wchar_t text[2048] = {};
  frame->GetText(text, 2048);
  return text;
}

// The control with the focus; a drop-down combo box's own edit box counts as the combo box.
int FocusedControl(HWND dialog) {
  HWND focus = GetFocus();
  if (focus && GetParent(focus) != dialog) focus = GetParent(focus);
  return focus ? GetDlgCtrlID(focus) : 0;
}

std::wstring Locale(LANGID language, LCTYPE what) {
  wchar_t text[256] = {};
  GetLocaleInfoW(MAKELCID(language, SORT_DEFAULT), what, text, 256);
  return text;
}

TEST_F(FrameEditors, TextChecksRefuseWithTheirMessageAndStoreOnlyWhatTheyAccept) {
  const std::wstring yearRange = L"Please enter a number between 1800 and 2100.";
  const std::wstring dayMonth = L"Please enter a numeric string in DDMM format.";
  const std::wstring hourMinute = L"Please enter a numeric string in HHMM format.";
  const std::wstring slash = L"Please enter a number or two numbers separated by a slash.";
  const std::wstring partRange = L"Please enter a number between 1 and 99.";
  struct Case {
    UINT32 number;
    const wchar_t* typed;
    std::wstring refusal;  // empty: accepted
  } cases[] = {
      {80, L"1799", yearRange},
      {80, L"2101", yearRange},
      {80, L"2005", L""},
      {80, L"1800", L""},
      {80, L"20O5", L"Please enter a valid number."},
      {80, L"", L"Please enter a valid number."},
      {33, L"2004 Tavrel Records", L""},
      {33, L"Tavrel Records 2004", L"Copyright Text must begin with a year number."},
      {33, L"1799 Old", L"Copyright Text must begin with a year number."},
      {34, L"3112", L""},
      {34, L"3212", dayMonth},
      {34, L"0012", dayMonth},
      {34, L"311", dayMonth},
      {34, L"0100", dayMonth},
      {45, L"2359", L""},
      {45, L"2400", hourMinute},
      {45, L"1260", hourMinute},
      {45, L"12:30", hourMinute},
      {68, L"5", L""},
      {68, L"5/12", L""},
      {68, L"12/12", L""},
      {65, L"1/2", L""},
      {68, L"13/12", L"The first number must be smaller than the second one."},
      {68, L"5-12", slash},
      {68, L"5/12/1", slash},
      {68, L"5/", partRange},
      {68, L"0", partRange},
      {68, L"100", partRange},
      {68, L"5/100", partRange},
      {47, L"Anything at all", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.number << " '" << testing::PrintToString(std::wstring(c.typed)) << "'");
    Ref<IMetadataFrameText> frame;
    ASSERT_EQ(S_OK, MetadataCreateFrame(c.number, IID_IMetadataFrameText, frame.out()));
    frame->SetText(L"before");
    shown.clear();
    std::wstring caption;
    int result = EditAs(frame.p, [&](HWND dialog) {
      caption = TextOf(dialog);
      Type(dialog, IDC_FRAME_TEXT, c.typed);
      Click(dialog, IDOK);
      if (!c.refusal.empty()) Click(dialog, IDCANCEL);  // still open after the message
    });
    EXPECT_EQ(L"Edit Text", caption);
    if (c.refusal.empty()) {
      EXPECT_EQ(IDOK, result);
      EXPECT_TRUE(shown.empty());
      EXPECT_EQ(c.typed, TextOfFrame(frame.p));
    } else {
      EXPECT_EQ(IDCANCEL, result);
      ASSERT_EQ(1u, shown.size());
      EXPECT_EQ(c.refusal, shown[0].text);
      EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), shown[0].type & MB_ICONMASK);
      EXPECT_EQ(L"before", TextOfFrame(frame.p)) << "a refused text is not stored";
    }
  }
}

TEST_F(FrameEditors, TextSurvivesBeyondTheBasicPlaneAndReadOnlyKindsCannotChange) {
  const std::wstring text = L"Gr\u00FC\u00DFe \U0001D11E \u6F22";
  Ref<IMetadataFrameText> title;
  ASSERT_EQ(S_OK, MetadataCreateFrame(47, IID_IMetadataFrameText, title.out()));
  title->SetText(text.c_str());
  std::wstring opened;
  EXPECT_EQ(IDOK, EditAs(title.p, [&](HWND dialog) {
              opened = TextOf(dialog, IDC_FRAME_TEXT);
              Type(dialog, IDC_FRAME_TEXT, opened + L"\U0001F3B5");
              Click(dialog, IDOK);
            }));
  EXPECT_EQ(text, opened);
  EXPECT_EQ(text + L"\U0001F3B5", TextOfFrame(title.p));

  for (UINT32 number : {51u, 44u}) {
    Ref<IMetadataFrameText> frame;
    ASSERT_EQ(S_OK, MetadataCreateFrame(number, IID_IMetadataFrameText, frame.out()));
    frame->SetText(L"215000");
    bool readOnlyBox = false, okShown = true;
    std::wstring close;
    EXPECT_EQ(IDCANCEL, EditAs(frame.p, [&](HWND dialog) {
                readOnlyBox = (GetWindowLongW(GetDlgItem(dialog, IDC_FRAME_TEXT), GWL_STYLE) & ES_READONLY) != 0;
                okShown = IsWindowVisible(GetDlgItem(dialog, IDOK)) != FALSE;
                close = TextOf(dialog, IDCANCEL);
                Type(dialog, IDC_FRAME_TEXT, L"1");
                SendMessageW(dialog, WM_COMMAND, IDOK, 0);  // Enter
                Click(dialog, IDCANCEL);
              }));
    EXPECT_TRUE(readOnlyBox) << number;
    EXPECT_FALSE(okShown) << number;
    EXPECT_EQ(L"Close", close);
    EXPECT_EQ(L"215000", TextOfFrame(frame.p)) << number;
  }
}

// Every editor: its caption, access keys, Tab from the first field through the buttons, and Cancel after
// changing every field leaves the frame as it was.
TEST_F(FrameEditors, EveryEditorCaptionKeysTabOrderAndCancel) {
  struct Case {
    UINT32 number;
    const wchar_t* caption;
    std::vector<int> tabOrder;
  } cases[] = {
      {47, L"Edit Text", {IDC_FRAME_TEXT, IDOK, IDCANCEL}},
      {79, L"Additional Information", {IDC_FRAME_DESCRIPTION, IDC_FRAME_TEXT, IDOK, IDCANCEL}},
      {86, L"Edit URL", {IDC_FRAME_URL, IDC_FRAME_OPEN_URL, IDOK, IDCANCEL}},
      {92, L"User Defined URL", {IDC_FRAME_DESCRIPTION, IDC_FRAME_URL, IDC_FRAME_OPEN_URL, IDOK, IDCANCEL}},
      {4, L"Comments", {IDC_FRAME_DESCRIPTION, IDC_FRAME_TEXT, IDC_FRAME_LANGUAGE, IDOK, IDCANCEL}},
      {50, L"Language(s)", {IDC_FRAME_LANGUAGE, IDOK, IDCANCEL}},
      {32, L"Content Type / Genre", {IDC_GENRE_NAME, IDC_GENRE_ADD, IDC_GENRE_LIST, IDC_GENRE_REMOVE, IDOK, IDCANCEL}},
      {2, L"Picture", {IDC_PICTURE_TYPE, IDC_PICTURE_MIME, IDC_FRAME_DESCRIPTION, IDC_PICTURE_LOAD, IDOK, IDCANCEL}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.number);
    Ref<IMetadataFrame> frame;
    ASSERT_EQ(S_OK, MetadataCreateFrame(c.number, IID_IMetadataFrame, frame.out()));
    const std::wstring before = Display(frame.p);
    std::wstring caption, keys;
    std::vector<int> tabOrder;
    EXPECT_EQ(IDCANCEL, EditAs(frame.p, [&](HWND dialog) {
                caption = TextOf(dialog);
                keys = AccessKeyProblems(dialog);
                Focus(dialog, c.tabOrder[0]);
                tabOrder.push_back(FocusedControl(dialog));
                for (size_t i = 1; i < c.tabOrder.size(); ++i) {
                  PressKey(dialog, VK_TAB);
                  tabOrder.push_back(FocusedControl(dialog));
                }
                for (int id : {IDC_FRAME_TEXT, IDC_FRAME_DESCRIPTION, IDC_FRAME_URL})
                  Type(dialog, id, L"http://changed.example/");
                if (c.number == 32) Click(dialog, IDC_GENRE_ADD);
                if (c.number == 4 || c.number == 50) SelectComboItem(dialog, IDC_FRAME_LANGUAGE, 0);
                Click(dialog, IDCANCEL);
              }));
    EXPECT_EQ(c.caption, caption);
    EXPECT_EQ(L"", keys);
    EXPECT_EQ(c.tabOrder, tabOrder);
    EXPECT_EQ(before, Display(frame.p));
  }
}

std::vector<std::wstring> ListItems(HWND dialog, int id) {
  std::vector<std::wstring> items;
  for (LRESULT i = 0, count = SendDlgItemMessageW(dialog, id, LB_GETCOUNT, 0, 0); i < count; ++i) {
    wchar_t text[1100] = {};
    SendDlgItemMessageW(dialog, id, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
    items.push_back(text);
  }
  return items;
}

TEST_F(FrameEditors, GenreEntriesRoundTrip) {
  Ref<IMetadataFrameText> genre;
  ASSERT_EQ(S_OK, MetadataCreateFrame(32, IID_IMetadataFrameText, genre.out()));
  genre->SetText(L"(17)((Live)");
  std::vector<std::wstring> openedWith;
  EXPECT_EQ(IDOK, EditAs(genre.p, [&](HWND dialog) {
              openedWith = ListItems(dialog, IDC_GENRE_LIST);
              SendDlgItemMessageW(dialog, IDC_GENRE_LIST, LB_SETCURSEL, 1, 0);
              Click(dialog, IDC_GENRE_REMOVE);
              SendDlgItemMessageW(dialog, IDC_GENRE_NAME, CB_SETCURSEL, FindComboItem(dialog, IDC_GENRE_NAME, L"Pop"),
                                  0);
              Click(dialog, IDC_GENRE_ADD);
              Type(dialog, IDC_GENRE_NAME, L"Chillout");
              Click(dialog, IDC_GENRE_ADD);
              Click(dialog, IDOK);
            }));
  EXPECT_EQ((std::vector<std::wstring>{L"Rock", L"(Live)"}), openedWith);
  EXPECT_EQ(L"(17)(13)Chillout", TextOfFrame(genre.p));

  // Literal text beginning with "(" keeps its escape; a number beyond the table stays a reference.
  genre->SetText(L"(200)(0)((Live)");
  EXPECT_EQ(IDOK, EditAs(genre.p, [&](HWND dialog) {
              openedWith = ListItems(dialog, IDC_GENRE_LIST);
              Click(dialog, IDOK);
            }));
  EXPECT_EQ((std::vector<std::wstring>{L"(200)", L"Blues", L"(Live)"}), openedWith);
  EXPECT_EQ(L"(200)(0)((Live)", TextOfFrame(genre.p));

  // An empty list is refused; the dialog stays open.
  EXPECT_EQ(IDCANCEL, EditAs(genre.p, [&](HWND dialog) {
              for (int i = 0; i < 3; ++i) {
                SendDlgItemMessageW(dialog, IDC_GENRE_LIST, LB_SETCURSEL, 0, 0);
                Click(dialog, IDC_GENRE_REMOVE);
              }
              Click(dialog, IDOK);
              Click(dialog, IDCANCEL);
            }));
  EXPECT_EQ(std::vector<std::wstring>{L"Please enter/select at least one genre and click Add."}, Texts());
  EXPECT_EQ(L"(200)(0)((Live)", TextOfFrame(genre.p));
}

TEST_F(FrameEditors, CommentAndLanguageStoreThePlatformsAbbreviation) {
  const LANGID german = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN);
  const std::wstring germanCode = Locale(german, LOCALE_SABBREVLANGNAME);
  const std::wstring germanName = Locale(german, LOCALE_SLANGUAGE);
  const std::wstring englishName = Locale(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), LOCALE_SLANGUAGE);
  ASSERT_FALSE(germanCode.empty());

  Ref<IMetadataFrameComment> comment;
  ASSERT_EQ(S_OK, MetadataCreateFrame(4, IID_IMetadataFrameComment, comment.out()));
  comment->SetLanguage(L"enu");
  std::wstring selected;
  EXPECT_EQ(IDOK, EditAs(comment.p, [&](HWND dialog) {
              selected = TextOf(dialog, IDC_FRAME_LANGUAGE);
              Click(dialog, IDOK);  // no text yet
              Type(dialog, IDC_FRAME_DESCRIPTION, L"Liner");
              Type(dialog, IDC_FRAME_TEXT, L"First line\r\nSecond line");
              SelectComboItem(dialog, IDC_FRAME_LANGUAGE,
                              FindComboItem(dialog, IDC_FRAME_LANGUAGE, germanName.c_str()));
              Click(dialog, IDOK);
            }));
  EXPECT_EQ(englishName, selected);
  EXPECT_EQ(std::vector<std::wstring>{L"Please enter a comment."}, Texts());
  wchar_t text[256] = {};
  comment->GetLanguage(text, 256);
  EXPECT_EQ(germanCode, text) << "as the platform spells it";
  comment->GetDescription(text, 256);
  EXPECT_STREQ(L"Liner", text);
  EXPECT_EQ(L"First line\nSecond line", TextOfFrame(comment.p));

  // The language editor: the platform's code chosen, a code it does not know kept, no code stays none.
  struct Case {
    std::wstring code;
    bool chooseGerman;
    std::wstring stored;
  } cases[] = {{L"enu", true, germanCode}, {L"xyz", false, L"xyz"}, {L"", false, L""}};
  for (const Case& c : cases) {
    Ref<IMetadataFrameText> language;
    ASSERT_EQ(S_OK, MetadataCreateFrame(50, IID_IMetadataFrameText, language.out()));
    language->SetText(c.code.c_str());
    EXPECT_EQ(IDOK, EditAs(language.p, [&](HWND dialog) {
                if (c.chooseGerman)
                  SelectComboItem(dialog, IDC_FRAME_LANGUAGE,
                                  FindComboItem(dialog, IDC_FRAME_LANGUAGE, germanName.c_str()));
                Click(dialog, IDOK);
              }));
    EXPECT_EQ(c.stored, TextOfFrame(language.p)) << c.code;
  }
}

TEST_F(FrameEditors, UrlsAreCheckedBeforeTheDescriptionAndOnlyWebAddressesOpen) {
  const std::wstring invalid = L"Please enter a valid URL.";
  const std::wstring noDescription = L"Please enter description for user-defined URL link.";
  struct Case {
    UINT32 number;
    const wchar_t* url;
    const wchar_t* description;
    std::vector<std::wstring> messages;  // empty: accepted
  } cases[] = {
      {86, L"http://tavrel.example/band", L"", {}},  {86, L"mailto:band@tavrel.example", L"", {}},
      {86, L"www.tavrel.example", L"", {invalid}},   {86, L"", L"", {invalid}},
      {92, L"www.tavrel.example", L"", {invalid}},   {92, L"https://tavrel.example/", L"", {noDescription}},
      {92, L"https://tavrel.example/", L"Home", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.url)));
    Ref<IMetadataFrame> frame;
    ASSERT_EQ(S_OK, MetadataCreateFrame(c.number, IID_IMetadataFrame, frame.out()));
    shown.clear();
    int result = EditAs(frame.p, [&](HWND dialog) {
      Type(dialog, IDC_FRAME_URL, c.url);
      Type(dialog, IDC_FRAME_DESCRIPTION, c.description);
      Click(dialog, IDOK);
      if (!c.messages.empty()) Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(c.messages, Texts());
    EXPECT_EQ(c.messages.empty() ? IDOK : IDCANCEL, result);
    std::wstring expected = c.messages.empty() ? c.url : L"";
    if (c.number == 92) expected += c.messages.empty() ? L" (Home)" : L" ()";
    EXPECT_EQ(expected, Display(frame.p));
  }

  Ref<IMetadataFrame> url;
  ASSERT_EQ(S_OK, MetadataCreateFrame(87, IID_IMetadataFrame, url.out()));
  shown.clear();
  EditAs(url.p, [&](HWND dialog) {
    for (const wchar_t* typed : {L"https://tavrel.example/", L"no address", L"file:///C:/windows/notepad.exe"}) {
      Type(dialog, IDC_FRAME_URL, typed);
      Click(dialog, IDC_FRAME_OPEN_URL);
    }
    Click(dialog, IDCANCEL);
  });
  EXPECT_EQ(std::vector<std::wstring>{L"https://tavrel.example/"}, opened);
  ASSERT_EQ(2u, shown.size());
  EXPECT_EQ(invalid, shown[0].text);
  EXPECT_NE(std::wstring::npos, shown[1].text.find(L"can be opened")) << "a file is never run from a tag";
}

// The colour at the middle of the preview, as the dialog paints it.
COLORREF PreviewMiddle(HWND dialog) {
  HWND preview = GetDlgItem(dialog, IDC_PICTURE_PREVIEW);
  RECT box = {};
  GetClientRect(preview, &box);
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), box.right, -box.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(dc, bitmap);
  SendMessageW(preview, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  COLORREF colour = GetPixel(dc, box.right / 2, box.bottom / 2);
  SelectObject(dc, previous);
  DeleteDC(dc);
  DeleteObject(bitmap);
  return colour;
}

std::string PictureBytes(IMetadataFrame* frame) {
  ID3_Field* data = CMetadataFrameCore::From(frame)->frame->GetField(ID3FN_DATA);
  return data && data->GetRawBinary() ? std::string(reinterpret_cast<const char*>(data->GetRawBinary()), data->Size())
                                      : std::string();
}

TEST_F(FrameEditors, PictureLoadsPreviewsSavesAndStores) {
  TempFolder folder;
  ASSERT_TRUE(WriteFileBytes(folder / L"red.png", kRedPng));
  ASSERT_TRUE(WriteFileBytes(folder / L"blue.jpg", kBlueJpeg));
  Ref<IMetadataFramePicture> picture;
  ASSERT_EQ(S_OK, MetadataCreateFrame(2, IID_IMetadataFramePicture, picture.out()));

  bool buttonsOffWithoutData = false, buttonsOnWithData = false;
  std::wstring mime, size, typeName;
  COLORREF middle = 0;
  EXPECT_EQ(IDOK, EditAs(picture.p, [&](HWND dialog) {
              buttonsOffWithoutData = !IsEnabled(dialog, IDC_PICTURE_SAVE) && !IsEnabled(dialog, IDC_PICTURE_RESET);
              Click(dialog, IDOK);
              Type(dialog, IDC_FRAME_DESCRIPTION, L"Front");
              Click(dialog, IDOK);
              chosenFile = folder / L"red.png";
              Click(dialog, IDC_PICTURE_LOAD);
              mime = TextOf(dialog, IDC_PICTURE_MIME);
              size = TextOf(dialog, IDC_PICTURE_SIZE);
              buttonsOnWithData = IsEnabled(dialog, IDC_PICTURE_SAVE) && IsEnabled(dialog, IDC_PICTURE_RESET);
              middle = PreviewMiddle(dialog);
              ShowForLook(dialog);
              SelectComboItem(dialog, IDC_PICTURE_TYPE, 3);
              typeName = TextOf(dialog, IDC_PICTURE_TYPE);
              chosenFile = folder / L"saved.png";
              Click(dialog, IDC_PICTURE_SAVE);
              Click(dialog, IDOK);
            }));
  EXPECT_EQ((std::vector<std::wstring>{L"Please enter description for attached picture.", L"Please load a picture."}),
            Texts());
  EXPECT_TRUE(buttonsOffWithoutData);
  EXPECT_TRUE(buttonsOnWithData);
  EXPECT_EQ(L"image/png", mime);
  EXPECT_EQ(L"(83 bytes)", size);
  EXPECT_EQ(RGB(255, 0, 0), middle);
  EXPECT_EQ(L"Cover (front)", typeName);
  EXPECT_EQ(kRedPng, ReadFileBytes(folder / L"saved.png"));
  EXPECT_EQ(kRedPng, PictureBytes(picture.p));
  EXPECT_EQ(3u, picture->GetPictureType());
  EXPECT_EQ(L"Front (83 bytes; image/png)", Display(picture.p));
  EXPECT_TRUE(firstFilter.rfind(L"JPEG files (.jpg)", 0) == 0);

  // Reopened: shows what is stored; a JPEG previews; Reset empties; Cancel keeps the stored picture.
  std::wstring description, mimeAfterReset;
  COLORREF jpegMiddle = 0;
  bool buttonsOffAfterReset = false;
  EXPECT_EQ(IDCANCEL, EditAs(picture.p, [&](HWND dialog) {
              description = TextOf(dialog, IDC_FRAME_DESCRIPTION) + L"|" + TextOf(dialog, IDC_PICTURE_SIZE) + L"|" +
                            TextOf(dialog, IDC_PICTURE_TYPE);
              middle = PreviewMiddle(dialog);
              chosenFile = folder / L"blue.jpg";
              Click(dialog, IDC_PICTURE_LOAD);
              mime = TextOf(dialog, IDC_PICTURE_MIME);
              jpegMiddle = PreviewMiddle(dialog);
              Click(dialog, IDC_PICTURE_RESET);
              mimeAfterReset = TextOf(dialog, IDC_PICTURE_MIME) + TextOf(dialog, IDC_FRAME_DESCRIPTION);
              size = TextOf(dialog, IDC_PICTURE_SIZE);
              buttonsOffAfterReset = !IsEnabled(dialog, IDC_PICTURE_SAVE) && !IsEnabled(dialog, IDC_PICTURE_RESET);
              Click(dialog, IDCANCEL);
            }));
  EXPECT_EQ(L"Front|(83 bytes)|Cover (front)", description);
  EXPECT_EQ(RGB(255, 0, 0), middle) << "the stored bytes are previewed";
  EXPECT_EQ(L"image/jpeg", mime);
  EXPECT_GT(GetBValue(jpegMiddle), 200);
  EXPECT_LT(GetRValue(jpegMiddle), 60);
  EXPECT_EQ(L"", mimeAfterReset);
  EXPECT_EQ(L"(0 bytes)", size);
  EXPECT_TRUE(buttonsOffAfterReset);
  EXPECT_EQ(kRedPng, PictureBytes(picture.p));
  EXPECT_EQ(L"Front (83 bytes; image/png)", Display(picture.p));
}

// Writes a Content Type for an extension into the file types, removed again at the end.
struct RegisteredType {
  RegisteredType(const std::wstring& extension, const wchar_t* type) : key(extension) {
    HKEY created = nullptr;
    RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &created, nullptr);
    if (type)
      RegSetValueExW(created, L"Content Type", 0, REG_SZ, reinterpret_cast<const BYTE*>(type),
                     static_cast<DWORD>((wcslen(type) + 1) * sizeof(wchar_t)));
    RegCloseKey(created);
  }
  ~RegisteredType() { RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str()); }
  std::wstring key;
};

TEST_F(FrameEditors, PictureFilesAreCheckedByTypeAndDamagedOnesDoNotBreakThePreview) {
  TempFolder folder;
  RegisteredType gif(L".tavgif", L"image/gif"), text(L".tavtxt", L"text/plain"), none(L".tavnone", nullptr);
  std::string damagedJpeg = kBlueJpeg;
  for (size_t i = 200; i < 260; ++i) damagedJpeg[i] = static_cast<char>(i * 37);
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  const std::wstring hint = L"PNG or JPEG format should be used if interoperability is desired.\n";
  struct Case {
    const wchar_t* name;
    std::string bytes;
    std::vector<Shown> messages;
    std::wstring mime;  // empty: nothing loaded
    bool previewed;
  } cases[] = {
      {L"picture.tavgif", kRedPng, {{hint, MB_ICONINFORMATION}}, L"image/gif", true},
      {L"notes.tavtxt", kRedPng, {{L"File selected is not a picture.", MB_ICONERROR}}, L"", false},
      {L"picture.tavnone", kRedPng, {{L"Unable to get MIME type of the picture file.", MB_ICONERROR}}, L"", false},
      {L"noextension", kRedPng, {{L"Unable to get MIME type of the picture file.", MB_ICONERROR}}, L"", false},
      {L"half.png", kRedPng.substr(0, 50), {}, L"image/png", false},
      {L"garbage.png", std::string(4000, '\x89'), {}, L"image/png", false},
      {L"damaged.jpg", damagedJpeg, {}, L"image/jpeg", false},
      {L"empty.png", "", {}, L"image/png", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)));
    ASSERT_TRUE(WriteFileBytes(folder / c.name, c.bytes));
    Ref<IMetadataFramePicture> picture;
    ASSERT_EQ(S_OK, MetadataCreateFrame(2, IID_IMetadataFramePicture, picture.out()));
    shown.clear();
    std::wstring mime, size;
    COLORREF middle = 0;
    EditAs(picture.p, [&](HWND dialog) {
      chosenFile = folder / c.name;
      Click(dialog, IDC_PICTURE_LOAD);
      mime = TextOf(dialog, IDC_PICTURE_MIME);
      size = TextOf(dialog, IDC_PICTURE_SIZE);
      middle = PreviewMiddle(dialog);
      Click(dialog, IDCANCEL);
    });
    ASSERT_EQ(c.messages.size(), shown.size());
    for (size_t i = 0; i < shown.size(); ++i) {
      EXPECT_EQ(c.messages[i].text, shown[i].text);
      EXPECT_EQ(c.messages[i].type, shown[i].type & MB_ICONMASK);
    }
    EXPECT_EQ(c.mime, mime);
    EXPECT_EQ(c.mime.empty() ? L"(0 bytes)" : L"(" + std::to_wstring(c.bytes.size()) + L" bytes)", size);
    if (c.previewed)
      EXPECT_EQ(RGB(255, 0, 0), middle);
    else
      EXPECT_EQ(face, middle);
  }
}

}  // namespace
