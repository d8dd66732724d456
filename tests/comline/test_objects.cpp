#include "comline/test_objects.h"

#include <gtest/gtest.h>
#include <oleauto.h>

#include <cwchar>
#include <string>

namespace tovalen::comline::testing {

void TestDispatch::add_member(std::wstring name, DISPID member, MemberBehaviour behaviour)
{
    members_.push_back(Member{std::move(name), member, std::move(behaviour)});
}

HRESULT TestDispatch::GetTypeInfoCount(UINT* count)
{
    *count = 0;
    return S_OK;
}

HRESULT TestDispatch::GetTypeInfo(UINT, LCID, ITypeInfo**)
{
    return DISP_E_BADINDEX;
}

HRESULT TestDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID locale, DISPID* ids)
{
    ++name_lookups_;
    last_lookup_locale_ = locale;
    if (count != 1) {
        ADD_FAILURE() << "GetIDsOfNames asked for " << count << " names";
        return E_INVALIDARG;
    }
    for (const Member& member : members_) {
        if (_wcsicmp(member.name.c_str(), names[0]) == 0) {
            ids[0] = member.id;
            return S_OK;
        }
    }
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

namespace {

SeenArgument seen(const VARIANT& value)
{
    SeenArgument argument;
    argument.type = V_VT(&value);
    argument.raw = value.llVal;
    if (V_VT(&value) == VT_BSTR) {
        argument.text_is_null = V_BSTR(&value) == nullptr;
        if (!argument.text_is_null) {
            argument.text.assign(V_BSTR(&value), ::SysStringLen(V_BSTR(&value)));
        }
    }
    return argument;
}

}  // namespace

HRESULT TestDispatch::Invoke(DISPID member, REFIID, LCID locale, WORD call_kind, DISPPARAMS* parameters,
                             VARIANT* result, EXCEPINFO* exception, UINT*)
{
    SeenCall call;
    call.member = member;
    call.call_kind = call_kind;
    call.locale = locale;
    call.wanted_result = result != nullptr;
    for (UINT i = 0; i < parameters->cArgs; ++i) {
        call.arguments.push_back(seen(parameters->rgvarg[i]));
    }
    for (UINT i = 0; i < parameters->cNamedArgs; ++i) {
        call.named.push_back(parameters->rgdispidNamedArgs[i]);
    }
    if (recording_) {
        calls_.push_back(std::move(call));
    }
    for (const Member& known : members_) {
        if (known.id == member) {
            return known.behaviour(*parameters, call_kind, result, exception);
        }
    }
    ADD_FAILURE() << "Invoke of an unknown member " << member;
    return DISP_E_MEMBERNOTFOUND;
}

TestDocument::TestDocument()
{
    add_member(L"FileName", 1, [this](const DISPPARAMS&, WORD, VARIANT* result, EXCEPINFO*) {
        if (result != nullptr) {
            V_VT(result) = VT_BSTR;
            V_BSTR(result) = ::SysAllocString(loaded_file_.c_str());
        }
        return S_OK;
    });
}

void* TestDocument::extra_interface(REFIID iid)
{
    if (IsEqualIID(iid, IID_IPersistFile) || IsEqualIID(iid, IID_IPersist)) {
        return static_cast<IPersistFile*>(this);
    }
    return nullptr;
}

HRESULT TestDocument::GetClassID(CLSID* clsid)
{
    *clsid = CLSID_NULL;
    return S_OK;
}

HRESULT TestDocument::Load(LPCOLESTR file, DWORD mode)
{
    loaded_file_ = file;
    load_mode_ = mode;
    return load_result_;
}

TestEnumerator::TestEnumerator(std::vector<VARIANT> elements)
    : Counted(AtZero::deletes_itself), elements_(std::move(elements))
{
}

TestEnumerator::~TestEnumerator()
{
    for (VARIANT& element : elements_) {
        ::VariantClear(&element);
    }
}

HRESULT TestEnumerator::Next(ULONG count, VARIANT* elements, ULONG* fetched)
{
    ULONG given = 0;
    while (given < count && position_ < elements_.size()) {
        ::VariantInit(&elements[given]);
        HRESULT hr = ::VariantCopy(&elements[given], &elements_[position_]);
        if (FAILED(hr)) {
            return hr;
        }
        ++given;
        ++position_;
    }
    if (fetched != nullptr) {
        *fetched = given;
    }
    return given == count ? S_OK : S_FALSE;
}

HRESULT TestEnumerator::Skip(ULONG count)
{
    position_ += count;
    return position_ <= elements_.size() ? S_OK : S_FALSE;
}

HRESULT TestEnumerator::Reset()
{
    position_ = 0;
    return S_OK;
}

HRESULT TestEnumerator::Clone(IEnumVARIANT**)
{
    return E_NOTIMPL;
}

TestDocumentFactory::~TestDocumentFactory()
{
    if (last_made_ != nullptr) {
        last_made_->Release();
    }
}

HRESULT TestDocumentFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out)
{
    *out = nullptr;
    if (outer != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    auto* document = new TestDocument();
    document->refuse_loading(load_result_);
    HRESULT hr = document->QueryInterface(iid, out);
    if (last_made_ != nullptr) {
        last_made_->Release();
    }
    last_made_ = document;  // keeps the reference it was born with
    return hr;
}

MemberBehaviour returns_integer(std::int32_t value)
{
    return [value](const DISPPARAMS&, WORD, VARIANT* result, EXCEPINFO*) {
        if (result != nullptr) {
            V_VT(result) = VT_I4;
            V_I4(result) = value;
        }
        return S_OK;
    };
}

MemberBehaviour returns_text(const wchar_t* text)
{
    return [text](const DISPPARAMS&, WORD, VARIANT* result, EXCEPINFO*) {
        if (result != nullptr) {
            V_VT(result) = VT_BSTR;
            V_BSTR(result) = text == nullptr ? nullptr : ::SysAllocString(text);
        }
        return S_OK;
    };
}

MemberBehaviour returns_date(double ole_date)
{
    return [ole_date](const DISPPARAMS&, WORD, VARIANT* result, EXCEPINFO*) {
        if (result != nullptr) {
            V_VT(result) = VT_DATE;
            V_DATE(result) = ole_date;
        }
        return S_OK;
    };
}

MemberBehaviour returns_empty()
{
    return [](const DISPPARAMS&, WORD, VARIANT* result, EXCEPINFO*) {
        if (result != nullptr) {
            ::VariantInit(result);
        }
        return S_OK;
    };
}

MemberBehaviour returns_boolean(bool value)
{
    return [value](const DISPPARAMS&, WORD, VARIANT* result, EXCEPINFO*) {
        if (result != nullptr) {
            V_VT(result) = VT_BOOL;
            V_BOOL(result) = value ? VARIANT_TRUE : VARIANT_FALSE;
        }
        return S_OK;
    };
}

MemberBehaviour returns_object(IDispatch* object)
{
    return [object](const DISPPARAMS&, WORD, VARIANT* result, EXCEPINFO*) {
        if (result != nullptr) {
            V_VT(result) = VT_DISPATCH;
            V_DISPATCH(result) = object;
            if (object != nullptr) {
                object->AddRef();
            }
        }
        return S_OK;
    };
}

MemberBehaviour returns_unknown(IUnknown* object)
{
    return [object](const DISPPARAMS&, WORD, VARIANT* result, EXCEPINFO*) {
        if (result != nullptr) {
            V_VT(result) = VT_UNKNOWN;
            V_UNKNOWN(result) = object;
            if (object != nullptr) {
                object->AddRef();
            }
        }
        return S_OK;
    };
}

namespace {

const wchar_t* deferred_description = nullptr;

HRESULT STDMETHODCALLTYPE fill_in_later(EXCEPINFO* exception)
{
    exception->bstrDescription = ::SysAllocString(deferred_description);
    exception->pfnDeferredFillIn = nullptr;
    return S_OK;
}

}  // namespace

MemberBehaviour raises(const wchar_t* description, bool deferred)
{
    return [description, deferred](const DISPPARAMS&, WORD, VARIANT*, EXCEPINFO* exception) {
        if (exception == nullptr) {
            return DISP_E_EXCEPTION;
        }
        exception->scode = E_FAIL;
        exception->bstrSource = ::SysAllocString(L"TestDispatch");
        exception->bstrHelpFile = ::SysAllocString(L"C:\\help\\test.chm");
        if (deferred) {
            deferred_description = description;
            exception->pfnDeferredFillIn = fill_in_later;
        } else if (description != nullptr) {
            exception->bstrDescription = ::SysAllocString(description);
        }
        return DISP_E_EXCEPTION;
    };
}

MemberBehaviour succeeds_silently()
{
    return [](const DISPPARAMS&, WORD, VARIANT*, EXCEPINFO*) { return S_OK; };
}

MemberBehaviour fails_leaving_exception_texts(HRESULT code)
{
    return [code](const DISPPARAMS&, WORD, VARIANT*, EXCEPINFO* exception) {
        if (exception != nullptr) {
            exception->bstrSource = ::SysAllocString(L"TestDispatch, a source that is not an exception");
            exception->bstrDescription = ::SysAllocString(L"A description that no exception carries");
            exception->bstrHelpFile = ::SysAllocString(L"C:\\help\\no exception at all.chm");
        }
        return code;
    };
}

ClassObjectRegistration::ClassObjectRegistration(const CLSID& clsid, IClassFactory& factory)
{
    result_ = ::CoRegisterClassObject(clsid, &factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie_);
}

ClassObjectRegistration::~ClassObjectRegistration()
{
    if (SUCCEEDED(result_)) {
        EXPECT_EQ(::CoRevokeClassObject(cookie_), S_OK);
    }
}

// Zeroed, a VARIANT is VT_EMPTY, as VariantInit leaves it.
VARIANT long_value(LONG number)
{
    VARIANT value{};
    V_VT(&value) = VT_I4;
    V_I4(&value) = number;
    return value;
}

VARIANT real_value(double number)
{
    VARIANT value{};
    V_VT(&value) = VT_R8;
    V_R8(&value) = number;
    return value;
}

VARIANT text_value(BSTR text)
{
    VARIANT value{};
    V_VT(&value) = VT_BSTR;
    V_BSTR(&value) = text;
    return value;
}

VARIANT object_value(IDispatch* object)
{
    VARIANT value{};
    V_VT(&value) = VT_DISPATCH;
    V_DISPATCH(&value) = object;
    return value;
}

std::wstring braced(const CLSID& clsid)
{
    wchar_t text[64] = {};
    ::StringFromGUID2(clsid, text, 64);
    return text;
}

std::wstring address_of(const void* pointer)
{
    return std::to_wstring(reinterpret_cast<std::intptr_t>(pointer));
}

namespace {

bool set_default_value(HKEY root, const std::wstring& path, const std::wstring& value)
{
    HKEY key = nullptr;
    if (::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                          nullptr) != ERROR_SUCCESS) {
        return false;
    }
    LONG status = ::RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

}  // namespace

// The per-user classes are where a user's own registration belongs; Wine 8 reads class
// registrations from the machine's classes only (its HKEY_CLASSES_ROOT does not merge the user's
// keys), so the same keys also go under HKEY_CLASSES_ROOT of the test's private prefix.
ClassRegistration::ClassRegistration(const wchar_t* prog_id, const CLSID& clsid, bool with_prog_id_under_clsid)
    : prog_id_(prog_id), clsid_text_(braced(clsid))
{
    ok_ = true;
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_CLASSES_ROOT}) {
        const std::wstring classes = root == HKEY_CURRENT_USER ? L"Software\\Classes\\" : L"";
        ok_ = ok_ && set_default_value(root, classes + prog_id_ + L"\\CLSID", clsid_text_);
        if (with_prog_id_under_clsid) {
            ok_ = ok_ && set_default_value(root, classes + L"CLSID\\" + clsid_text_ + L"\\ProgID", prog_id_);
        }
    }
}

ClassRegistration::~ClassRegistration()
{
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_CLASSES_ROOT}) {
        const std::wstring classes = root == HKEY_CURRENT_USER ? L"Software\\Classes\\" : L"";
        ::RegDeleteTreeW(root, (classes + prog_id_).c_str());
        ::RegDeleteTreeW(root, (classes + L"CLSID\\" + clsid_text_).c_str());
    }
}

}  // namespace tovalen::comline::testing
