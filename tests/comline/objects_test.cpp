// Obtaining automation objects on the three paths, counting them, and the records' lifetime.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "comline/gate.h"
#include "comline/layer_fixture.h"
#include "comline/test_objects.h"

namespace tovalen::comline::testing {
namespace {

// Identifiers made for these tests only.
constexpr CLSID DOCUMENT_CLASS{0x6f1c2a3e, 0x51d4, 0x4b8e, {0x9a, 0x1f, 0x3c, 0x77, 0x20, 0x41, 0xd5, 0x01}};
constexpr CLSID RUNNING_CLASS{0x6f1c2a3e, 0x51d4, 0x4b8e, {0x9a, 0x1f, 0x3c, 0x77, 0x20, 0x41, 0xd5, 0x02}};
constexpr CLSID UNNAMED_CLASS{0x6f1c2a3e, 0x51d4, 0x4b8e, {0x9a, 0x1f, 0x3c, 0x77, 0x20, 0x41, 0xd5, 0x03}};
constexpr const wchar_t* DOCUMENT_PROG_ID = L"Tovalen.ComLineTest.Document";
constexpr const wchar_t* RUNNING_PROG_ID = L"Tovalen.ComLineTest.Running";
constexpr const wchar_t* WMI_MONIKER = L"winmgmts:{impersonationLevel=impersonate}!\\\\.\\root\\cimv2";

const std::wstring INVALID_CLASS_TEXT =
    L"Invalid progID/CLSID. Check your spelling of the programmatic identifier. Also check that the "
    L"component / ActiveX control has been registered.";

using ObjectsTest = LayerTest;

BSTR refuse_every_bstr(const wchar_t*)
{
    return nullptr;
}

// Swaps the layer's string hook for the test's length.
class BstrHookSwap {
public:
    explicit BstrHookSwap(MakeBstrRoutine routine) : saved_(make_bstr) { make_bstr = routine; }
    ~BstrHookSwap() { make_bstr = saved_; }
    BstrHookSwap(const BstrHookSwap&) = delete;
    BstrHookSwap& operator=(const BstrHookSwap&) = delete;

private:
    MakeBstrRoutine saved_;
};

// A TestDispatch registered in the running object table under a class, revoked on destruction.
class RunningInstance {
public:
    explicit RunningInstance(const CLSID& clsid) : object_(new TestDispatch())
    {
        object_->add_member(L"Number", 1, returns_integer(17));
        result_ = ::RegisterActiveObject(static_cast<IDispatch*>(object_), clsid, ACTIVEOBJECT_STRONG, &cookie_);
    }
    ~RunningInstance()
    {
        if (SUCCEEDED(result_)) {
            ::RevokeActiveObject(cookie_, nullptr);
        }
        EXPECT_EQ(object_->references(), 1u);
        object_->Release();
    }
    RunningInstance(const RunningInstance&) = delete;
    RunningInstance& operator=(const RunningInstance&) = delete;
    HRESULT result() const { return result_; }
    TestDispatch& object() const { return *object_; }

private:
    TestDispatch* object_;
    DWORD cookie_ = 0;
    HRESULT result_ = E_FAIL;
};

TEST_F(ObjectsTest, TheMethodTableAndRecordKeepTheirLayout)
{
    static_assert(sizeof(ComLineObject) == 5 * 8);
    static_assert(sizeof(ComLineEnumeration) == 3 * 8);
    static_assert(sizeof(ComLineObjectMethods) == 20 * sizeof(void*));
    static_assert(sizeof(ComLineEnumerationMethods) == 4 * sizeof(void*));
    struct Row {
        const char* slot_name;
        std::size_t offset;
        std::size_t slot;
    };
    const std::vector<Row> rows{
        {"call_method", offsetof(ComLineObjectMethods, call_method), 0},
        {"release_object", offsetof(ComLineObjectMethods, release_object), 1},
        {"open_enumeration", offsetof(ComLineObjectMethods, open_enumeration), 2},
        {"get_dispatch", offsetof(ComLineObjectMethods, get_dispatch), 3},
        {"get_container_window", offsetof(ComLineObjectMethods, get_container_window), 4},
        {"set_user_mode", offsetof(ComLineObjectMethods, set_user_mode), 5},
        {"read_date", offsetof(ComLineObjectMethods, read_date), 6},
        {"read_integer", offsetof(ComLineObjectMethods, read_integer), 7},
        {"read_object", offsetof(ComLineObjectMethods, read_object), 8},
        {"read_real", offsetof(ComLineObjectMethods, read_real), 9},
        {"read_text", offsetof(ComLineObjectMethods, read_text), 10},
        {"read_variant", offsetof(ComLineObjectMethods, read_variant), 11},
        {"write_property", offsetof(ComLineObjectMethods, write_property), 12},
        {"write_property_ref", offsetof(ComLineObjectMethods, write_property_ref), 13},
        {"attach_event_handler", offsetof(ComLineObjectMethods, attach_event_handler), 14},
        {"event_param_integer", offsetof(ComLineObjectMethods, event_param_integer), 15},
        {"event_param_object", offsetof(ComLineObjectMethods, event_param_object), 16},
        {"event_param_real", offsetof(ComLineObjectMethods, event_param_real), 17},
        {"event_param_text", offsetof(ComLineObjectMethods, event_param_text), 18},
        {"event_param_by_ref", offsetof(ComLineObjectMethods, event_param_by_ref), 19},
        {"dispatch", offsetof(ComLineObject, dispatch) / 8 * sizeof(void*), 1},
        {"container_control", offsetof(ComLineObject, container_control) / 8 * sizeof(void*), 2},
        {"container_window", offsetof(ComLineObject, container_window) / 8 * sizeof(void*), 3},
        {"event_sink", offsetof(ComLineObject, event_sink) / 8 * sizeof(void*), 4},
        {"enumeration parent", offsetof(ComLineEnumeration, parent), 1},
        {"enumerator", offsetof(ComLineEnumeration, enumerator), 2},
        {"next_variant", offsetof(ComLineEnumerationMethods, next_variant), 1},
        {"reset_enumeration", offsetof(ComLineEnumerationMethods, reset_enumeration), 2},
        {"release_enumeration", offsetof(ComLineEnumerationMethods, release_enumeration), 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.slot_name);
        EXPECT_EQ(row.offset, row.slot * sizeof(void*));
    }
    EXPECT_EQ(OBJECT_METHODS.call_method, &call_method);
    EXPECT_EQ(OBJECT_METHODS.release_object, &release_object);
    EXPECT_EQ(OBJECT_METHODS.read_text, &read_text);
    EXPECT_EQ(OBJECT_METHODS.write_property_ref, &write_property_ref);
    EXPECT_EQ(ENUMERATION_METHODS.next_object, &next_object);
    EXPECT_EQ(ENUMERATION_METHODS.release_enumeration, &release_enumeration);
}

TEST_F(ObjectsTest, BothNamesEmptyIsAnInvalidArgumentWhateverTheInitialisation)
{
    for (bool init_com : {false, true}) {
        SCOPED_TRACE(init_com);
        EXPECT_EQ(get_automation_object(L"", L"", init_com), nullptr);
        EXPECT_EQ(last_error_code(), code_of(E_INVALIDARG));
        EXPECT_EQ(live_object_count(), 0);
    }
}

TEST_F(ObjectsTest, TheManagementServiceBindsThroughItsMoniker)
{
    record_error(nullptr, code_of(E_FAIL), false, {});
    ComLineObject* service = get_automation_object(WMI_MONIKER, L"", true);
    ASSERT_NE(service, nullptr) << std::hex << last_error_code();
    EXPECT_EQ(live_object_count(), 1);
    EXPECT_EQ(last_error_code(), 0);
    EXPECT_EQ(last_error_text(), L"Okay.");
    EXPECT_NE(service->dispatch, nullptr);
    EXPECT_EQ(release_object(service), 0);
    EXPECT_EQ(live_object_count(), 0);
    EXPECT_FALSE(error_records_allocated());
    EXPECT_EQ(last_error_code(), 0);
}

TEST_F(ObjectsTest, AMonikerThatCannotBeBoundFailsWithItsCode)
{
    EXPECT_EQ(get_automation_object(L"winmgmts:\\\\.\\root\\no_such_namespace", L"", false), nullptr);
    EXPECT_NE(last_error_code() & 0x80000000, 0);
    EXPECT_EQ(get_automation_object(L"nosuchmoniker:at all", L"", false), nullptr);
    EXPECT_NE(last_error_code() & 0x80000000, 0);
    EXPECT_EQ(live_object_count(), 0);
}

TEST_F(ObjectsTest, NoMemoryForAStringFailsEveryPathWithOutOfMemory)
{
    BstrHookSwap refuse(refuse_every_bstr);
    struct Row {
        const wchar_t* name;
        const wchar_t* prog_id;
    };
    for (const Row& row : {Row{WMI_MONIKER, L""}, Row{L"C:\\file.tvd", DOCUMENT_PROG_ID},
                           Row{L"", L"Scripting.Dictionary"}}) {
        SCOPED_TRACE(::testing::Message() << row.name << " / " << row.prog_id);
        EXPECT_EQ(get_automation_object(row.name, row.prog_id, false), nullptr);
        EXPECT_EQ(last_error_code(), code_of(E_OUTOFMEMORY));
    }
    EXPECT_EQ(live_object_count(), 0);
}

TEST_F(ObjectsTest, AClassIsNamedWronglyOrNotRunning)
{
    ClassRegistration running_class(RUNNING_PROG_ID, RUNNING_CLASS);
    ASSERT_TRUE(running_class.ok());
    struct Row {
        const char* name;
        std::wstring prog_id;
        std::wstring text;
    };
    const std::wstring not_running =
        L"Unknown error. (Code : Hex 800401E3). Please report this error code to the author at "
        L"'comline-support@example.com'";
    const std::vector<Row> rows{
        {"misspelt ProgID", L"Tovalen.ComLineTest.Nonesuch", INVALID_CLASS_TEXT},
        {"malformed braces", L"{not-a-clsid}", INVALID_CLASS_TEXT},
        {"blank before the brace is a ProgID", L" " + braced(RUNNING_CLASS), INVALID_CLASS_TEXT},
        {"registered but not running", RUNNING_PROG_ID, not_running},
        {"registered CLSID not running", braced(RUNNING_CLASS), not_running},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(get_automation_object(L"", row.prog_id, false), nullptr);
        EXPECT_EQ(last_error_text(), row.text) << std::hex << last_error_code();
    }
    EXPECT_EQ(live_object_count(), 0);
}

TEST_F(ObjectsTest, ARunningInstanceIsFoundByProgIdAndByBracedClsid)
{
    ClassRegistration registration(RUNNING_PROG_ID, RUNNING_CLASS);
    ASSERT_TRUE(registration.ok());
    RunningInstance running(RUNNING_CLASS);
    ASSERT_TRUE(SUCCEEDED(running.result()));
    const ULONG references_before = running.object().references();
    for (const std::wstring& prog_id : {std::wstring(RUNNING_PROG_ID), braced(RUNNING_CLASS)}) {
        SCOPED_TRACE(prog_id);
        ComLineObject* object = get_automation_object(L"", prog_id, false);
        ASSERT_NE(object, nullptr) << std::hex << last_error_code();
        EXPECT_EQ(last_error_code(), 0);
        EXPECT_EQ(read_integer(object, L"Number"), 17);
        release_object(object);
        EXPECT_EQ(running.object().references(), references_before);
    }
}

TEST_F(ObjectsTest, ABracedClsidWithoutAProgIdIsRefusedEvenWhenRunning)
{
    RunningInstance running(UNNAMED_CLASS);
    ASSERT_TRUE(SUCCEEDED(running.result()));
    LPOLESTR prog_id = nullptr;
    const HRESULT expected = ::ProgIDFromCLSID(UNNAMED_CLASS, &prog_id);
    ASSERT_TRUE(FAILED(expected));
    EXPECT_EQ(get_automation_object(L"", braced(UNNAMED_CLASS), false), nullptr);
    EXPECT_EQ(last_error_code(), code_of(expected));
    EXPECT_TRUE(running.object().calls().empty());
}

// The document class by its ProgID, made by the factory.
struct RegisteredDocumentClass {
    explicit RegisteredDocumentClass(TestDocumentFactory& factory) : class_object(DOCUMENT_CLASS, factory) {}
    bool ok() const { return names.ok() && SUCCEEDED(class_object.result()); }

