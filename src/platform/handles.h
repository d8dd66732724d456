// One owner for every kind of handle the program touches. Each wrapper is move-only, releases
// exactly once, and has the right "empty" value for its kind.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstddef>
#include <utility>
#include <vector>

namespace tovalen::platform {

// A move-only owner of one handle value; Close is called once for every non-empty value.
template <typename T, auto Close, T Empty = T{}>
class UniqueHandle {
public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(T value) noexcept : value_(value) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    ~UniqueHandle() { reset(); }

    T get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Empty; }

    // Releases what was held before handing out the address, so that an out-parameter cannot leak.
    T* put() noexcept
    {
        reset();
        return &value_;
    }

    T release() noexcept { return std::exchange(value_, Empty); }

    void reset(T value = Empty) noexcept
    {
        T old = std::exchange(value_, value);
        if (old != Empty) {
            Close(old);
        }
    }

private:
    T value_ = Empty;
};

namespace handle_closers {
inline void close_handle(HANDLE h) noexcept { ::CloseHandle(h); }
inline void close_key(HKEY k) noexcept { ::RegCloseKey(k); }
inline void destroy_icon(HICON i) noexcept { ::DestroyIcon(i); }
inline void destroy_window(HWND w) noexcept { ::DestroyWindow(w); }
inline void free_library(HMODULE m) noexcept { ::FreeLibrary(m); }
inline void free_bstr(BSTR b) noexcept { ::SysFreeString(b); }
inline void local_free(HLOCAL m) noexcept { ::LocalFree(m); }
inline void co_task_mem_free(void* m) noexcept { ::CoTaskMemFree(m); }
inline void unmap_view(void* v) noexcept { ::UnmapViewOfFile(v); }
inline void global_free(HGLOBAL m) noexcept { ::GlobalFree(m); }
inline void destroy_menu(HMENU m) noexcept { ::DestroyMenu(m); }
inline void delete_font(HFONT f) noexcept { ::DeleteObject(f); }
}  // namespace handle_closers

// Kernel objects whose empty value is null (processes, threads, pipes, events).
using UniqueKernelHandle = UniqueHandle<HANDLE, handle_closers::close_handle>;
using UniqueKey = UniqueHandle<HKEY, handle_closers::close_key>;
using UniqueIcon = UniqueHandle<HICON, handle_closers::destroy_icon>;
using UniqueWindow = UniqueHandle<HWND, handle_closers::destroy_window>;
using UniqueLibrary = UniqueHandle<HMODULE, handle_closers::free_library>;
using UniqueBstr = UniqueHandle<BSTR, handle_closers::free_bstr>;
using UniqueLocalMemory = UniqueHandle<HLOCAL, handle_closers::local_free>;
using UniqueCoTaskMemory = UniqueHandle<void*, handle_closers::co_task_mem_free>;
using UniqueMappedView = UniqueHandle<void*, handle_closers::unmap_view>;
using UniqueGlobalMemory = UniqueHandle<HGLOBAL, handle_closers::global_free>;
using UniqueMenu = UniqueHandle<HMENU, handle_closers::destroy_menu>;
using UniqueFont = UniqueHandle<HFONT, handle_closers::delete_font>;

// File handles use INVALID_HANDLE_VALUE as their empty value, which is not a constant expression;
// this small owner keeps that difference in one place.
class UniqueFileHandle {
public:
    UniqueFileHandle() noexcept = default;
    explicit UniqueFileHandle(HANDLE h) noexcept : value_(h) {}
    UniqueFileHandle(const UniqueFileHandle&) = delete;
    UniqueFileHandle& operator=(const UniqueFileHandle&) = delete;
    UniqueFileHandle(UniqueFileHandle&& other) noexcept : value_(other.release()) {}
    UniqueFileHandle& operator=(UniqueFileHandle&& other) noexcept
    {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    ~UniqueFileHandle() { reset(); }

    HANDLE get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != INVALID_HANDLE_VALUE && value_ != nullptr; }
    HANDLE* put() noexcept
    {
        reset();
        return &value_;
    }
    HANDLE release() noexcept { return std::exchange(value_, INVALID_HANDLE_VALUE); }
    void reset(HANDLE h = INVALID_HANDLE_VALUE) noexcept
    {
        HANDLE old = std::exchange(value_, h);
        if (old != INVALID_HANDLE_VALUE && old != nullptr) {
            ::CloseHandle(old);
        }
    }

private:
    HANDLE value_ = INVALID_HANDLE_VALUE;
};

