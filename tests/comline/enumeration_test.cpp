// Real automation objects (Scripting.Dictionary and the management service) and walking
// collections, stock and test-written.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "comline/layer_fixture.h"
#include "comline/test_objects.h"

namespace tovalen::comline::testing {
namespace {

constexpr const wchar_t* WMI_MONIKER = L"winmgmts:{impersonationLevel=impersonate}!\\\\.\\root\\cimv2";
const std::wstring END_TEXT = L"The operation completed, but was only partially successful.";

using DictionaryTest = LayerTest;
using EnumerationTest = LayerTest;
using ManagementServiceTest = LayerTest;

class Dictionary {
public:
    Dictionary() : object_(create_automation_object(L"Scripting.Dictionary", nullptr, false)) {}
    ~Dictionary() { release_object(object_); }
    Dictionary(const Dictionary&) = delete;
    Dictionary& operator=(const Dictionary&) = delete;
    ComLineObject* get() const { return object_; }

private:
    ComLineObject* object_;
};

TEST_F(DictionaryTest, AddsCountsReadsAndWritesItems)
{
    Dictionary dictionary;
    ComLineObject* object = dictionary.get();
    ASSERT_NE(object, nullptr) << std::hex << last_error_code();

    EXPECT_EQ(write_property(object, L"CompareMode = 1"), 0);
    EXPECT_EQ(read_integer(object, L"CompareMode"), 1);
    EXPECT_EQ(call_method(object, L"Add('alpha', 1)"), 0);
    EXPECT_EQ(call_method(object, L"Add('beta', 'two')"), 0);
    EXPECT_EQ(call_method(object, L"Add(3 as long, 2.5)"), 0);
    EXPECT_EQ(read_integer(object, L"Count"), 3);
    EXPECT_EQ(read_integer(object, L"Exists('alpha')"), -1);
    EXPECT_EQ(read_integer(object, L"Exists('ALPHA')"), -1);  // text comparison, as set above
    EXPECT_EQ(read_integer(object, L"Exists('gamma')"), 0);
    EXPECT_EQ(read_text(object, L"Item('beta')"), L"two");
    EXPECT_EQ(read_integer(object, L"Item('alpha')"), 1);
    EXPECT_DOUBLE_EQ(read_real(object, L"Item(3 as long)"), 2.5);
    EXPECT_EQ(write_property(object, L"Item('alpha') = 'it$0027s'"), 0);
    EXPECT_EQ(read_text(object, L"Item('alpha')"), L"it's");
    EXPECT_EQ(call_method(object, L"Remove('beta')"), 0);
    EXPECT_EQ(read_integer(object, L"Count"), 2);
    EXPECT_EQ(last_error_text(), L"Okay.");
}

TEST_F(DictionaryTest, KeysComeBackAsAnArray)
{
    Dictionary dictionary;
    ComLineObject* object = dictionary.get();
    ASSERT_NE(object, nullptr);
    call_method(object, L"Add('alpha', 1)");
    call_method(object, L"Add('beta', 2)");
    VARIANT* keys = read_variant(object, L"Keys");
    ASSERT_NE(keys, nullptr);
    ASSERT_EQ(V_VT(keys), VT_ARRAY | VT_VARIANT);
    LONG low = 0;
    LONG high = -1;
    ::SafeArrayGetLBound(V_ARRAY(keys), 1, &low);
    ::SafeArrayGetUBound(V_ARRAY(keys), 1, &high);
    ASSERT_EQ(high - low, 1);
    std::vector<std::wstring> seen;
    for (LONG i = low; i <= high; ++i) {
        VARIANT key;
        ::VariantInit(&key);
        ASSERT_EQ(::SafeArrayGetElement(V_ARRAY(keys), &i, &key), S_OK);
        EXPECT_EQ(V_VT(&key), VT_BSTR);
        seen.emplace_back(V_BSTR(&key));
        ::VariantClear(&key);
    }
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"alpha", L"beta"}));
    free_variant(keys);
}

