// Per-call cost of the automation layer against the raw IDispatch round trip, on an in-process
// object (Scripting.Dictionary): prints nanoseconds per call and the layer's ratio over raw.
#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "comline/comline.h"
#include "clock.h"
#include "platform/handles.h"

namespace {

using namespace tovalen::comline;
using tovalen::platform::UniqueBstr;

constexpr int ROUNDS = 30;

using tovalen::bench::now_ns;

// Cases measured side by side: each round runs a slice of every case in turn, and each case
// keeps its fastest slice. The machine's other work only ever adds time, and interleaving keeps
// a busy moment from falling on one case alone.
class Comparison {
public:
    void add(const char* name, std::function<void()> call) { cases_.push_back({name, std::move(call), 0.0}); }

    void run(int calls_per_slice)
    {
        for (Case& c : cases_) {
            for (int i = 0; i < calls_per_slice / 10; ++i) {
                c.call();
            }
            c.best_ns = 1e300;
        }
        for (int round = 0; round < ROUNDS; ++round) {
            for (Case& c : cases_) {
                const double start = now_ns();
                for (int i = 0; i < calls_per_slice; ++i) {
                    c.call();
                }
                c.best_ns = std::min(c.best_ns, (now_ns() - start) / calls_per_slice);
            }
        }
    }

