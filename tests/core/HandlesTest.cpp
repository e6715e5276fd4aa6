// The owning pointer and handle wrappers: references and handles are released exactly once.
#include <gtest/gtest.h>

#include "ComPtr.h"
#include "UniqueHandles.h"
#include "tavcore.h"

namespace {
struct Counted : IUnknown {
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++count; }
  ULONG STDMETHODCALLTYPE Release() override { return --count; }
  ULONG count = 1;
};
}  // namespace

TEST(ComPtr, CopiesAddReferencesMovesStealThem) {
  Counted object;
  {
    ComPtr<Counted> adopted = ComPtr<Counted>::Adopt(&object);
    EXPECT_EQ(1u, object.count);
    ComPtr<Counted> copy = adopted;
    EXPECT_EQ(2u, object.count);
    ComPtr<Counted> moved = std::move(copy);
    EXPECT_EQ(2u, object.count);
    EXPECT_FALSE(copy);
    copy = moved;
    EXPECT_EQ(3u, object.count);
    copy = nullptr;
    EXPECT_EQ(2u, object.count);
    Counted* raw = moved.Detach();
    EXPECT_EQ(&object, raw);
    EXPECT_EQ(2u, object.count);
    raw->Release();
  }
  EXPECT_EQ(0u, object.count);

  Counted other;
  ComPtr<Counted> holder(&other);  // takes a reference of its own
  EXPECT_EQ(2u, other.count);
  Counted** slot = &holder;
  EXPECT_EQ(1u, other.count) << "& empties the pointer first, so an out-parameter loses nothing";
  EXPECT_EQ(nullptr, *slot);
}

TEST(UniqueHandles, CloseOnceAndMove) {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(nullptr, event);
  {
    UniqueHandle first(event);
    UniqueHandle second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(event, second.Get());
    DWORD flags = 0;
    EXPECT_TRUE(GetHandleInformation(event, &flags));
  }
  DWORD flags = 0;
  EXPECT_FALSE(GetHandleInformation(event, &flags)) << "the handle is closed with its owner";

  UniqueFile none;
  EXPECT_FALSE(none);
  EXPECT_EQ(INVALID_HANDLE_VALUE, none.Get());
}
