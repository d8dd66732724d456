#include "shell/editor_callback.h"

#include "platform/handles.h"

#include <algorithm>

namespace tovalen {

std::list<EditorCallback> editor_callbacks;

namespace {

// {00020D03-0000-0000-C000-000000000046}
constexpr IID EDITOR_CALLBACK_IID = {0x00020D03, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr DWORD NEW_STORAGE_MODE = STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_CREATE;  // 0x1012

HRESULT STDMETHODCALLTYPE query_interface(EditorCallback* self, REFIID iid, void** object)
{
    if (object == nullptr) {
        return E_POINTER;
    }
    if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, EDITOR_CALLBACK_IID)) {
        *object = self;
        self->methods->AddRef(self);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE add_ref(EditorCallback* self) { return static_cast<ULONG>(++self->ref_count); }

ULONG STDMETHODCALLTYPE release(EditorCallback* self)
{
    const LONG count = --self->ref_count;
    if (count > 0) {
        return static_cast<ULONG>(count);
    }
    auto record = std::find_if(editor_callbacks.begin(), editor_callbacks.end(),
                               [self](const EditorCallback& r) { return &r == self; });
    if (record != editor_callbacks.end()) {
        editor_callbacks.erase(record);
    }
    return 0;
}

HRESULT STDMETHODCALLTYPE get_new_storage(EditorCallback*, LPSTORAGE* storage)
{
    if (storage == nullptr) {
        return E_POINTER;
    }
    platform::ComPtr<ILockBytes> bytes;
    const HRESULT created = ::CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.put());
    if (FAILED(created)) {
        return created;
    }
    // The storage keeps its own reference on the byte array; ours goes with `bytes`.
    return ::StgCreateDocfileOnILockBytes(bytes.get(), NEW_STORAGE_MODE, 0, storage);
}

HRESULT STDMETHODCALLTYPE get_in_place_context(EditorCallback*, LPOLEINPLACEFRAME*, LPOLEINPLACEUIWINDOW*,
                                               LPOLEINPLACEFRAMEINFO)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE show_container_ui(EditorCallback*, BOOL) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE query_insert_object(EditorCallback*, LPCLSID, LPSTORAGE, LONG) { return S_OK; }

HRESULT STDMETHODCALLTYPE delete_object(EditorCallback*, LPOLEOBJECT) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE query_accept_data(EditorCallback*, LPDATAOBJECT, CLIPFORMAT*, DWORD, BOOL, HGLOBAL)
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE context_sensitive_help(EditorCallback*, BOOL) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE get_clipboard_data(EditorCallback*, CHARRANGE*, DWORD, LPDATAOBJECT*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE get_drag_drop_effect(EditorCallback*, BOOL, DWORD, LPDWORD) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE get_context_menu(EditorCallback*, WORD, LPOLEOBJECT, CHARRANGE*, HMENU*)
{
    return E_NOTIMPL;
}

constexpr EditorCallbackMethods EDITOR_CALLBACK_METHODS = {
    query_interface,   add_ref,           release,
    get_new_storage,   get_in_place_context, show_container_ui,
    query_insert_object, delete_object,   query_accept_data,
    context_sensitive_help, get_clipboard_data, get_drag_drop_effect,
    get_context_menu,
};

}  // namespace

void reset_editor_callbacks() { editor_callbacks.clear(); }

EditorCallback* attach_editor_callback(HWND editor_window)
{
    for (const EditorCallback& record : editor_callbacks) {
        if (record.editor_window == editor_window) {
            return nullptr;
        }
    }
    EditorCallback& record = editor_callbacks.emplace_back(EditorCallback{&EDITOR_CALLBACK_METHODS, 0, editor_window});
    ::SendMessageW(editor_window, EM_SETOLECALLBACK, 0, reinterpret_cast<LPARAM>(&record));
    return &record;
}

}  // namespace tovalen