    double ns(const char* name) const
    {
        for (const Case& c : cases_) {
            if (std::strcmp(c.name, name) == 0) {
                return c.best_ns;
            }
        }
        return 0.0;
    }

private:
    struct Case {
        const char* name;
        std::function<void()> call;
        double best_ns;
    };
    std::vector<Case> cases_;
};

HRESULT raw_invoke(IDispatch* target, DISPID member, VARIANT* argument, VARIANT& result)
{
    DISPPARAMS parameters{argument, nullptr, argument == nullptr ? 0u : 1u, 0};
    EXCEPINFO exception{};
    UINT argument_error = 0;
    ::VariantInit(&result);
    return target->Invoke(member, IID_NULL, INVOKE_LOCALE, CALL_GET, &parameters, &result, &exception,
                          &argument_error);
}

HRESULT raw_lookup_and_invoke(IDispatch* target, BSTR name, VARIANT* argument, VARIANT& result)
{
    DISPID member = DISPID_UNKNOWN;
    HRESULT hr = target->GetIDsOfNames(IID_NULL, &name, 1, INVOKE_LOCALE, &member);
    if (FAILED(hr)) {
        return hr;
    }
    return raw_invoke(target, member, argument, result);
}

void print_row(const char* what, double ns, double raw_ns)
{
    if (raw_ns > 0) {
        std::printf("  %-52s %9.0f ns   %.2fx raw\n", what, ns, ns / raw_ns);
    } else {
        std::printf("  %-52s %9.0f ns\n", what, ns);
    }
}

// The one-part calls against the raw lookup and call, as the benchmark summary reads them.
template <typename Comparison>
void write_json(const char* path, Comparison& comparison, double raw_count, double raw_exists)
{
    FILE* json = std::fopen(path, "w");
    if (json == nullptr) {
        return;
    }
    struct Entry {
        const char* name;
        const char* key;
        double raw;
    };
    const Entry entries[] = {
        {"read_integer(Count) / raw GetIDsOfNames + Invoke", "read_integer count", raw_count},
        {"call_method(Count) / raw GetIDsOfNames + Invoke", "call_method count", raw_count},
        {"read_integer(Exists('alpha')) / raw", "read_integer exists", raw_exists},
        {"call_method(Exists('alpha')) / raw", "call_method exists", raw_exists},
    };
    std::fprintf(json, "{\n  \"raw_count_ns\": %.1f,\n  \"raw_exists_ns\": %.1f,\n", raw_count, raw_exists);
    std::fprintf(json, "  \"parse_short_ns\": %.1f,\n  \"parse_long_ns\": %.1f,\n  \"ratios\": [\n",
                 comparison.ns("parse short"), comparison.ns("parse long"));
    for (std::size_t i = 0; i < std::size(entries); ++i) {
        const double ns = comparison.ns(entries[i].key);
        std::fprintf(json, "    {\"name\": \"%s\", \"ns\": %.1f, \"ratio\": %.3f, \"target\": 1.25}%s\n", entries[i].name,
                     ns, ns / entries[i].raw, i + 1 < std::size(entries) ? "," : "");
    }
    std::fprintf(json, "  ]\n}\n");
    std::fclose(json);
}

int run(int iterations, const char* json_path)
{
    ComLineObject* dictionary = create_automation_object(L"Scripting.Dictionary", nullptr, true);
    if (dictionary == nullptr) {
        std::printf("Scripting.Dictionary is not available: %ls\n", last_error_text().c_str());
        return 1;
    }
    call_method(dictionary, L"Add('alpha', 1)");
    call_method(dictionary, L"Add('beta', 2)");
    IDispatch* target = dictionary->dispatch;

    UniqueBstr count_name(::SysAllocString(L"Count"));
    UniqueBstr exists_name(::SysAllocString(L"Exists"));
    DISPID count_id = DISPID_UNKNOWN;
    DISPID exists_id = DISPID_UNKNOWN;
    BSTR name = count_name.get();
    target->GetIDsOfNames(IID_NULL, &name, 1, INVOKE_LOCALE, &count_id);
    name = exists_name.get();
    target->GetIDsOfNames(IID_NULL, &name, 1, INVOKE_LOCALE, &exists_id);
    VARIANT key;
    V_VT(&key) = VT_BSTR;
    V_BSTR(&key) = ::SysAllocString(L"alpha");

    // Sanity: every path computes what the others do.
    VARIANT result;
    raw_lookup_and_invoke(target, count_name.get(), nullptr, result);
    const bool agree = V_I4(&result) == 2 && read_integer(dictionary, L"Count") == 2 &&
                       read_integer(dictionary, L"Exists('alpha')") == -1 && call_method(dictionary, L"Exists('alpha')") == 0;
    ::VariantClear(&result);
    if (!agree) {
        std::printf("the raw and layer paths disagree: %ls\n", last_error_text().c_str());
        return 1;
    }

    ParsedCommand* count_command = nullptr;
    parse_command(L"Count", &count_command);
    const wchar_t* short_command = L"Count";
    const wchar_t* long_command =
        L"Item('first key')\\Children(3, 'second', #true)\\Find('a $0027quoted$0027 name', 2.5, 300 as long, "
        L"#opt)\\Value(1, 2, 3, 4, 5, 6, 7, 8) = 'the new value'";

    Comparison comparison;
    comparison.add("raw count", [&] {
        raw_lookup_and_invoke(target, count_name.get(), nullptr, result);
        ::VariantClear(&result);
    });
    comparison.add("raw count by id", [&] {
        raw_invoke(target, count_id, nullptr, result);
        ::VariantClear(&result);
    });
    comparison.add("read_integer count", [&] { read_integer(dictionary, L"Count"); });
    comparison.add("call_method count", [&] { call_method(dictionary, L"Count"); });
    comparison.add("read_integer count prepared", [&] { read_integer(dictionary, L"", count_command); });
    comparison.add("raw exists", [&] {
        raw_lookup_and_invoke(target, exists_name.get(), &key, result);
        ::VariantClear(&result);
    });
    comparison.add("raw exists by id", [&] {
        raw_invoke(target, exists_id, &key, result);
        ::VariantClear(&result);
    });
    comparison.add("read_integer exists", [&] { read_integer(dictionary, L"Exists('alpha')"); });
    comparison.add("call_method exists", [&] { call_method(dictionary, L"Exists('alpha')"); });
    comparison.add("parse short", [&] {
        ParsedCommand* parsed = nullptr;
        if (parse_command(short_command, &parsed) == 0) {
            free_parsed_command(parsed);
        }
    });
    comparison.add("parse long", [&] {
        ParsedCommand* parsed = nullptr;
        if (parse_command(long_command, &parsed) == 0) {
            free_parsed_command(parsed);
        }
    });
    comparison.add("record_error", [] { record_error(nullptr, 0, false, {}); });
    comparison.run(std::max(100, iterations / ROUNDS));

    std::printf("Scripting.Dictionary, %d rounds of %d calls per case, best round\n", ROUNDS,
                std::max(100, iterations / ROUNDS));
    const double raw_count = comparison.ns("raw count");
    std::printf("Count:\n");
    print_row("raw GetIDsOfNames + Invoke", raw_count, 0);
    print_row("raw Invoke, known DISPID", comparison.ns("raw count by id"), 0);
    print_row("read_integer(\"Count\")", comparison.ns("read_integer count"), raw_count);
    print_row("call_method(\"Count\")", comparison.ns("call_method count"), raw_count);
    print_row("read_integer, command parsed beforehand", comparison.ns("read_integer count prepared"), raw_count);
    const double raw_exists = comparison.ns("raw exists");
    std::printf("Exists('alpha'):\n");
    print_row("raw GetIDsOfNames + Invoke (argument made once)", raw_exists, 0);
    print_row("raw Invoke, known DISPID", comparison.ns("raw exists by id"), 0);
    print_row("read_integer(\"Exists('alpha')\")", comparison.ns("read_integer exists"), raw_exists);
    print_row("call_method(\"Exists('alpha')\")", comparison.ns("call_method exists"), raw_exists);
    std::printf("parse_command alone (parse and free):\n");
    print_row("short: \"Count\" (5 characters)", comparison.ns("parse short"), 0);
    print_row("long: 4 parts, 14 arguments (150 characters)", comparison.ns("parse long"), 0);
    std::printf("the layer's own bookkeeping:\n");
    print_row("record_error(S_OK)", comparison.ns("record_error"), 0);
    if (json_path != nullptr) {
        write_json(json_path, comparison, raw_count, raw_exists);
    }
    free_parsed_command(count_command);

    ::VariantClear(&key);
    count_name.reset();
    exists_name.reset();
    release_object(dictionary);
    return 0;
}

}  // namespace

// bench/comline_bench [figures.json] [iterations]
int main(int argc, char** argv)
{
    int first_number = 1;
    const char* json_path = nullptr;
    if (argc > 1 && std::strstr(argv[1], ".json") != nullptr) {
        json_path = argv[1];
        first_number = 2;
    }
    const int iterations = argc > first_number ? std::max(1000, std::atoi(argv[first_number])) : 600000;
    return run(iterations, json_path);
}