    ClassRegistration names{DOCUMENT_PROG_ID, DOCUMENT_CLASS};
    ClassObjectRegistration class_object;
};

TEST_F(ObjectsTest, AFileIsLoadedByItsClassThroughIPersistFile)
{
    TestDocumentFactory factory;
    {
        RegisteredDocumentClass registered(factory);
        ASSERT_TRUE(registered.ok());
        const std::wstring file = L"C:\\reports\\week 12.tvd";
        ComLineObject* document = get_automation_object(file, DOCUMENT_PROG_ID, false);
        ASSERT_NE(document, nullptr) << std::hex << last_error_code();
        EXPECT_EQ(last_error_code(), 0);
        EXPECT_EQ(live_object_count(), 1);
        ASSERT_NE(factory.last_made(), nullptr);
        EXPECT_EQ(factory.last_made()->loaded_file(), file);
        EXPECT_EQ(factory.last_made()->load_mode(), static_cast<DWORD>(STGM_READ));
        EXPECT_EQ(read_text(document, L"FileName"), file);
        release_object(document);
        EXPECT_EQ(factory.last_made()->references(), 1u);  // only the factory's own
    }
    EXPECT_EQ(factory.references(), 1u);
}

TEST_F(ObjectsTest, AFileTheClassCannotLoadLeavesNoObject)
{
    TestDocumentFactory factory;
    factory.refuse_loading(STG_E_FILENOTFOUND);
    {
        RegisteredDocumentClass registered(factory);
        ASSERT_TRUE(registered.ok());
        EXPECT_EQ(get_automation_object(L"C:\\missing.tvd", DOCUMENT_PROG_ID, false), nullptr);
        EXPECT_EQ(last_error_code(), code_of(STG_E_FILENOTFOUND));
        ASSERT_NE(factory.last_made(), nullptr);
        EXPECT_EQ(factory.last_made()->references(), 1u);
        EXPECT_EQ(get_automation_object(L"C:\\missing.tvd", L"Tovalen.ComLineTest.Nonesuch", false), nullptr);
        EXPECT_EQ(last_error_text(), INVALID_CLASS_TEXT);
    }
    EXPECT_EQ(factory.references(), 1u);
    EXPECT_EQ(live_object_count(), 0);
}

TEST_F(ObjectsTest, CreatesAndWrapsObjects)
{
    ComLineObject* dictionary = create_automation_object(L"Scripting.Dictionary", nullptr, false);
    ASSERT_NE(dictionary, nullptr) << std::hex << last_error_code();
    EXPECT_EQ(read_integer(dictionary, L"Count"), 0);

    EXPECT_EQ(create_automation_object(L"Tovalen.ComLineTest.Nonesuch", nullptr, false), nullptr);
    EXPECT_EQ(last_error_text(), INVALID_CLASS_TEXT);
    EXPECT_EQ(create_automation_object(L"", nullptr, false), nullptr);
    EXPECT_EQ(last_error_code(), code_of(E_INVALIDARG));

    EXPECT_EQ(wrap_interface(nullptr), nullptr);
    EXPECT_EQ(last_error_code(), code_of(E_INVALIDARG));
    auto* enumerator = new TestEnumerator({});
    EXPECT_EQ(wrap_interface(enumerator), nullptr);
    EXPECT_EQ(last_error_code(), code_of(E_NOINTERFACE));
    EXPECT_EQ(enumerator->references(), 1u);
    enumerator->Release();

    EXPECT_EQ(live_object_count(), 1);
    release_object(dictionary);
}

// Claims IDispatch but hands out no pointer.
class HollowObject : public Counted<IUnknown> {
public:
    HollowObject() : Counted(AtZero::stays) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!IsEqualIID(iid, IID_IDispatch)) {
            return Counted::QueryInterface(iid, out);
        }
        *out = nullptr;
        return S_OK;
    }
};

