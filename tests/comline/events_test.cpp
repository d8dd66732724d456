// Event handling and the operations of hosted controls, against a connectable object written
// here whose type library widl built from event_source.idl; the library is loaded from the test
// program's own folder.
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "comline/comline.h"
#include "comline/layer_fixture.h"
#include "comline/test_objects.h"
#include "platform/handles.h"

namespace tovalen::comline::testing {
namespace {

using platform::ComPtr;
using platform::UniqueBstr;
using platform::UniqueLibrary;
using platform::UniqueVariant;
using platform::UniqueWindow;

// The identifiers of event_source.idl.
constexpr IID IID_SOURCE_EVENTS = {0xffbd0163, 0x500f, 0x48fd, {0x85, 0x14, 0x86, 0x97, 0x33, 0xc9, 0x70, 0x7d}};
constexpr IID IID_STATUS_EVENTS = {0x76ebb0ef, 0xe24d, 0x4f2b, {0xa6, 0xb2, 0x06, 0x3c, 0x1e, 0x28, 0x90, 0xe4}};
constexpr IID IID_EVENT_SOURCE = {0xdbe7e843, 0x2e16, 0x4ef7, {0xb7, 0x9b, 0xd6, 0xdd, 0xd0, 0xd8, 0x24, 0x1f}};
constexpr CLSID CLSID_EVENT_SOURCE = {0x8a9d4bd5, 0xb1e9, 0x4b0f, {0xb7, 0x3f, 0x8c, 0x5d, 0x38, 0x7f, 0x4b, 0x7b}};
// An event interface the library does not describe.
constexpr IID IID_UNDESCRIBED_EVENTS = {0xaf046196, 0xd54d, 0x45b1, {0x9a, 0x24, 0x19, 0x01, 0x1d, 0x36, 0xaa, 0x0f}};

// Members of EventSourceEvents.
constexpr DISPID STARTED = 1;
constexpr DISPID PROGRESS = 2;
constexpr DISPID VALUES = 3;
constexpr DISPID CLOSING = 4;
constexpr DISPID ASK_INTEGER = 5;
constexpr DISPID ASK_REAL = 6;
constexpr DISPID ASK_TEXT = 7;
constexpr DISPID ASK_VARIANT = 8;
// Member of StatusEvents.
constexpr DISPID STATUS_CHANGED = 1;

ComPtr<ITypeLib> load_event_library()
{
    wchar_t program[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring path(program);
    path.erase(path.find_last_of(L"\\/") + 1);
    path += L"event_source.tlb";
    ComPtr<ITypeLib> library;
    const HRESULT hr = ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put());
    EXPECT_EQ(hr, S_OK) << "type library next to the test program";
    return library;
}

// ---- The connectable object ----

// A connection point that keeps the sinks it was given, as a real event source does: it asks
// each for the event interface and calls it on every event.
class ConnectionPoint final : public Counted<IConnectionPoint> {
public:
    ConnectionPoint(IConnectionPointContainer* container, const IID& event_interface)
        : Counted(AtZero::stays), container_(container), event_interface_(event_interface)
    {
    }

    std::size_t connections() const { return sinks_.size(); }
    int advise_calls() const { return advise_calls_; }
    int unadvise_calls() const { return unadvise_calls_; }
    IDispatch* sink(std::size_t index) const { return sinks_.at(index).sink.get(); }
    const IID& event_interface() const { return event_interface_; }

