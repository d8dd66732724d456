// Automation objects written by the tests, for what no stock object does: recording what
// IDispatch::Invoke receives, raising exceptions, giving null objects, non-objects and dates,
// enumerating chosen elements, loading from a file, and being found among running objects.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <objidl.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace tovalen::comline::testing {

// One argument as Invoke saw it: the type, the raw 8 data bytes (the address when by reference)
// and, for strings, the text.
struct SeenArgument {
    VARTYPE type = VT_EMPTY;
    std::int64_t raw = 0;
    std::wstring text;
    bool text_is_null = false;
};

struct SeenCall {
    DISPID member = DISPID_UNKNOWN;
    WORD call_kind = 0;
    LCID locale = 0;
    std::vector<SeenArgument> arguments;  // in rgvarg order: element 0 first
    std::vector<DISPID> named;
    bool wanted_result = false;
};

// The answer of one member to one call.
using MemberBehaviour =
    std::function<HRESULT(const DISPPARAMS& parameters, WORD call_kind, VARIANT* result, EXCEPINFO* exception)>;

// What a count of 0 means: an object made with new is deleted; one that lives on a test's stack or
// inside another object stays, so that a test sees a reference given back once too often.
enum class AtZero { deletes_itself, stays };

// IUnknown for a test's object: answers for each listed interface, the first standing for IUnknown,
// and counts its references from 1.
template <typename Primary, typename... Others>
class Counted : public Primary, public Others... {
public:
    explicit Counted(AtZero at_zero) : at_zero_(at_zero) {}
    virtual ~Counted() = default;
    Counted(const Counted&) = delete;
    Counted& operator=(const Counted&) = delete;

    ULONG references() const { return references_.load(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = interface_for(iid);
        if (*out == nullptr) {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --references_;
        if (left == 0 && at_zero_ == AtZero::deletes_itself) {
            delete this;
        }
        return left;
    }

protected:
    // An interface beyond the listed ones, or null.
    virtual void* extra_interface(REFIID) { return nullptr; }

private:
    void* interface_for(REFIID iid)
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, __uuidof(Primary))) {
            return static_cast<Primary*>(this);
        }
        void* found = nullptr;
        (void)((IsEqualIID(iid, __uuidof(Others)) && (found = static_cast<Others*>(this)) != nullptr) || ...);
        return found != nullptr ? found : extra_interface(iid);
    }

    const AtZero at_zero_;
    std::atomic<ULONG> references_{1};
};

// A strict IDispatch: only the members it was given exist (names match in any case), any other
// DISPID fails the test. Records every call.
class TestDispatch : public Counted<IDispatch> {
public:
    explicit TestDispatch(AtZero at_zero = AtZero::deletes_itself) : Counted(at_zero) {}

    void add_member(std::wstring name, DISPID member, MemberBehaviour behaviour);

    const std::vector<SeenCall>& calls() const { return calls_; }
    // Long-running tests keep no record, so that the record's growth is not mistaken for a leak.
    void stop_recording() { recording_ = false; }
    int name_lookups() const { return name_lookups_; }
    LCID last_lookup_locale() const { return last_lookup_locale_; }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID locale, WORD call_kind, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argument_error) override;

private:
    struct Member {
        std::wstring name;
        DISPID id;
        MemberBehaviour behaviour;
    };
    std::vector<Member> members_;
    std::vector<SeenCall> calls_;
    bool recording_ = true;
    int name_lookups_ = 0;
    LCID last_lookup_locale_ = 0;
};

// A document class: loads through IPersistFile and tells which file it loaded ("FileName").
class TestDocument : public TestDispatch, public IPersistFile {
public:
    TestDocument();
    std::wstring loaded_file() const { return loaded_file_; }
    DWORD load_mode() const { return load_mode_; }
    void refuse_loading(HRESULT code) { load_result_ = code; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override { return TestDispatch::QueryInterface(iid, out); }
    ULONG STDMETHODCALLTYPE AddRef() override { return TestDispatch::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return TestDispatch::Release(); }
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE IsDirty() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE Load(LPCOLESTR file, DWORD mode) override;
    HRESULT STDMETHODCALLTYPE Save(LPCOLESTR, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR*) override { return E_NOTIMPL; }

protected:
    void* extra_interface(REFIID iid) override;

private:
    std::wstring loaded_file_;
    DWORD load_mode_ = 0xFFFFFFFF;
    HRESULT load_result_ = S_OK;
};

// IEnumVARIANT over copies of the given elements.
class TestEnumerator : public Counted<IEnumVARIANT> {
public:
    explicit TestEnumerator(std::vector<VARIANT> elements);  // takes over the elements
    ~TestEnumerator() override;

    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* elements, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** copy) override;

private:
    std::vector<VARIANT> elements_;
    std::size_t position_ = 0;
};

// Makes TestDocuments for CoRegisterClassObject; lives on the test's stack.
class TestDocumentFactory : public Counted<IClassFactory> {
public:
    TestDocumentFactory() : Counted(AtZero::stays) {}
    ~TestDocumentFactory() override;

    TestDocument* last_made() const { return last_made_; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

    void refuse_loading(HRESULT code) { load_result_ = code; }

private:
    TestDocument* last_made_ = nullptr;  // the factory keeps one reference to it
    HRESULT load_result_ = S_OK;
};

// Member behaviours used by several tests.
MemberBehaviour returns_integer(std::int32_t value);
MemberBehaviour returns_text(const wchar_t* text);  // null gives a VT_BSTR with a null pointer
MemberBehaviour returns_date(double ole_date);
MemberBehaviour returns_boolean(bool value);
MemberBehaviour returns_empty();
MemberBehaviour returns_object(IDispatch* object);  // adds a reference for each result; null allowed
MemberBehaviour returns_unknown(IUnknown* object);
MemberBehaviour raises(const wchar_t* description, bool deferred);
MemberBehaviour succeeds_silently();
// Fails with `code` (not DISP_E_EXCEPTION) yet fills the EXCEPINFO's three texts, which the
// caller must free all the same.
MemberBehaviour fails_leaving_exception_texts(HRESULT code);

// A registration of a ProgID and its CLSID for the current user, removed again on destruction.
class ClassRegistration {
public:
    ClassRegistration(const wchar_t* prog_id, const CLSID& clsid, bool with_prog_id_under_clsid = true);
    ~ClassRegistration();
    ClassRegistration(const ClassRegistration&) = delete;
    ClassRegistration& operator=(const ClassRegistration&) = delete;
    bool ok() const { return ok_; }

private:
    std::wstring prog_id_;
    std::wstring clsid_text_;
    bool ok_ = false;
};

// A class object offered to COM under a CLSID for as long as this lives.
class ClassObjectRegistration {
public:
    ClassObjectRegistration(const CLSID& clsid, IClassFactory& factory);
    ~ClassObjectRegistration();
    ClassObjectRegistration(const ClassObjectRegistration&) = delete;
    ClassObjectRegistration& operator=(const ClassObjectRegistration&) = delete;
    HRESULT result() const { return result_; }

private:
    HRESULT result_ = E_FAIL;
    DWORD cookie_ = 0;
};

// Arguments and elements as a caller lays them out. They borrow: the texts and objects stay the
// caller's, and nothing is cleared.
VARIANT long_value(LONG value);
VARIANT real_value(double value);
VARIANT text_value(BSTR text);
VARIANT object_value(IDispatch* object);

std::wstring braced(const CLSID& clsid);

// A command text naming a pointer as a number, for "... as object" arguments.
std::wstring address_of(const void* pointer);

}  // namespace tovalen::comline::testing