TEST_F(DictionaryTest, WalksAPathThroughAnObjectItHolds)
{
    auto* inner = new TestDispatch();
    inner->add_member(L"Number", 1, returns_integer(99));
    inner->add_member(L"Twice", 2, [](const DISPPARAMS& parameters, WORD, VARIANT* result, EXCEPINFO*) {
        VARIANT value;
        ::VariantInit(&value);
        HRESULT hr = ::VariantChangeType(&value, &parameters.rgvarg[0], 0, VT_I4);
        if (FAILED(hr)) {
            return hr;
        }
        V_VT(result) = VT_I4;
        V_I4(result) = V_I4(&value) * 2;
        return S_OK;
    });
    {
        Dictionary dictionary;
        ComLineObject* object = dictionary.get();
        ASSERT_NE(object, nullptr);
        const std::wstring address = address_of(static_cast<IDispatch*>(inner));
        EXPECT_EQ(call_method(object, L"Add('inner', " + address + L" as object)"), 0);
        EXPECT_EQ(inner->references(), 2u);
        EXPECT_EQ(read_integer(object, L"Item('inner')\\Number"), 99);
        EXPECT_EQ(read_integer(object, L"Item('inner')\\Twice(21)"), 42);
        EXPECT_EQ(read_text(object, L"Item('inner')\\Twice('4')"), L"8");
        EXPECT_EQ(read_integer(object, L"Item('missing')\\Number"), 0);
        // An absent key gives an empty item, which is no object.
        EXPECT_EQ(last_error_code(), code_of(DISP_E_TYPEMISMATCH));
        auto* held = static_cast<ComLineObject*>(read_object(object, L"Item('inner')", nullptr, VT_DISPATCH));
        ASSERT_NE(held, nullptr);
        EXPECT_EQ(held->dispatch, static_cast<IDispatch*>(inner));
        release_object(held);
        // A ComLineObject given by its own address stands for its IDispatch.
        ComLineObject* wrapper = wrap_interface(inner);
        EXPECT_EQ(call_method(object, L"Add('again', " + address_of(wrapper) + L" as comlineobject)"), 0);
        release_object(wrapper);
        EXPECT_EQ(read_integer(object, L"Item('again')\\Number"), 99);
    }
    EXPECT_EQ(inner->references(), 1u);
    inner->Release();
}

TEST_F(DictionaryTest, EnumeratesItsKeys)
{
    Dictionary dictionary;
    ComLineObject* object = dictionary.get();
    ASSERT_NE(object, nullptr);
    call_method(object, L"Add('alpha', 1)");
    call_method(object, L"Add('beta', 2)");
    ComLineEnumeration* keys = open_enumeration(object, L"");
    ASSERT_NE(keys, nullptr) << std::hex << last_error_code();
    EXPECT_EQ(keys->parent, object);
    EXPECT_EQ(keys->methods, &ENUMERATION_METHODS);
    std::vector<std::wstring> seen;
    while (VARIANT* key = keys->methods->next_variant(keys)) {
        EXPECT_EQ(V_VT(key), VT_BSTR);
        seen.emplace_back(V_BSTR(key));
        free_variant(key);
    }
    EXPECT_EQ(last_error_code(), 1);
    EXPECT_EQ(last_error_text(), END_TEXT);
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"alpha", L"beta"}));

    EXPECT_EQ(reset_enumeration(keys), 0);
    EXPECT_EQ(last_error_code(), 0);
    // Keys are texts, which no conversion makes into objects.
    EXPECT_EQ(next_object(keys), nullptr);
    EXPECT_EQ(last_error_code(), code_of(DISP_E_TYPEMISMATCH));
    EXPECT_EQ(release_enumeration(keys), 0);
    EXPECT_EQ(live_object_count(), 1);
}

// A collection whose elements are chosen by the test and whose enumerator can be watched.
struct Collection {
    TestDispatch* object = new TestDispatch();
    TestEnumerator* enumerator;

    explicit Collection(std::vector<VARIANT> elements) : enumerator(new TestEnumerator(std::move(elements)))
    {
        object->add_member(L"_NewEnum", DISPID_NEWENUM, returns_unknown(enumerator));
    }
    ~Collection()
    {
        EXPECT_EQ(enumerator->references(), 1u);
        EXPECT_EQ(object->references(), 1u);
        enumerator->Release();
        object->Release();
    }
    Collection(const Collection&) = delete;
    Collection& operator=(const Collection&) = delete;
};