    // Invokes every connected sink; the list is read by index, so that a sink that disconnects
    // while it runs is not called again.
    HRESULT fire(DISPID member, DISPPARAMS& parameters, VARIANT* result)
    {
        HRESULT hr = S_OK;
        for (std::size_t index = 0; index < sinks_.size(); ++index) {
            IDispatch* target = sinks_[index].sink.get();
            hr = target->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters, result,
                                nullptr, nullptr);
        }
        return hr;
    }

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override
    {
        *iid = event_interface_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** container) override
    {
        container_->AddRef();
        *container = container_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override
    {
        ++advise_calls_;
        if (sinks_.size() >= 1) {
            return CONNECT_E_ADVISELIMIT;
        }
        ComPtr<IDispatch> events;
        if (FAILED(sink->QueryInterface(event_interface_, events.put_void()))) {
            return CONNECT_E_CANNOTCONNECT;
        }
        *cookie = next_cookie_++;
        sinks_.push_back({*cookie, std::move(events)});
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override
    {
        ++unadvise_calls_;
        for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
            if (it->cookie == cookie) {
                sinks_.erase(it);
                return S_OK;
            }
        }
        return CONNECT_E_NOCONNECTION;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

private:
    struct Connection {
        DWORD cookie;
        ComPtr<IDispatch> sink;
    };
    IConnectionPointContainer* container_;
    IID event_interface_;
    std::vector<Connection> sinks_;
    DWORD next_cookie_ = 0x100;
    int advise_calls_ = 0;
    int unadvise_calls_ = 0;
};

// Counts the enumerators alive, so that a test sees each one released.
class ConnectionPointWalk final : public Counted<IEnumConnectionPoints> {
public:
    static inline int alive = 0;

    explicit ConnectionPointWalk(std::vector<ConnectionPoint*> points)
        : Counted(AtZero::deletes_itself), points_(std::move(points))
    {
        ++alive;
    }
    ~ConnectionPointWalk() override { --alive; }

    HRESULT STDMETHODCALLTYPE Next(ULONG wanted, IConnectionPoint** points, ULONG* fetched) override
    {
        ULONG given = 0;
        while (given < wanted && next_ < points_.size()) {
            points_[next_]->AddRef();
            points[given++] = points_[next_++];
        }
        if (fetched != nullptr) {
            *fetched = given;
        }
        return given == wanted ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override
    {
        next_ += count;
        return next_ <= points_.size() ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override
    {
        next_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints**) override { return E_NOTIMPL; }

private:
    std::vector<ConnectionPoint*> points_;
    std::size_t next_ = 0;
};

// How the object tells about its type information.
enum class TypeInfoRoute { dispatch, class_info, none };

struct SourceShape {
    TypeInfoRoute route = TypeInfoRoute::dispatch;
    bool connectable = true;
    std::vector<IID> points{IID_UNDESCRIBED_EVENTS, IID_SOURCE_EVENTS, IID_STATUS_EVENTS};
};

// The connectable object: its IDispatch describes IEventSource of the library, its container
// offers the points of its shape in order. Counts references and never deletes itself, so that
// a test can see every reference given back.
class EventSource final : public Counted<IDispatch, IConnectionPointContainer, IProvideClassInfo> {
public:
    EventSource(ComPtr<ITypeLib> library, const SourceShape& shape)
        : Counted(AtZero::stays), library_(std::move(library)), shape_(shape)
    {
        for (const IID& iid : shape.points) {
            points_.push_back(std::make_unique<ConnectionPoint>(this, iid));
        }
    }

    IDispatch* dispatch() { return static_cast<IDispatch*>(this); }
    // Makes the source an ActiveX control too: the part answers for IOleObject, the source for
    // everything else, so that every interface leads to every other.
    void offer_control(IOleObject* part) { control_ = part; }
    ConnectionPoint& point(std::size_t index) { return *points_.at(index); }
    std::size_t point_count() const { return points_.size(); }

    ConnectionPoint* point_for(const IID& iid)
    {
        for (auto& point : points_) {
            if (point->event_interface() == iid) {
                return point.get();
            }
        }
        return nullptr;
    }

    // The shape withholds what it does not offer.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if ((iid == IID_IConnectionPointContainer && !shape_.connectable) ||
            (iid == IID_IProvideClassInfo && shape_.route != TypeInfoRoute::class_info)) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        return Counted::QueryInterface(iid, out);
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        *count = shape_.route == TypeInfoRoute::dispatch ? 1 : 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override
    {
        *info = nullptr;
        if (shape_.route != TypeInfoRoute::dispatch || index != 0) {
            return DISP_E_BADINDEX;
        }
        return library_->GetTypeInfoOfGuid(IID_EVENT_SOURCE, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override
    {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return DISP_E_MEMBERNOTFOUND;
    }

    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override
    {
        return library_->GetTypeInfoOfGuid(CLSID_EVENT_SOURCE, info);
    }

    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** walk) override
    {
        std::vector<ConnectionPoint*> points;
        for (auto& point : points_) {
            points.push_back(point.get());
        }
        *walk = new ConnectionPointWalk(std::move(points));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** found) override
    {
        *found = point_for(iid);
        if (*found == nullptr) {
            return CONNECT_E_NOCONNECTION;
        }
        (*found)->AddRef();
        return S_OK;
    }

protected:
    void* extra_interface(REFIID iid) override { return iid == IID_IOleObject ? control_ : nullptr; }

private:
    ComPtr<ITypeLib> library_;
    SourceShape shape_;
    std::vector<std::unique_ptr<ConnectionPoint>> points_;
    IOleObject* control_ = nullptr;
};

// ---- Recording callbacks ----

struct Delivery {
    std::wstring callback;
    ComLineObject* object;
    std::wstring event;
    std::int64_t argument_count;
    bool got_result;
};

// What the callbacks were called with, what they answer, and what they do meanwhile.
struct Recorder {
    std::vector<Delivery> deliveries;
    EventReturn answer;
    std::function<void(ComLineObject*, std::wstring_view, VARIANT*)> during;
};

Recorder recorder;

EventReturn record_delivery(const wchar_t* callback, ComLineObject* object, std::wstring_view event_name,
                            std::int64_t argument_count, VARIANT* result)
{
    recorder.deliveries.push_back({callback, object, std::wstring(event_name), argument_count, result != nullptr});
    if (recorder.during) {
        recorder.during(object, event_name, result);
    }
    return recorder.answer;
}

EventReturn catch_all(ComLineObject* object, std::wstring_view event_name, std::int64_t count, VARIANT* result)
{
    return record_delivery(L"catch-all", object, event_name, count, result);
}

EventReturn per_event(ComLineObject* object, std::wstring_view event_name, std::int64_t count, VARIANT* result)
{
    return record_delivery(L"per-event", object, event_name, count, result);
}

EventReturn other_per_event(ComLineObject* object, std::wstring_view event_name, std::int64_t count,
                            VARIANT* result)
{
    return record_delivery(L"other", object, event_name, count, result);
}

// Fills the result itself, as the fourth return kind asks.
EventReturn fill_result(ComLineObject* object, std::wstring_view event_name, std::int64_t count, VARIANT* result)
{
    EventReturn returned = record_delivery(L"fill", object, event_name, count, result);
    if (result != nullptr) {
        ::VariantClear(result);
        V_VT(result) = VT_I4;
        V_I4(result) = 7;
    }
    return returned;
}

EventReturn fill_text_result(ComLineObject* object, std::wstring_view event_name, std::int64_t count,
                             VARIANT* result)
{
    EventReturn returned = record_delivery(L"fill-text", object, event_name, count, result);
    if (result != nullptr) {
        ::VariantClear(result);
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = ::SysAllocString(L"from the catch-all");
    }
    return returned;
}

std::wstring variant_text(const VARIANT& value)
{
    UniqueVariant text;
    if (FAILED(::VariantChangeType(text.get(), const_cast<VARIANT*>(&value), 0, VT_BSTR)) || V_BSTR(text.get()) == nullptr) {
        return L"<no text>";
    }
    return V_BSTR(text.get());
}

std::wstring real_text(double value)
{
    wchar_t text[64] = {};
    std::swprintf(text, 64, L"%g", value);
    return text;
}

bool window_has_property(HWND window, const wchar_t* name)
{
    return ::GetPropW(window, name) != nullptr;
}

std::int64_t number_of(HWND window)
{
    return static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(window));
}

HWND window_of(std::int64_t number)
{
    return reinterpret_cast<HWND>(static_cast<std::intptr_t>(number));
}

// The window a caller hands to create_automation_object.
UniqueWindow make_host_window()
{
    return UniqueWindow(::CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                                          nullptr, ::GetModuleHandleW(nullptr), nullptr));
}

// Positional arguments go into rgvarg from the last to the first.
struct Arguments {
    std::vector<VARIANT> values;
    std::vector<DISPID> named;
    DISPPARAMS parameters{};

    DISPPARAMS& get()
    {
        parameters.cArgs = static_cast<UINT>(values.size());
        parameters.rgvarg = values.empty() ? nullptr : values.data();
        parameters.cNamedArgs = static_cast<UINT>(named.size());
        parameters.rgdispidNamedArgs = named.empty() ? nullptr : named.data();
        return parameters;
    }
};

// ---- One object under test: the source, its ComLineObject and a real container window ----

class SourceUnderTest {
public:
    explicit SourceUnderTest(const SourceShape& shape = {}, bool with_window = true)
        : source_(load_event_library(), shape), start_count_(live_object_count())
    {
        object_ = wrap_interface(source_.dispatch());
        if (with_window) {
            window_ = make_host_window();
            object_->container_window = window_.get();
        }
    }
    SourceUnderTest(const SourceUnderTest&) = delete;
    SourceUnderTest& operator=(const SourceUnderTest&) = delete;

    // Everything given out must have come back: the object's references, the connection points'
    // and the walk over them; and the layer's count of objects. Releasing the object disconnects
    // a sink that is still attached.
    ~SourceUnderTest()
    {
        release_object(object_);
        EXPECT_EQ(live_object_count(), start_count_);
        EXPECT_EQ(source_.references(), 1u);
        for (std::size_t index = 0; index < source_.point_count(); ++index) {
            EXPECT_EQ(source_.point(index).references(), 1u) << "point " << index;
            EXPECT_EQ(source_.point(index).connections(), 0u) << "point " << index;
        }
        EXPECT_EQ(ConnectionPointWalk::alive, 0);
    }

    ComLineObject* object() { return object_; }
    EventSource& source() { return source_; }
    HWND window() { return window_.get(); }
    ConnectionPoint& events_point() { return *source_.point_for(IID_SOURCE_EVENTS); }
    ConnectionPoint& status_point() { return *source_.point_for(IID_STATUS_EVENTS); }

    std::int64_t attach(std::wstring_view event_name, EventCallback callback, std::int64_t kind = 0,
                        const IID* event_interface = nullptr)
    {
        return object_->methods->attach_event_handler(object_, event_name, callback, kind, event_interface);
    }

    HRESULT fire(DISPID member, Arguments& arguments, VARIANT* result = nullptr)
    {
        return events_point().fire(member, arguments.get(), result);
    }

    HRESULT fire(DISPID member)
    {
        Arguments none;
        return fire(member, none);
    }

private:
    EventSource source_;
    std::int64_t start_count_;
    ComLineObject* object_ = nullptr;
    UniqueWindow window_;
};

class EventsTest : public LayerTest {
protected:
    void SetUp() override
    {
        LayerTest::SetUp();
        recorder = Recorder{};
    }
    void TearDown() override
    {
        recorder = Recorder{};
        LayerTest::TearDown();
    }
};

// ---- The method table ----

TEST_F(EventsTest, MethodTableCarriesTheEventAndHostingOperations)
{
    EXPECT_EQ(OBJECT_METHODS.get_container_window, &get_container_window);
    EXPECT_EQ(OBJECT_METHODS.set_user_mode, &set_user_mode);
    EXPECT_EQ(OBJECT_METHODS.attach_event_handler, &attach_event_handler);
    EXPECT_EQ(OBJECT_METHODS.event_param_integer, &event_param_integer);
    EXPECT_EQ(OBJECT_METHODS.event_param_object, &event_param_object);
    EXPECT_EQ(OBJECT_METHODS.event_param_real, &event_param_real);
    EXPECT_EQ(OBJECT_METHODS.event_param_text, &event_param_text);
    EXPECT_EQ(OBJECT_METHODS.event_param_by_ref, &event_param_by_ref);
}

// ---- Connecting ----

struct ConnectCase {
    const char* label;
    SourceShape shape;
    const IID* event_interface;
    HRESULT expected;
    const IID* connected;  // the point that must hold the sink, null for none
};

TEST_F(EventsTest, FirstHandlerConnectsThroughTheDescribedConnectionPoint)
{
    const ConnectCase cases[] = {
        {"first point the library describes; the undescribed one before it is skipped", {}, nullptr, S_OK,
         &IID_SOURCE_EVENTS},
        {"the point of a given interface", {}, &IID_STATUS_EVENTS, S_OK, &IID_STATUS_EVENTS},
        {"type information through IProvideClassInfo", {TypeInfoRoute::class_info}, nullptr, S_OK,
         &IID_SOURCE_EVENTS},
        {"a given interface the library does not describe", {}, &IID_UNDESCRIBED_EVENTS, TYPE_E_ELEMENTNOTFOUND,
         nullptr},
        {"no point the library describes", {TypeInfoRoute::dispatch, true, {IID_UNDESCRIBED_EVENTS}}, nullptr,
         TYPE_E_ELEMENTNOTFOUND, nullptr},
        {"described but not offered", {TypeInfoRoute::dispatch, true, {IID_SOURCE_EVENTS}}, &IID_STATUS_EVENTS,
         CONNECT_E_NOCONNECTION, nullptr},
        {"no type information at all", {TypeInfoRoute::none}, nullptr, E_NOTIMPL, nullptr},
        {"not a connection point container", {TypeInfoRoute::dispatch, false}, nullptr, E_NOINTERFACE, nullptr},
    };
    for (const ConnectCase& row : cases) {
        SCOPED_TRACE(row.label);
        SourceUnderTest test(row.shape);
        EXPECT_EQ(test.attach(L"", catch_all, 0, row.event_interface), code_of(row.expected));
        EXPECT_EQ(last_error_code(), code_of(row.expected));
        EXPECT_EQ(test.object()->event_sink != nullptr, row.connected != nullptr);
        for (std::size_t index = 0; index < test.source().point_count(); ++index) {
            ConnectionPoint& point = test.source().point(index);
            const bool expected = row.connected != nullptr && point.event_interface() == *row.connected;
            EXPECT_EQ(point.connections(), expected ? 1u : 0u) << "point " << index;
        }
    }
}

TEST_F(EventsTest, FullConnectionPointRefusesAndLeavesNothingBehind)
{
    SourceUnderTest test;
    SourceUnderTest other;
    // Another client's sink fills the point: the source allows one connection.
    DWORD foreign = 0;
    ASSERT_EQ(other.attach(L"", catch_all), 0);
    ComPtr<IDispatch> foreign_sink = ComPtr<IDispatch>::copy(other.events_point().sink(0));
    ASSERT_EQ(test.events_point().Advise(foreign_sink.get(), &foreign), S_OK);

    EXPECT_EQ(test.attach(L"Progress", per_event, 1), code_of(CONNECT_E_ADVISELIMIT));
    EXPECT_EQ(last_error_code(), code_of(CONNECT_E_ADVISELIMIT));
    EXPECT_EQ(test.object()->event_sink, nullptr);
    EXPECT_FALSE(window_has_property(test.window(), L"Progress_ComLine"));
    EXPECT_EQ(::GetPropW(test.window(), L"Progress_RETURN_ComLine"), nullptr);

    EXPECT_EQ(test.events_point().Unadvise(foreign), S_OK);
}

TEST_F(EventsTest, NamedEventNeedsAContainerWindow)
{
    SourceUnderTest test({}, false);
    EXPECT_EQ(test.attach(L"Progress", per_event, 1), code_of(E_FAIL));
    EXPECT_EQ(last_error_code(), code_of(E_FAIL));
    EXPECT_EQ(test.object()->event_sink, nullptr);
    EXPECT_EQ(test.events_point().advise_calls(), 0);
}

TEST_F(EventsTest, LaterHandlersReuseTheConnection)
{
    SourceUnderTest test;
    ASSERT_EQ(test.attach(L"Progress", per_event, 1), 0);
    ASSERT_EQ(test.attach(L"", catch_all), 0);
    ASSERT_EQ(test.attach(L"Values", other_per_event, 0, &IID_STATUS_EVENTS), 0);
    EXPECT_EQ(test.events_point().advise_calls(), 1);
    EXPECT_EQ(test.status_point().advise_calls(), 0);
    EXPECT_EQ(test.events_point().connections(), 1u);
}

// ---- The sink as the source sees it ----

TEST_F(EventsTest, SinkAnswersForItsEventInterfaceAndDescribesIt)
{
    SourceUnderTest test;
    ASSERT_EQ(test.attach(L"", catch_all), 0);
    IDispatch* sink = test.events_point().sink(0);
    ASSERT_NE(sink, nullptr);

    const struct {
        const char* label;
        const IID* iid;
        HRESULT expected;
    } interfaces[] = {
        {"IUnknown", &IID_IUnknown, S_OK},
        {"IDispatch", &IID_IDispatch, S_OK},
        {"the event interface", &IID_SOURCE_EVENTS, S_OK},
        {"another event interface", &IID_STATUS_EVENTS, E_NOINTERFACE},
        {"IConnectionPoint", &IID_IConnectionPoint, E_NOINTERFACE},
    };
    for (const auto& row : interfaces) {
        SCOPED_TRACE(row.label);
        void* answered = reinterpret_cast<void*>(1);
        EXPECT_EQ(sink->QueryInterface(*row.iid, &answered), row.expected);
        if (row.expected == S_OK) {
            EXPECT_EQ(answered, static_cast<void*>(sink));
            static_cast<IUnknown*>(answered)->Release();
        } else {
            EXPECT_EQ(answered, nullptr);
        }
    }

    // The point holds the only reference; the object's event_sink points at the sink without one.
    EXPECT_EQ(sink->AddRef(), 2u);
    EXPECT_EQ(sink->Release(), 1u);

    UINT count = 0;
    EXPECT_EQ(sink->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);

    ComPtr<ITypeInfo> info;
    ASSERT_EQ(sink->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put()), S_OK);
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
    EXPECT_TRUE(attributes->guid == IID_SOURCE_EVENTS);
    info->ReleaseTypeAttr(attributes);

    const wchar_t* names[] = {L"Values", L"AskText", L"Missing"};
    const DISPID expected_ids[] = {VALUES, ASK_TEXT, DISPID_UNKNOWN};
    const HRESULT expected_codes[] = {S_OK, S_OK, DISP_E_UNKNOWNNAME};
    for (int index = 0; index < 3; ++index) {
        SCOPED_TRACE(::testing::Message() << "name " << index);
        LPOLESTR name = const_cast<LPOLESTR>(names[index]);
        DISPID id = 0;
        const HRESULT hr = sink->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
        EXPECT_EQ(hr, expected_codes[index]);
        if (SUCCEEDED(hr)) {
            EXPECT_EQ(id, expected_ids[index]);
        }
    }
}

TEST_F(EventsTest, EventWithoutANameIsRefusedAndDeliversNothing)
{
    SourceUnderTest test;
    ASSERT_EQ(test.attach(L"", catch_all, 4), 0);
    Arguments none;
    EXPECT_TRUE(FAILED(test.fire(99, none)));
    EXPECT_TRUE(recorder.deliveries.empty());
}

TEST_F(EventsTest, SourceThatPassesNoParametersFiresAnEventWithoutArguments)
{
    SourceUnderTest test;
    ASSERT_EQ(test.attach(L"", catch_all), 0);
    recorder.during = [](ComLineObject* object, std::wstring_view, VARIANT*) {
        EXPECT_EQ(event_param_integer(object, 1), 0);
        EXPECT_EQ(last_error_code(), code_of(E_INVALIDARG));
    };
    EXPECT_EQ(test.events_point().sink(0)->Invoke(STARTED, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, nullptr,
                                                  nullptr, nullptr, nullptr),
              S_OK);
    ASSERT_EQ(recorder.deliveries.size(), 1u);
    EXPECT_EQ(recorder.deliveries[0].argument_count, 0);
}

// ---- Delivery ----

TEST_F(EventsTest, HandlersReceiveTheEventNameAndArgumentCount)
{
    SourceUnderTest test;
    ASSERT_EQ(test.attach(L"", catch_all), 0);
    ASSERT_EQ(test.attach(L"Progress", per_event), 0);
    UniqueBstr stage(::SysAllocString(L"copying"));
    UniqueBstr text(::SysAllocString(L"abc"));
    TestDispatch item(AtZero::stays);

    const struct {
        const char* label;
        DISPID member;
        std::vector<VARIANT> values;
        std::vector<std::wstring> callbacks;
        const wchar_t* event;
        std::int64_t count;
    } cases[] = {
        {"no arguments, catch-all only", STARTED, {}, {L"catch-all"}, L"Started", 0},
        {"two arguments, catch-all then the event's own", PROGRESS, {text_value(stage.get()), long_value(50)},
         {L"catch-all", L"per-event"}, L"Progress", 2},
        {"four arguments", VALUES,
         {object_value(&item), text_value(text.get()), real_value(2.5), long_value(42)}, {L"catch-all"}, L"Values",
         4},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.label);
        recorder.deliveries.clear();
        Arguments arguments{row.values, {}, {}};
        EXPECT_EQ(test.fire(row.member, arguments), S_OK);
        ASSERT_EQ(recorder.deliveries.size(), row.callbacks.size());
        for (std::size_t index = 0; index < row.callbacks.size(); ++index) {
            const Delivery& delivery = recorder.deliveries[index];
            EXPECT_EQ(delivery.callback, row.callbacks[index]);
            EXPECT_EQ(delivery.object, test.object());
            EXPECT_EQ(delivery.event, row.event);
            EXPECT_EQ(delivery.argument_count, row.count);
        }
    }
    EXPECT_EQ(item.references(), 1u);
}

TEST_F(EventsTest, NamedArgumentsCountAndReadWithThePositionalOnes)
{
    SourceUnderTest test;
    ASSERT_EQ(test.attach(L"Progress", per_event), 0);
    UniqueBstr stage(::SysAllocString(L"named"));
    // The percentage by position, the stage by name.
    Arguments arguments{{text_value(stage.get()), long_value(9)}, {1}, {}};
    std::int64_t percent = 0;
    std::wstring stage_read;
    recorder.during = [&](ComLineObject* object, std::wstring_view, VARIANT*) {
        percent = event_param_integer(object, 1);
        stage_read = event_param_text(object, 2);
    };
    EXPECT_EQ(test.fire(PROGRESS, arguments), S_OK);
    ASSERT_EQ(recorder.deliveries.size(), 1u);
    EXPECT_EQ(recorder.deliveries[0].argument_count, 2);
    EXPECT_EQ(percent, 9);
    EXPECT_EQ(stage_read, L"named");
}

struct ReturnKindCase {
    const char* label;
    DISPID member;
    const wchar_t* event;
    EventCallback callback;
    std::int64_t kind;
    VARTYPE type;
    std::wstring value;
    bool callback_gets_result;
};

TEST_F(EventsTest, EachReturnKindDeliversItsResult)
{
    const ReturnKindCase cases[] = {
        {"0: nothing", ASK_INTEGER, L"AskInteger", per_event, 0, VT_EMPTY, L"", false},
        {"1: the integer as VT_I8", ASK_INTEGER, L"AskInteger", per_event, 1, VT_I8, L"-5000000000", false},
        {"2: the real as VT_R8", ASK_REAL, L"AskReal", per_event, 2, VT_R8, L"2.5", false},
        {"3: the text as VT_BSTR", ASK_TEXT, L"AskText", per_event, 3, VT_BSTR, L"answer", false},
        {"4: the callback fills the result", ASK_VARIANT, L"AskVariant", fill_result, 4, VT_I4, L"7", true},
        {"5 is taken as 0", ASK_INTEGER, L"AskInteger", per_event, 5, VT_EMPTY, L"", false},
        {"-1 is taken as 0", ASK_INTEGER, L"AskInteger", per_event, -1, VT_EMPTY, L"", false},
    };
    for (const ReturnKindCase& row : cases) {
        SCOPED_TRACE(row.label);
        SourceUnderTest test;
        recorder = Recorder{};
        recorder.answer = {-5'000'000'000, 2.5, L"answer"};
        ASSERT_EQ(test.attach(row.event, row.callback, row.kind), 0);
        UniqueVariant result;
        Arguments arguments;
        if (row.member == ASK_INTEGER) {
            arguments.values.push_back(long_value(3));
        }
        EXPECT_EQ(test.fire(row.member, arguments, result.get()), S_OK);
        ASSERT_EQ(recorder.deliveries.size(), 1u);
        EXPECT_EQ(recorder.deliveries[0].got_result, row.callback_gets_result);
        EXPECT_EQ(V_VT(result.get()), row.type);
        if (row.type != VT_EMPTY) {
            EXPECT_EQ(variant_text(*result.get()), row.value);
        }
    }
}

TEST_F(EventsTest, ReturnKindIsKeptAsAWindowProperty)
{
    SourceUnderTest test;
    ASSERT_EQ(test.attach(L"AskReal", per_event, 2), 0);
    EXPECT_EQ(::GetPropW(test.window(), L"AskReal_ComLine"),
              reinterpret_cast<HANDLE>(reinterpret_cast<std::uintptr_t>(&per_event)));
    EXPECT_EQ(::GetPropW(test.window(), L"AskReal_RETURN_ComLine"), reinterpret_cast<HANDLE>(2));
}

TEST_F(EventsTest, CatchAllGetsTheResultForEveryNonZeroKind)
{
    const struct {
        std::int64_t kind;
        bool gets_result;
    } cases[] = {{0, false}, {1, true}, {2, true}, {3, true}, {4, true}, {9, false}};
    for (const auto& row : cases) {
        SCOPED_TRACE(::testing::Message() << "kind " << row.kind);
        SourceUnderTest test;
        recorder = Recorder{};
        ASSERT_EQ(test.attach(L"", fill_result, row.kind), 0);
        UniqueVariant result;
        Arguments none;
        EXPECT_EQ(test.fire(ASK_VARIANT, none, result.get()), S_OK);
        ASSERT_EQ(recorder.deliveries.size(), 1u);
        EXPECT_EQ(recorder.deliveries[0].got_result, row.gets_result);
        EXPECT_EQ(V_VT(result.get()), row.gets_result ? VT_I4 : VT_EMPTY);
    }
}

TEST_F(EventsTest, EventsOwnResultReplacesTheCatchAllsResult)
{
    SourceUnderTest test;
    recorder.answer.integer = 42;
    ASSERT_EQ(test.attach(L"", fill_text_result, 4), 0);
    ASSERT_EQ(test.attach(L"AskVariant", per_event, 1), 0);
    UniqueVariant result;
    Arguments none;
    EXPECT_EQ(test.fire(ASK_VARIANT, none, result.get()), S_OK);
    ASSERT_EQ(recorder.deliveries.size(), 2u);
    EXPECT_EQ(recorder.deliveries[0].callback, L"fill-text");
    EXPECT_EQ(recorder.deliveries[1].callback, L"per-event");
    EXPECT_EQ(V_VT(result.get()), VT_I8);
    EXPECT_EQ(V_I8(result.get()), 42);
}

TEST_F(EventsTest, SourceThatWantsNoResultStillReachesTheCallback)
{
    SourceUnderTest test;
    recorder.answer.text = L"unused";
    ASSERT_EQ(test.attach(L"AskText", per_event, 3), 0);
    ASSERT_EQ(test.attach(L"AskVariant", fill_result, 4), 0);
    EXPECT_EQ(test.fire(ASK_TEXT), S_OK);
    EXPECT_EQ(test.fire(ASK_VARIANT), S_OK);
    ASSERT_EQ(recorder.deliveries.size(), 2u);
    EXPECT_FALSE(recorder.deliveries[1].got_result);
}

TEST_F(EventsTest, PerEventCallbacksWaitForTheirOwnEvent)
{
    SourceUnderTest test;
    ASSERT_EQ(test.attach(L"Started", per_event), 0);
    ASSERT_EQ(test.attach(L"Closing", other_per_event), 0);
    EXPECT_EQ(test.fire(STARTED), S_OK);
    EXPECT_EQ(test.fire(ASK_REAL), S_OK);
    ASSERT_EQ(recorder.deliveries.size(), 1u);
    EXPECT_EQ(recorder.deliveries[0].callback, L"per-event");
    EXPECT_EQ(recorder.deliveries[0].event, L"Started");
}

// ---- Parameters of the event being delivered ----

enum class Read { integer, real, text, dispatch, unknown };

struct ParameterCase {
    const char* label;
    Read read;
    std::int64_t number;
    std::wstring expected;
    HRESULT code;
};

// Reads one parameter through the object's method table and writes the value as text.
std::wstring read_parameter(ComLineObject* object, Read read, std::int64_t number, const IUnknown* item)
{
    const ComLineObjectMethods& methods = *object->methods;
    switch (read) {
    case Read::integer:
        return std::to_wstring(methods.event_param_integer(object, number));
    case Read::real:
        return real_text(methods.event_param_real(object, number));
    case Read::text:
        return methods.event_param_text(object, number);
    case Read::dispatch:
    case Read::unknown: {
        IUnknown* given = methods.event_param_object(object, number, read == Read::dispatch ? VT_DISPATCH : VT_UNKNOWN);
        if (given == nullptr) {
            return L"null";
        }
        const bool same = given == item;
        given->Release();
        return same ? L"item" : L"another object";
    }
    }
    return L"?";
}

void expect_parameters(SourceUnderTest& test, Arguments& arguments, const std::vector<ParameterCase>& cases,
                       const TestDispatch& item)
{
    std::vector<std::wstring> values;
    std::vector<std::int64_t> codes;
    recorder.during = [&](ComLineObject* object, std::wstring_view, VARIANT*) {
        for (const ParameterCase& row : cases) {
            values.push_back(read_parameter(object, row.read, row.number, &item));
            codes.push_back(last_error_code());
        }
    };
    ASSERT_EQ(test.fire(VALUES, arguments), S_OK);
    ASSERT_EQ(values.size(), cases.size());
    for (std::size_t index = 0; index < cases.size(); ++index) {
        SCOPED_TRACE(cases[index].label);
        EXPECT_EQ(values[index], cases[index].expected);
        EXPECT_EQ(codes[index], code_of(cases[index].code));
    }
}

TEST_F(EventsTest, ParametersAreReadByPositionDuringADelivery)
{
    SourceUnderTest test;
    ASSERT_EQ(test.attach(L"", catch_all), 0);
    UniqueBstr text(::SysAllocString(L"abc"));
    TestDispatch item(AtZero::stays);
    Arguments arguments{{object_value(&item), text_value(text.get()), real_value(2.5), long_value(42)}, {}, {}};
    const std::vector<ParameterCase> cases = {
        {"integer 1", Read::integer, 1, L"42", S_OK},
        {"real 2", Read::real, 2, L"2.5", S_OK},
        {"text 3", Read::text, 3, L"abc", S_OK},
        {"object 4 as IDispatch", Read::dispatch, 4, L"item", S_OK},
        {"object 4 as IUnknown", Read::unknown, 4, L"item", S_OK},
        {"integer 1 as text", Read::text, 1, L"42", S_OK},
        {"integer 1 as real", Read::real, 1, L"42", S_OK},
        {"real 2 as integer, rounded to even", Read::integer, 2, L"2", S_OK},
        {"text 3 as integer", Read::integer, 3, L"0", DISP_E_TYPEMISMATCH},
        {"integer 1 as object", Read::dispatch, 1, L"null", DISP_E_TYPEMISMATCH},
        {"number 0", Read::integer, 0, L"0", E_INVALIDARG},
        {"number -1", Read::text, -1, L"", E_INVALIDARG},
        {"one past the last", Read::real, 5, L"0", E_INVALIDARG},
        {"far past the last", Read::unknown, 1000, L"null", E_INVALIDARG},
    };
    expect_parameters(test, arguments, cases, item);
    EXPECT_EQ(item.references(), 1u);
}

TEST_F(EventsTest, NamedParametersAreFoundByTheirPosition)
{
    SourceUnderTest test;
    ASSERT_EQ(test.attach(L"", catch_all), 0);
    UniqueBstr text(::SysAllocString(L"named"));
    TestDispatch item(AtZero::stays);
    // All four named, in an order of the source's choosing.
    Arguments arguments{{real_value(0.25), object_value(&item), long_value(-7), text_value(text.get())},
                        {1, 3, 0, 2},
                        {}};
    const std::vector<ParameterCase> cases = {
        {"integer 1", Read::integer, 1, L"-7", S_OK},
        {"real 2", Read::real, 2, L"0.25", S_OK},
        {"text 3", Read::text, 3, L"named", S_OK},
        {"object 4", Read::dispatch, 4, L"item", S_OK},
    };
    expect_parameters(test, arguments, cases, item);
    EXPECT_EQ(item.references(), 1u);
}

TEST_F(EventsTest, ParameterOperationsOutsideADeliveryFail)
{
    SourceUnderTest connected;
    ASSERT_EQ(connected.attach(L"", catch_all), 0);
    SourceUnderTest unconnected;
    for (ComLineObject* object : {connected.object(), unconnected.object()}) {
        SCOPED_TRACE(object == connected.object() ? "connected" : "never connected");
        const ComLineObjectMethods& methods = *object->methods;
        EXPECT_EQ(methods.event_param_integer(object, 1), 0);
        EXPECT_EQ(last_error_code(), code_of(E_FAIL));
        EXPECT_EQ(methods.event_param_object(object, 1, VT_DISPATCH), nullptr);
        EXPECT_EQ(last_error_code(), code_of(E_FAIL));
        EXPECT_EQ(methods.event_param_real(object, 1), 0.0);
        EXPECT_EQ(last_error_code(), code_of(E_FAIL));
        EXPECT_EQ(methods.event_param_text(object, 1), L"");
        EXPECT_EQ(last_error_code(), code_of(E_FAIL));
        void* address = reinterpret_cast<void*>(1);
        VARIANT* variant = reinterpret_cast<VARIANT*>(1);
        EXPECT_EQ(methods.event_param_by_ref(object, 1, &address, &variant), 0);
        EXPECT_EQ(last_error_code(), code_of(E_FAIL));
        EXPECT_EQ(address, nullptr);
        EXPECT_EQ(variant, nullptr);
    }
}

TEST_F(EventsTest, ByReferenceParameterCanBeWrittenBack)
{
    SourceUnderTest test;
    ASSERT_EQ(test.attach(L"Closing", per_event), 0);
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT argument;
    ::VariantInit(&argument);
    V_VT(&argument) = VT_BOOL | VT_BYREF;
    V_BOOLREF(&argument) = &cancel;
    Arguments arguments{{argument}, {}, {}};

    std::int64_t type = -1;
    void* address = nullptr;
    VARIANT* variant = nullptr;
    recorder.during = [&](ComLineObject* object, std::wstring_view, VARIANT*) {
        type = object->methods->event_param_by_ref(object, 1, &address, &variant);
        EXPECT_EQ(last_error_code(), 0);
        if (address != nullptr) {
            *static_cast<VARIANT_BOOL*>(address) = VARIANT_TRUE;
        }
        // Read through DispGetParam, the same parameter shows the new value.
        EXPECT_EQ(event_param_integer(object, 1), -1);
    };
    ASSERT_EQ(test.fire(CLOSING, arguments), S_OK);
    EXPECT_EQ(type, VT_BOOL);
    EXPECT_EQ(address, static_cast<void*>(&cancel));
    EXPECT_EQ(variant, &arguments.values[0]);
    EXPECT_EQ(cancel, VARIANT_TRUE);
}

TEST_F(EventsTest, ByValueParameterHasNoReferencedType)
{
    SourceUnderTest test;
    ASSERT_EQ(test.attach(L"Progress", per_event), 0);
    UniqueBstr stage(::SysAllocString(L"stage"));
    Arguments arguments{{text_value(stage.get()), long_value(50)}, {}, {}};
    struct Seen {
        std::int64_t type;
        void* address;
        VARIANT* variant;
        std::int64_t code;
    };
    std::vector<Seen> seen;
    recorder.during = [&](ComLineObject* object, std::wstring_view, VARIANT*) {
        for (std::int64_t number : {1, 2, 3, 0}) {
            Seen one{-1, reinterpret_cast<void*>(1), nullptr, 0};
            one.type = event_param_by_ref(object, number, &one.address, &one.variant);
            one.code = last_error_code();
            seen.push_back(one);
        }
        // Both out pointers are optional.
        EXPECT_EQ(event_param_by_ref(object, 2, nullptr, nullptr), 0);
        EXPECT_EQ(last_error_code(), 0);
    };
    ASSERT_EQ(test.fire(PROGRESS, arguments), S_OK);
    ASSERT_EQ(seen.size(), 4u);
    const VARIANT* expected_variants[] = {&arguments.values[1], &arguments.values[0], nullptr, nullptr};
    const HRESULT expected_codes[] = {S_OK, S_OK, E_INVALIDARG, E_INVALIDARG};
    for (std::size_t index = 0; index < seen.size(); ++index) {
        SCOPED_TRACE(::testing::Message() << "row " << index);
        EXPECT_EQ(seen[index].type, 0);
        EXPECT_EQ(seen[index].address, nullptr);
        EXPECT_EQ(seen[index].variant, expected_variants[index]);
        EXPECT_EQ(seen[index].code, code_of(expected_codes[index]));
    }
}

TEST_F(EventsTest, NestedEventRestoresTheOuterParameters)
{
    SourceUnderTest test;
    ASSERT_EQ(test.attach(L"", catch_all), 0);
    UniqueBstr text(::SysAllocString(L"outer"));
    UniqueBstr stage(::SysAllocString(L"inner"));
    TestDispatch item(AtZero::stays);
    std::vector<std::int64_t> firsts;
    recorder.during = [&](ComLineObject* object, std::wstring_view event_name, VARIANT*) {
        firsts.push_back(event_param_integer(object, 1));
        if (event_name == L"Values") {
            Arguments inner{{text_value(stage.get()), long_value(7)}, {}, {}};
            EXPECT_EQ(test.fire(PROGRESS, inner), S_OK);
            firsts.push_back(event_param_integer(object, 1));
            EXPECT_EQ(event_param_text(object, 3), L"outer");
        }
    };
    Arguments outer{{object_value(&item), text_value(text.get()), real_value(1.0), long_value(42)}, {}, {}};
    ASSERT_EQ(test.fire(VALUES, outer), S_OK);
    EXPECT_EQ(firsts, (std::vector<std::int64_t>{42, 7, 42}));
    EXPECT_EQ(event_param_integer(test.object(), 1), 0);
    EXPECT_EQ(last_error_code(), code_of(E_FAIL));
}

// ---- Detaching ----

TEST_F(EventsTest, NullCatchAllDisconnectsAndRemovesTheCallbackProperties)
{
    SourceUnderTest test;
    HWND window = test.window();
    ASSERT_EQ(test.attach(L"", catch_all), 0);
    ASSERT_EQ(test.attach(L"Progress", per_event, 2), 0);
    ASSERT_EQ(test.attach(L"Started", other_per_event, 1), 0);
    // A property of someone else's stays.
    ASSERT_TRUE(::SetPropW(window, L"Keep_ComLine_Not", reinterpret_cast<HANDLE>(1)));

    EXPECT_EQ(test.attach(L"", nullptr), 0);
    EXPECT_EQ(last_error_code(), 0);
    EXPECT_EQ(test.events_point().unadvise_calls(), 1);
    EXPECT_EQ(test.events_point().connections(), 0u);
    EXPECT_EQ(test.object()->event_sink, nullptr);
    for (const wchar_t* name : {L"Progress_ComLine", L"Progress_RETURN_ComLine", L"Started_ComLine",
                                L"Started_RETURN_ComLine"}) {
        EXPECT_FALSE(window_has_property(window, name)) << name;
    }
    EXPECT_TRUE(window_has_property(window, L"Keep_ComLine_Not"));

    EXPECT_EQ(test.fire(STARTED), S_OK);
    EXPECT_TRUE(recorder.deliveries.empty());

    ::RemovePropW(window, L"Keep_ComLine_Not");
}

TEST_F(EventsTest, DetachingWithoutAConnectionChangesNothing)
{
    SourceUnderTest test;
    EXPECT_EQ(test.attach(L"", nullptr), 0);
    EXPECT_EQ(last_error_code(), 0);
    EXPECT_EQ(test.events_point().unadvise_calls(), 0);
}

TEST_F(EventsTest, NullPerEventCallbackRemovesOnlyThatEvent)
{
    SourceUnderTest test;
    ASSERT_EQ(test.attach(L"Started", per_event, 1), 0);
    ASSERT_EQ(test.attach(L"AskInteger", other_per_event, 1), 0);
    EXPECT_EQ(test.attach(L"Started", nullptr), 0);
    EXPECT_FALSE(window_has_property(test.window(), L"Started_ComLine"));
    EXPECT_FALSE(window_has_property(test.window(), L"Started_RETURN_ComLine"));
    EXPECT_TRUE(window_has_property(test.window(), L"AskInteger_ComLine"));
    EXPECT_EQ(test.events_point().connections(), 1u);

    Arguments question{{long_value(1)}, {}, {}};
    EXPECT_EQ(test.fire(STARTED), S_OK);
    EXPECT_EQ(test.fire(ASK_INTEGER, question), S_OK);
    ASSERT_EQ(recorder.deliveries.size(), 1u);
    EXPECT_EQ(recorder.deliveries[0].callback, L"other");
}

TEST_F(EventsTest, CallbackMayDisconnectDuringItsOwnEvent)
{
    SourceUnderTest test;
    ASSERT_EQ(test.attach(L"", catch_all), 0);
    ASSERT_EQ(test.attach(L"Started", per_event), 0);
    recorder.during = [](ComLineObject* object, std::wstring_view, VARIANT*) {
        EXPECT_EQ(attach_event_handler(object, L"", nullptr, 0, nullptr), 0);
    };
    EXPECT_EQ(test.fire(STARTED), S_OK);
    // The catch-all ran; its disconnection took the event's own callback away with the sink.
    ASSERT_EQ(recorder.deliveries.size(), 1u);
    EXPECT_EQ(test.object()->event_sink, nullptr);
    EXPECT_EQ(test.events_point().connections(), 0u);
    EXPECT_FALSE(window_has_property(test.window(), L"Started_ComLine"));
}

TEST_F(EventsTest, ObjectCanConnectAgainAfterDetaching)
{
    SourceUnderTest test;
    ASSERT_EQ(test.attach(L"", catch_all), 0);
    ASSERT_EQ(test.attach(L"", nullptr), 0);
    ASSERT_EQ(test.attach(L"", catch_all, 0, &IID_STATUS_EVENTS), 0);
    EXPECT_EQ(test.status_point().connections(), 1u);
    Arguments status{{long_value(3)}, {}, {}};
    EXPECT_EQ(test.status_point().fire(STATUS_CHANGED, status.get(), nullptr), S_OK);
    ASSERT_EQ(recorder.deliveries.size(), 1u);
    EXPECT_EQ(recorder.deliveries[0].event, L"StatusChanged");
    EXPECT_EQ(recorder.deliveries[0].argument_count, 1);
}

TEST_F(EventsTest, DetachingTheSinkLetsTheObjectGo)
{
    // What release_object needs for an object that still has handlers: the connection point
    // lets go of the sink and the sink forgets the object.
    SourceUnderTest test;
    ASSERT_EQ(test.attach(L"", catch_all), 0);
    ASSERT_EQ(test.attach(L"Started", per_event), 0);
    ComPtr<IDispatch> kept = ComPtr<IDispatch>::copy(test.events_point().sink(0));
    detach_event_sink(test.object());
    EXPECT_EQ(test.events_point().connections(), 0u);
    EXPECT_EQ(test.object()->event_sink, nullptr);
    EXPECT_FALSE(window_has_property(test.window(), L"Started_ComLine"));
    // A source that still calls the sink reaches nobody.
    EXPECT_EQ(kept->Invoke(STARTED, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, nullptr, nullptr, nullptr,
                           nullptr),
              S_OK);
    EXPECT_TRUE(recorder.deliveries.empty());
}

// ---- Control hosting ----

// A hidden window to host in, which every test leaves without children.
class HostWindowTest : public EventsTest {
protected:
    void SetUp() override
    {
        EventsTest::SetUp();
        window_ = make_host_window();
        ASSERT_TRUE(window_);
    }
    void TearDown() override
    {
        EXPECT_EQ(::GetWindow(window_.get(), GW_CHILD), nullptr) << "a container control left behind";
        EventsTest::TearDown();
    }

    UniqueWindow window_;
};

// An object that hosts no control of its own.
class HostingTest : public HostWindowTest {
protected:
    void SetUp() override
    {
        HostWindowTest::SetUp();
        object_ = wrap_interface(&item_);
        ASSERT_NE(object_, nullptr);
    }
    void TearDown() override
    {
        object_->container_window = nullptr;
        object_->container_control = 0;
        release_object(object_);
        EXPECT_EQ(item_.references(), 1u);
        HostWindowTest::TearDown();
    }

    TestDispatch item_{AtZero::stays};
    ComLineObject* object_ = nullptr;
};

TEST_F(HostingTest, ContainerWindowOnlyForAnObjectHostingAControl)
{
    const std::int64_t window_value = number_of(window_.get());
    const struct {
        const char* label;
        bool hosted;
        std::int64_t control;
        bool want_control_number;
        std::int64_t expected;
        HRESULT code;
    } cases[] = {
        {"no window: E_FAIL", false, 0, false, 0, E_FAIL},
        {"no window, asked for the control: E_FAIL", false, 0, true, 0, E_FAIL},
        {"a control number but no window: E_FAIL", false, 12, true, 0, E_FAIL},
        {"the window", true, 12, false, window_value, S_OK},
        {"the control number", true, 12, true, 12, S_OK},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.label);
        object_->container_window = row.hosted ? window_.get() : nullptr;
        object_->container_control = row.control;
        EXPECT_EQ(object_->methods->get_container_window(object_, row.want_control_number), row.expected);
        EXPECT_EQ(last_error_code(), code_of(row.code));
    }
}

TEST_F(HostingTest, UserModeFailsOnAnObjectHostingNoControl)
{
    for (bool design_mode : {false, true}) {
        SCOPED_TRACE(design_mode ? "design mode" : "user mode");
        object_->container_window = window_.get();
        object_->container_control = 0;
        EXPECT_EQ(object_->methods->set_user_mode(object_, design_mode), code_of(E_FAIL));
        EXPECT_EQ(last_error_code(), code_of(E_FAIL));
    }
}

TEST_F(HostingTest, UserModeReportsAWindowWithoutAHostingSite)
{
    // A container control, but a plain window: the system's hosting finds no site in it.
    object_->container_window = window_.get();
    object_->container_control = number_of(window_.get());
    const std::int64_t outcome = object_->methods->set_user_mode(object_, false);
    EXPECT_FALSE(outcome == 0 || outcome == code_of(E_NOTIMPL)) << std::hex << outcome;
    EXPECT_EQ((outcome >> 31) & 1, 1) << std::hex << outcome;
    EXPECT_EQ(last_error_code(), outcome);
}


// ---- Controls hosted by the system's control hosting ----

constexpr CLSID CLSID_HOSTED_CONTROL = {0x6d1f2c8a, 0x43b7, 0x4e0d, {0x9c, 0x51, 0x2a, 0x7e, 0x90, 0x3b, 0x18, 0xc4}};
constexpr wchar_t HOSTED_CONTROL_CLASS[] = L"{6D1F2C8A-43B7-4E0D-9C51-2A7E903B18C4}";
// IAxWinAmbientDispatch, the hosting site's ambient properties.
constexpr IID IID_AMBIENT_DISPATCH = {0xB6EA2051, 0x048A, 0x11D1, {0x82, 0xB9, 0x00, 0xC0, 0x4F, 0xB9, 0x94, 0x2E}};

// As little of an ActiveX control as the hosting accepts: IOleObject, keeping its client site.
// Built on IOleObject, the object it is part of answers for IUnknown; built on a Counted
// IOleObject, it answers itself.
template <typename OleObject>
class OleObjectPart : public OleObject {
public:
    using OleObject::OleObject;

