#include "shell/editor_callback.h"

#include "platform/window_layer.h"

#include <gtest/gtest.h>

namespace tovalen {
namespace {

constexpr IID EDITOR_CALLBACK_IID = {0x00020D03, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

class EditorCallbackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(layer.initialise());
        layer.open_window(0, 0, 0, 300, 520, L"editor test", platform::WindowStyle{.invisible = true});
        editor = layer.create_rich_edit(1, 1, 1, 298, 480, true);
        ASSERT_NE(editor, nullptr);
        reset_editor_callbacks();
    }

    void TearDown() override
    {
        layer.destroy_all();
        reset_editor_callbacks();
    }

    platform::WindowLayer layer;
    HWND editor = nullptr;
};

TEST_F(EditorCallbackTest, EditorTakesItsOwnReferenceOnTheRecord)
{
    EditorCallback* record = attach_editor_callback(editor);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->editor_window, editor);
    EXPECT_GE(record->ref_count, 1) << "the editor received the record and called AddRef";
    ASSERT_EQ(editor_callbacks.size(), 1u);
    EXPECT_EQ(&editor_callbacks.front(), record);
}

TEST_F(EditorCallbackTest, SecondAttachForTheSameWindowReturnsNullAndSendsNothing)
{
    EditorCallback* first = attach_editor_callback(editor);
    ASSERT_NE(first, nullptr);
    const LONG count = first->ref_count;
    EXPECT_EQ(attach_editor_callback(editor), nullptr);
    EXPECT_EQ(editor_callbacks.size(), 1u);
    EXPECT_EQ(first->ref_count, count);
}

TEST_F(EditorCallbackTest, DestroyingTheEditorReleasesAndRemovesItsRecord)
{
    ASSERT_NE(attach_editor_callback(editor), nullptr);
    layer.destroy_all();
    EXPECT_TRUE(editor_callbacks.empty());
}

TEST_F(EditorCallbackTest, QueryInterfaceAnswersOnlyItsTwoIdentifiers)
{
    EditorCallback* record = attach_editor_callback(editor);
    ASSERT_NE(record, nullptr);
    const LONG count = record->ref_count;

    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(record->methods->QueryInterface(record, IID_IDispatch, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(record->ref_count, count);

    for (const IID& iid : {IID_IUnknown, EDITOR_CALLBACK_IID}) {
        out = nullptr;
        EXPECT_EQ(record->methods->QueryInterface(record, iid, &out), S_OK);
        EXPECT_EQ(out, record);
        record->methods->Release(record);
    }
    EXPECT_EQ(record->ref_count, count);
}

TEST_F(EditorCallbackTest, ReleaseToZeroRemovesExactlyThatRecord)
{
    // Plain windows ignore the message, so these records start at a count of 0.
    HWND others[3];
    for (HWND& other : others) {
        other = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(other, nullptr);
    }
    EditorCallback* a = attach_editor_callback(others[0]);
    EditorCallback* b = attach_editor_callback(others[1]);
    EditorCallback* c = attach_editor_callback(others[2]);
    ASSERT_TRUE(a && b && c);
    b->methods->AddRef(b);
    b->methods->AddRef(b);
    EXPECT_EQ(b->methods->Release(b), 1u);
    EXPECT_EQ(editor_callbacks.size(), 3u);
    EXPECT_EQ(b->methods->Release(b), 0u);
    ASSERT_EQ(editor_callbacks.size(), 2u);
    EXPECT_EQ(&editor_callbacks.front(), a);
    EXPECT_EQ(&editor_callbacks.back(), c);
    for (HWND other : others) {
        ::DestroyWindow(other);
    }
}

TEST_F(EditorCallbackTest, NewStorageIsAWorkingInMemoryStorage)
{
    EditorCallback* record = attach_editor_callback(editor);
    ASSERT_NE(record, nullptr);
    platform::ComPtr<IStorage> storage;
    ASSERT_EQ(record->methods->GetNewStorage(record, storage.put()), S_OK);
    ASSERT_TRUE(storage);

    platform::ComPtr<IStream> stream;
    ASSERT_EQ(storage->CreateStream(L"picture", STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_CREATE, 0, 0,
                                    stream.put()),
              S_OK);
    const char bytes[] = "embedded object data";
    ULONG written = 0;
    EXPECT_EQ(stream->Write(bytes, sizeof bytes, &written), S_OK);
    EXPECT_EQ(written, sizeof bytes);
    STATSTG stat{};
    EXPECT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.cbSize.QuadPart, sizeof bytes);
}

TEST_F(EditorCallbackTest, DeclinedAndAcceptedMethods)
{
    EditorCallback* record = attach_editor_callback(editor);
    ASSERT_NE(record, nullptr);
    const EditorCallbackMethods& m = *record->methods;
    EXPECT_EQ(m.GetInPlaceContext(record, nullptr, nullptr, nullptr), E_NOTIMPL);
    EXPECT_EQ(m.ShowContainerUI(record, TRUE), E_NOTIMPL);
    EXPECT_EQ(m.QueryInsertObject(record, nullptr, nullptr, 0), S_OK);
    EXPECT_EQ(m.DeleteObject(record, nullptr), E_NOTIMPL);
    EXPECT_EQ(m.QueryAcceptData(record, nullptr, nullptr, 0, TRUE, nullptr), S_OK);
    EXPECT_EQ(m.ContextSensitiveHelp(record, TRUE), E_NOTIMPL);
    EXPECT_EQ(m.GetClipboardData(record, nullptr, 0, nullptr), E_NOTIMPL);
    EXPECT_EQ(m.GetDragDropEffect(record, TRUE, 0, nullptr), E_NOTIMPL);
    EXPECT_EQ(m.GetContextMenu(record, 0, nullptr, nullptr, nullptr), E_NOTIMPL);
}

}  // namespace
}  // namespace tovalen
