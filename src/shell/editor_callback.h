// The report editor's object callback: lets the rich-edit control create storage for embedded
// objects and declines everything else. A plain record whose address is the interface pointer.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <richedit.h>
#include <richole.h>

#include <list>

namespace tovalen {

struct EditorCallback;

// Slot for slot the layout of the rich-edit control's callback interface.
struct EditorCallbackMethods {
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(EditorCallback* self, REFIID iid, void** object);
    ULONG(STDMETHODCALLTYPE* AddRef)(EditorCallback* self);
    ULONG(STDMETHODCALLTYPE* Release)(EditorCallback* self);
    HRESULT(STDMETHODCALLTYPE* GetNewStorage)(EditorCallback* self, LPSTORAGE* storage);
    HRESULT(STDMETHODCALLTYPE* GetInPlaceContext)(EditorCallback* self, LPOLEINPLACEFRAME* frame,
                                                  LPOLEINPLACEUIWINDOW* document, LPOLEINPLACEFRAMEINFO frame_info);
    HRESULT(STDMETHODCALLTYPE* ShowContainerUI)(EditorCallback* self, BOOL show);
    HRESULT(STDMETHODCALLTYPE* QueryInsertObject)(EditorCallback* self, LPCLSID clsid, LPSTORAGE storage, LONG position);
    HRESULT(STDMETHODCALLTYPE* DeleteObject)(EditorCallback* self, LPOLEOBJECT object);
    HRESULT(STDMETHODCALLTYPE* QueryAcceptData)(EditorCallback* self, LPDATAOBJECT data, CLIPFORMAT* format,
                                                DWORD operation, BOOL really, HGLOBAL metafile);
    HRESULT(STDMETHODCALLTYPE* ContextSensitiveHelp)(EditorCallback* self, BOOL enter_mode);
    HRESULT(STDMETHODCALLTYPE* GetClipboardData)(EditorCallback* self, CHARRANGE* range, DWORD operation,
                                                 LPDATAOBJECT* data);
    HRESULT(STDMETHODCALLTYPE* GetDragDropEffect)(EditorCallback* self, BOOL drag, DWORD key_state, LPDWORD effect);
    HRESULT(STDMETHODCALLTYPE* GetContextMenu)(EditorCallback* self, WORD selection_type, LPOLEOBJECT object,
                                               CHARRANGE* range, HMENU* menu);
};

struct EditorCallback {
    const EditorCallbackMethods* methods;
    LONG ref_count;
    HWND editor_window;
};

// One record per editor window; a record leaves the list when its last reference is released.
extern std::list<EditorCallback> editor_callbacks;

// Discards any earlier list and starts an empty one.
void reset_editor_callbacks();

// Gives the editor window its callback record. Returns the record, or null when that window
// already has one (nothing is sent then).
EditorCallback* attach_editor_callback(HWND editor_window);

}  // namespace tovalen