TEST_F(ObjectsTest, AnObjectThatGivesNoDispatchMakesNoRecord)
{
    HollowObject hollow;
    EXPECT_EQ(wrap_interface(&hollow), nullptr);
    EXPECT_EQ(last_error_code(), code_of(E_NOINTERFACE));
    EXPECT_EQ(live_object_count(), 0);
    EXPECT_EQ(hollow.references(), 1u);
}

TEST_F(ObjectsTest, ReleasingNothingIsHarmless)
{
    EXPECT_EQ(release_object(nullptr), 0);
    EXPECT_EQ(release_enumeration(nullptr), 0);
    EXPECT_EQ(live_object_count(), 0);
}

TEST_F(ObjectsTest, ALongFileNameReachesTheClassWhole)
{
    TestDocumentFactory factory;
    {
        RegisteredDocumentClass registered(factory);
        ASSERT_TRUE(registered.ok());
        const std::wstring file = L"C:\\" + std::wstring(600, L'd') + L".tvd";
        ComLineObject* document = get_automation_object(file, DOCUMENT_PROG_ID, false);
        ASSERT_NE(document, nullptr) << std::hex << last_error_code();
        EXPECT_EQ(factory.last_made()->loaded_file(), file);
        release_object(document);
    }
}

TEST_F(ObjectsTest, TheRecordsOfEveryThreadGoWithTheLastObject)
{
    ComLineObject* first = create_automation_object(L"Scripting.Dictionary", nullptr, false);
    ComLineObject* second = create_automation_object(L"Scripting.Dictionary", nullptr, false);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(live_object_count(), 2);

    Gate reported;
    Gate released;
    std::int64_t worker_after_release = -2;
    std::thread worker([&] {
        record_error(nullptr, code_of(E_ACCESSDENIED), false, {});
        reported.open();
        released.wait();
        worker_after_release = last_error_code();
    });
    reported.wait();
    record_error(nullptr, code_of(E_FAIL), false, {});
    release_object(first);
    EXPECT_TRUE(error_records_allocated());
    EXPECT_EQ(last_error_code(), code_of(E_FAIL));
    release_object(second);
    EXPECT_FALSE(error_records_allocated());
    EXPECT_EQ(last_error_code(), 0);
    released.open();
    worker.join();
    EXPECT_EQ(worker_after_release, 0);
    EXPECT_EQ(live_object_count(), 0);
}

TEST_F(ObjectsTest, ObjectsMadeAndReleasedOnManyThreadsAreCountedExactly)
{
    constexpr int THREADS = 8;
    constexpr int ROUNDS = 500;
    auto* shared = new TestDispatch();
    std::vector<std::thread> threads;
    Gate start;
    for (int t = 0; t < THREADS; ++t) {
        threads.emplace_back([&] {
            start.wait();
            for (int i = 0; i < ROUNDS; ++i) {
                ComLineObject* object = wrap_interface(shared);
                if (object != nullptr) {
                    release_object(object);
                }
            }
        });
    }
    start.open();
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(live_object_count(), 0);
    EXPECT_EQ(shared->references(), 1u);
    shared->Release();
}

}  // namespace
}  // namespace tovalen::comline::testing