TEST_F(EnumerationTest, WalksObjectsToTheEndAndAgainAfterAReset)
{
    auto* first = new TestDispatch();
    first->add_member(L"Number", 1, returns_integer(1));
    auto* second = new TestDispatch();
    second->add_member(L"Number", 1, returns_integer(2));
    {
        first->AddRef();  // the collection takes these references over
        second->AddRef();
        Collection collection({object_value(first), object_value(second)});
        ComLineObject* owner = wrap_interface(collection.object);
        ComLineEnumeration* walk = open_enumeration(owner, L"");
        ASSERT_NE(walk, nullptr) << std::hex << last_error_code();
        EXPECT_EQ(last_error_code(), 0);
        for (int round = 0; round < 2; ++round) {
            SCOPED_TRACE(round);
            std::vector<std::int64_t> numbers;
            while (ComLineObject* element = next_object(walk)) {
                EXPECT_EQ(live_object_count(), 2);
                numbers.push_back(read_integer(element, L"Number"));
                release_object(element);
            }
            EXPECT_EQ(last_error_code(), 1);
            EXPECT_EQ(last_error_text(), END_TEXT);
            EXPECT_EQ(numbers, (std::vector<std::int64_t>{1, 2}));
            EXPECT_EQ(reset_enumeration(walk), 0);
        }
        release_enumeration(walk);
        release_object(owner);
    }
    EXPECT_EQ(first->references(), 1u);
    EXPECT_EQ(second->references(), 1u);
    first->Release();
    second->Release();
}

TEST_F(EnumerationTest, ElementsThatAreNoObjectsComeAsVariantsOnly)
{
    Collection collection({long_value(5), object_value(nullptr), long_value(6)});
    ComLineObject* owner = wrap_interface(collection.object);
    ComLineEnumeration* walk = open_enumeration(owner, L"");
    ASSERT_NE(walk, nullptr);

    EXPECT_EQ(next_object(walk), nullptr);
    EXPECT_EQ(last_error_code(), code_of(DISP_E_TYPEMISMATCH));
    // An element that is a null object cannot stand in a record.
    EXPECT_EQ(next_object(walk), nullptr);
    EXPECT_EQ(last_error_code(), 1);
    EXPECT_EQ(live_object_count(), 1);
    VARIANT* six = next_variant(walk);
    ASSERT_NE(six, nullptr);
    EXPECT_EQ(V_VT(six), VT_I4);
    EXPECT_EQ(V_I4(six), 6);
    free_variant(six);
    EXPECT_EQ(next_variant(walk), nullptr);
    EXPECT_EQ(last_error_code(), 1);
    release_enumeration(walk);
    release_object(owner);
}

TEST_F(EnumerationTest, OpensTheCollectionAMemberGives)
{
    auto* element = new TestDispatch();
    {
        element->AddRef();  // the collection takes it over
        Collection collection({object_value(element)});
        auto* parent = new TestDispatch();
        parent->add_member(L"Items", 1, returns_object(collection.object));
        parent->add_member(L"Nothing", 2, returns_object(nullptr));
        parent->add_member(L"Number", 3, returns_integer(4));
        ComLineObject* owner = wrap_interface(parent);

        ComLineEnumeration* walk = open_enumeration(owner, L"Items");
        ASSERT_NE(walk, nullptr) << std::hex << last_error_code();
        EXPECT_EQ(live_object_count(), 1);  // the collection's own record is gone already
        ComLineObject* first = next_object(walk);
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(first->dispatch, static_cast<IDispatch*>(element));
        release_object(first);
        release_enumeration(walk);

        EXPECT_EQ(open_enumeration(owner, L"Nothing"), nullptr);
        EXPECT_EQ(last_error_text(),
                  L"The operation completed, but was only partially successful. (The property returned a NULL object!)");
        EXPECT_EQ(open_enumeration(owner, L"Number"), nullptr);
        EXPECT_EQ(last_error_code(), code_of(DISP_E_TYPEMISMATCH));
        EXPECT_EQ(open_enumeration(owner, L"Missing"), nullptr);
        EXPECT_EQ(last_error_code(), code_of(DISP_E_UNKNOWNNAME));
        EXPECT_EQ(live_object_count(), 1);
        release_object(owner);
        EXPECT_EQ(parent->references(), 1u);
        parent->Release();
    }
    EXPECT_EQ(element->references(), 1u);
    element->Release();
}

