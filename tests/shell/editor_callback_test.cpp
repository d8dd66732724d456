#include "shell/editor_callback.h"

#include "platform/window_layer.h"

#include <gtest/gtest.h>

#include <algorithm>

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
    }

    // Destroying the editor releases its record the way the program does; the records of other
    // editors (the program's own, made by another group of tests in this process) stay untouched.
    void TearDown() override { layer.destroy_all(); }

    static std::size_t records_of(HWND window)
    {
        return static_cast<std::size_t>(std::count_if(editor_callbacks.begin(), editor_callbacks.end(),
                                                      [window](const EditorCallback& r) { return r.editor_window == window; }));
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
    EXPECT_EQ(records_of(editor), 1u);
}

TEST_F(EditorCallbackTest, SecondAttachForTheSameWindowReturnsNullAndSendsNothing)
{
    EditorCallback* first = attach_editor_callback(editor);
    ASSERT_NE(first, nullptr);
    const LONG count = first->ref_count;
    EXPECT_EQ(attach_editor_callback(editor), nullptr);
    EXPECT_EQ(records_of(editor), 1u);
    EXPECT_EQ(first->ref_count, count);
}

TEST_F(EditorCallbackTest, DestroyingTheEditorReleasesAndRemovesItsRecord)
{
    const std::size_t others = editor_callbacks.size();
    ASSERT_NE(attach_editor_callback(editor), nullptr);
    layer.destroy_all();
    EXPECT_EQ(records_of(editor), 0u);
    EXPECT_EQ(editor_callbacks.size(), others);
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
    const std::size_t before = editor_callbacks.size();
    b->methods->AddRef(b);
    b->methods->AddRef(b);
    EXPECT_EQ(b->methods->Release(b), 1u);
    EXPECT_EQ(editor_callbacks.size(), before);
    EXPECT_EQ(b->methods->Release(b), 0u);
    EXPECT_EQ(editor_callbacks.size(), before - 1);
    EXPECT_EQ(records_of(others[0]), 1u);
    EXPECT_EQ(records_of(others[1]), 0u);
    EXPECT_EQ(records_of(others[2]), 1u);
    EXPECT_EQ(a->editor_window, others[0]) << "the neighbours' records did not move";
    EXPECT_EQ(c->editor_window, others[2]);
    for (EditorCallback* left : {a, c}) {  // through to 0, as the plain windows never held them
        left->methods->AddRef(left);
        left->methods->Release(left);
    }
    EXPECT_EQ(editor_callbacks.size(), before - 3);
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