    bool hosted() const { return static_cast<bool>(site_); }

    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override
    {
        site_ = ComPtr<IOleClientSite>::copy(site);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override
    {
        *site = ComPtr<IOleClientSite>(site_).detach();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Close(DWORD) override
    {
        site_.reset();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DoVerb(LONG, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override
    {
        *clsid = CLSID_HOSTED_CONTROL;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD, SIZEL*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD, SIZEL* size) override
    {
        size->cx = 100;
        size->cy = 100;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink*, DWORD* cookie) override
    {
        *cookie = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD, DWORD* status) override
    {
        *status = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

private:
    ComPtr<IOleClientSite> site_;
};

// A control with nothing but IOleObject: the hosting takes it, the layer cannot drive it.
class BareControl final : public OleObjectPart<Counted<IOleObject>> {
public:
    BareControl() : OleObjectPart(AtZero::stays) {}
};

// The connectable event source as an ActiveX control: what the layer hosts and drives. Its
// identity stays the source's IDispatch.
class HostedSource final : public OleObjectPart<IOleObject> {
public:
    HostedSource() : source_(load_event_library(), SourceShape{}) { source_.offer_control(this); }

    EventSource& source() { return source_; }
    ConnectionPoint& events_point() { return *source_.point_for(IID_SOURCE_EVENTS); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        return source_.QueryInterface(iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return source_.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return source_.Release(); }

private:
    EventSource source_;
};

// Hands out the one instance it was given, as the class of a control.
class ControlClass final : public Counted<IClassFactory> {
public:
    explicit ControlClass(IUnknown& instance) : Counted(AtZero::stays), instance_(instance) {}
    ~ControlClass() override { EXPECT_EQ(references(), 1u); }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override
    {
        if (outer != nullptr) {
            *out = nullptr;
            return CLASS_E_NOAGGREGATION;
        }
        return instance_.QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    IUnknown& instance_;
};

using ControlHostingTest = HostWindowTest;

TEST_F(ControlHostingTest, ControlLivesInAContainerInTheWindowUntilReleased)
{
    HostedSource control;
    ControlClass control_class(control);
    ClassObjectRegistration registered(CLSID_HOSTED_CONTROL, control_class);
    ASSERT_EQ(registered.result(), S_OK);
    const bool hosting_loaded_before = ::GetModuleHandleW(L"atl.dll") != nullptr;

    ComLineObject* object = create_automation_object(HOSTED_CONTROL_CLASS, window_.get(), false);
    ASSERT_NE(object, nullptr) << std::hex << last_error_code();
    EXPECT_EQ(last_error_code(), 0);
    EXPECT_EQ(live_object_count(), 1);
    EXPECT_EQ(object->dispatch, control.source().dispatch());
    EXPECT_TRUE(control.hosted());

    // The container control is a child of the window, filling it.
    const HWND container = window_of(object->container_control);
    EXPECT_EQ(object->container_window, window_.get());
    ASSERT_TRUE(::IsWindow(container));
    EXPECT_EQ(::GetParent(container), window_.get());
    RECT window_area{};
    RECT container_area{};
    ::GetClientRect(window_.get(), &window_area);
    ::GetClientRect(container, &container_area);
    EXPECT_EQ(container_area.right, window_area.right);
    EXPECT_EQ(container_area.bottom, window_area.bottom);

    EXPECT_EQ(object->methods->get_container_window(object, false), number_of(window_.get()));
    EXPECT_EQ(last_error_code(), 0);
    EXPECT_EQ(object->methods->get_container_window(object, true), object->container_control);
    EXPECT_EQ(last_error_code(), 0);

    // A per-event callback is kept on the container window and answers its event.
    ASSERT_EQ(object->methods->attach_event_handler(object, L"Progress", per_event, 0, nullptr), 0);
    EXPECT_TRUE(window_has_property(window_.get(), L"Progress_ComLine"));
    UniqueBstr stage(::SysAllocString(L"copying"));
    Arguments arguments{{text_value(stage.get()), long_value(50)}, {}, {}};
    EXPECT_EQ(control.events_point().fire(PROGRESS, arguments.get(), nullptr), S_OK);
    ASSERT_EQ(recorder.deliveries.size(), 1u);
    EXPECT_EQ(recorder.deliveries[0].callback, L"per-event");
    EXPECT_EQ(recorder.deliveries[0].object, object);
    EXPECT_EQ(recorder.deliveries[0].event, L"Progress");
    EXPECT_EQ(recorder.deliveries[0].argument_count, 2);

    // Releasing disconnects the events, destroys the container and with it the hosting.
    EXPECT_EQ(release_object(object), 0);
    EXPECT_FALSE(::IsWindow(container));
    EXPECT_FALSE(control.hosted());
    EXPECT_FALSE(window_has_property(window_.get(), L"Progress_ComLine"));
    EXPECT_EQ(control.events_point().connections(), 0u);
    EXPECT_EQ(control.source().references(), 1u);
    // The hosting's library was held for the container's window procedure, and given back.
    EXPECT_EQ(::GetModuleHandleW(L"atl.dll") != nullptr, hosting_loaded_before);
}

TEST_F(ControlHostingTest, UserModeGoesToTheHostingSiteOfACreatedControl)
{
    HostedSource control;
    ControlClass control_class(control);
    ClassObjectRegistration registered(CLSID_HOSTED_CONTROL, control_class);
    ASSERT_EQ(registered.result(), S_OK);
    ComLineObject* object = create_automation_object(HOSTED_CONTROL_CLASS, window_.get(), false);
    ASSERT_NE(object, nullptr) << std::hex << last_error_code();

    // What this system's hosting site offers decides what set_user_mode can do.
    UniqueLibrary atl(::LoadLibraryW(L"atl.dll"));
    ASSERT_TRUE(atl);
    using GetHostRoutine = HRESULT(WINAPI*)(HWND, IUnknown**);
    auto get_host =
        reinterpret_cast<GetHostRoutine>(reinterpret_cast<void (*)()>(::GetProcAddress(atl.get(), "AtlAxGetHost")));
    ASSERT_NE(get_host, nullptr);
    ComPtr<IUnknown> site;
    ASSERT_EQ(get_host(window_of(object->container_control), site.put()), S_OK);
    ComPtr<IDispatch> ambient;
    const HRESULT offered = site.query(IID_AMBIENT_DISPATCH, ambient.put_void());

    for (bool design_mode : {true, false}) {
        SCOPED_TRACE(design_mode ? "design mode" : "user mode");
        const std::int64_t outcome = object->methods->set_user_mode(object, design_mode);
        EXPECT_EQ(last_error_code(), outcome);
        if (FAILED(offered)) {
            EXPECT_EQ(outcome, code_of(offered));
            continue;
        }
        EXPECT_EQ(outcome, 0);
        LPOLESTR name = const_cast<LPOLESTR>(L"UserMode");
        DISPID user_mode = 0;
        ASSERT_EQ(ambient->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &user_mode), S_OK);
        DISPPARAMS none{};
        UniqueVariant value;
        ASSERT_EQ(ambient->Invoke(user_mode, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, value.get(),
                                  nullptr, nullptr),
                  S_OK);
        EXPECT_EQ(V_BOOL(value.get()), design_mode ? VARIANT_FALSE : VARIANT_TRUE);
    }
    ambient.reset();
    site.reset();
    release_object(object);
    EXPECT_FALSE(control.hosted());
    EXPECT_EQ(control.source().references(), 1u);
}

// Every failure is reported and leaves no container, no hosting and no reference behind.
TEST_F(ControlHostingTest, AFailedCreationLeavesNothingBehind)
{
    EventSource source(load_event_library(), SourceShape{});  // no control at all
    BareControl bare;
    UniqueWindow gone = make_host_window();
    const HWND gone_window = gone.get();
    gone.reset();

    enum class Offered { nothing, no_control, control_without_dispatch };
    const struct {
        const char* label;
        const wchar_t* prog_id;
        Offered offered;
        bool window_gone;
        HRESULT code;
    } cases[] = {
        {"no ProgID", L"", Offered::nothing, false, E_INVALIDARG},
        {"an unknown ProgID", L"Tovalen.NoSuchControl", Offered::nothing, false, CO_E_CLASSSTRING},
        {"a class that is no control", HOSTED_CONTROL_CLASS, Offered::no_control, false, E_NOINTERFACE},
        {"a control without IDispatch", HOSTED_CONTROL_CLASS, Offered::control_without_dispatch, false,
         E_NOINTERFACE},
        {"a window that is gone", HOSTED_CONTROL_CLASS, Offered::control_without_dispatch, true,
         HRESULT_FROM_WIN32(ERROR_INVALID_WINDOW_HANDLE)},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.label);
        IUnknown& instance = row.offered == Offered::control_without_dispatch
                                 ? static_cast<IUnknown&>(static_cast<IOleObject&>(bare))
                                 : static_cast<IUnknown&>(*source.dispatch());
        ControlClass control_class(instance);
        ClassObjectRegistration registered(CLSID_HOSTED_CONTROL, control_class);
        ASSERT_EQ(registered.result(), S_OK);
        EXPECT_EQ(create_automation_object(row.prog_id, row.window_gone ? gone_window : window_.get(), false),
                  nullptr);
        EXPECT_EQ(last_error_code(), code_of(row.code)) << std::hex << last_error_code();
        EXPECT_EQ(::GetWindow(window_.get(), GW_CHILD), nullptr);
        EXPECT_EQ(live_object_count(), 0);
        EXPECT_FALSE(bare.hosted());
        EXPECT_EQ(bare.references(), 1u);
        EXPECT_EQ(source.references(), 1u);
    }
}

}  // namespace
}  // namespace tovalen::comline::testing