TEST_F(EnumerationTest, ACollectionWhoseEnumeratorIsUnusableIsRefused)
{
    auto* odd = new TestDispatch();
    ComLineObject* owner = wrap_interface(odd);
    struct Row {
        const char* name;
        MemberBehaviour behaviour;
        std::int64_t code;
        std::wstring text;
    };
    const std::vector<Row> rows{
        {"a number", returns_integer(3), code_of(E_NOINTERFACE), L"Method is not implemented."},
        {"no object", returns_unknown(nullptr), code_of(E_NOINTERFACE), L"Method is not implemented."},
        {"an object without IEnumVARIANT", returns_object(odd), code_of(E_NOINTERFACE), L"Method is not implemented."},
        {"an exception", raises(L"No items today", false), code_of(DISP_E_EXCEPTION), L"No items today"},
        {"a failure", [](const DISPPARAMS&, WORD, VARIANT*, EXCEPINFO*) { return DISP_E_MEMBERNOTFOUND; },
         code_of(DISP_E_MEMBERNOTFOUND),
         L"Member not found. (Check that you have not omitted any optional parameters and are not trying to set a "
         L"read-only property etc.)"},
    };
    DISPID next_id = 100;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto* collection = new TestDispatch();
        collection->add_member(L"_NewEnum", DISPID_NEWENUM, row.behaviour);
        odd->add_member(L"Collection" + std::to_wstring(next_id), next_id, returns_object(collection));
        EXPECT_EQ(open_enumeration(owner, L"Collection" + std::to_wstring(next_id)), nullptr);
        EXPECT_EQ(last_error_code(), row.code);
        EXPECT_EQ(last_error_text(), row.text);
        EXPECT_EQ(collection->references(), 1u);
        collection->Release();
        ++next_id;
    }
    EXPECT_EQ(live_object_count(), 1);
    release_object(owner);
    EXPECT_EQ(odd->references(), 1u);
    odd->Release();
}

TEST_F(ManagementServiceTest, AQueryIsWalkedToTheEndAndFindsThisProcess)
{
    ComLineObject* service = get_automation_object(WMI_MONIKER, L"", true);
    ASSERT_NE(service, nullptr) << std::hex << last_error_code();
    ComLineEnumeration* processes = open_enumeration(service, L"ExecQuery('Select * from Win32_Process')");
    ASSERT_NE(processes, nullptr) << std::hex << last_error_code();
    const std::int64_t own_id = ::GetCurrentProcessId();
    int count = 0;
    int found = 0;
    std::wstring own_id_text;
    while (ComLineObject* process = next_object(processes)) {
        ++count;
        if (read_integer(process, L"ProcessId") == own_id) {
            ++found;
            own_id_text = read_text(process, L"ProcessId");
        }
        release_object(process);
    }
    EXPECT_EQ(last_error_code(), 1);
    EXPECT_EQ(last_error_text(), END_TEXT);
    EXPECT_GT(count, 1);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(own_id_text, std::to_wstring(own_id));
    EXPECT_EQ(live_object_count(), 1);
    release_enumeration(processes);
    release_object(service);
}

TEST_F(ManagementServiceTest, ReadsANumericPropertyAsText)
{
    ComLineObject* service = get_automation_object(WMI_MONIKER, L"", true);
    ASSERT_NE(service, nullptr);
    ComLineEnumeration* systems = open_enumeration(service, L"ExecQuery('Select * from Win32_ComputerSystem')");
    ASSERT_NE(systems, nullptr) << std::hex << last_error_code();
    ComLineObject* system = next_object(systems);
    ASSERT_NE(system, nullptr);
    SYSTEM_INFO info{};
    ::GetNativeSystemInfo(&info);
    EXPECT_EQ(read_text(system, L"NumberOfLogicalProcessors"), std::to_wstring(info.dwNumberOfProcessors));
    EXPECT_EQ(last_error_code(), 0);
    EXPECT_EQ(next_object(systems), nullptr);
    release_object(system);
    release_enumeration(systems);
    release_object(service);
}

}  // namespace
}  // namespace tovalen::comline::testing