// The attribute list that names the only handles a child process may inherit
// (PROC_THREAD_ATTRIBUTE_HANDLE_LIST). It points into its own copy of the handles, so it can be
// neither copied nor moved; the handles stay owned by whoever owns them.
class InheritedHandleList {
public:
    explicit InheritedHandleList(std::vector<HANDLE> handles) : handles_(std::move(handles))
    {
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        storage_.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
        if (size == 0 || !::InitializeProcThreadAttributeList(list, 1, 0, &size)) {
            return;
        }
        list_ = list;
        if (!::UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
                                         handles_.size() * sizeof(HANDLE), nullptr, nullptr)) {
            ::DeleteProcThreadAttributeList(std::exchange(list_, nullptr));
        }
    }
    InheritedHandleList(const InheritedHandleList&) = delete;
    InheritedHandleList& operator=(const InheritedHandleList&) = delete;
    ~InheritedHandleList()
    {
        if (list_ != nullptr) {
            ::DeleteProcThreadAttributeList(list_);
        }
    }

    // Null when the list could not be made.
    LPPROC_THREAD_ATTRIBUTE_LIST get() const noexcept { return list_; }

private:
    std::vector<HANDLE> handles_;
    std::vector<std::byte> storage_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

// A COM interface pointer owning one reference.
template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    ComPtr(const ComPtr& other) noexcept : ptr_(other.ptr_)
    {
        if (ptr_ != nullptr) {
            ptr_->AddRef();
        }
    }
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept
    {
        std::swap(ptr_, other.ptr_);
        return *this;
    }
    ~ComPtr() { reset(); }

    // Takes over a reference the caller already owns.
    static ComPtr attach(T* raw) noexcept
    {
        ComPtr p;
        p.ptr_ = raw;
        return p;
    }
    // Adds a reference of its own.
    static ComPtr copy(T* raw) noexcept
    {
        if (raw != nullptr) {
            raw->AddRef();
        }
        return attach(raw);
    }

    T* get() const noexcept { return ptr_; }
    T* operator->() const noexcept { return ptr_; }
    explicit operator bool() const noexcept { return ptr_ != nullptr; }

    T** put() noexcept
    {
        reset();
        return &ptr_;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

    T* detach() noexcept { return std::exchange(ptr_, nullptr); }

    void reset() noexcept
    {
        if (T* old = std::exchange(ptr_, nullptr)) {
            old->Release();
        }
    }

    template <typename U>
    HRESULT query(ComPtr<U>& out) const noexcept
    {
        if (ptr_ == nullptr) {
            return E_POINTER;
        }
        return ptr_->QueryInterface(__uuidof(U), out.put_void());
    }

    HRESULT query(REFIID iid, void** out) const noexcept
    {
        if (ptr_ == nullptr) {
            return E_POINTER;
        }
        return ptr_->QueryInterface(iid, out);
    }

private:
    T* ptr_ = nullptr;
};

// A VARIANT that is initialised on construction and cleared on destruction.
class UniqueVariant {
public:
    UniqueVariant() noexcept { ::VariantInit(&value_); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    ~UniqueVariant() { ::VariantClear(&value_); }

    VARIANT* get() noexcept { return &value_; }
    const VARIANT* get() const noexcept { return &value_; }
    VARIANT* operator->() noexcept { return &value_; }
    const VARIANT* operator->() const noexcept { return &value_; }

    // Clears what was held before handing out the address.
    VARIANT* put() noexcept
    {
        ::VariantClear(&value_);
        return &value_;
    }

    // Hands the contents to the caller, leaving this VARIANT empty.
    VARIANT release() noexcept
    {
        VARIANT out = value_;
        ::VariantInit(&value_);
        return out;
    }

private:
    VARIANT value_;
};

// Balances CoInitialize: uninitialises only when initialisation succeeded (S_FALSE included,
// RPC_E_CHANGED_MODE not).
class CoInitGuard {
public:
    CoInitGuard() noexcept : result_(::CoInitialize(nullptr)) {}
    CoInitGuard(const CoInitGuard&) = delete;
    CoInitGuard& operator=(const CoInitGuard&) = delete;
    ~CoInitGuard()
    {
        if (SUCCEEDED(result_)) {
            ::CoUninitialize();
        }
    }
    HRESULT result() const noexcept { return result_; }

private:
    HRESULT result_;
};

}  // namespace tovalen::platform
