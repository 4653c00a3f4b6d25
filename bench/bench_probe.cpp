// Timings for scripts/bench.sh, each Zanthel figure next to its reference,
// as medians of interleaved repetitions. Prints one line per figure:
//   <name> <zanthel> <reference> <unit>
// Usage:
//   bench_probe dispatch [repetitions] [calls]   late- and early-bound mnuEvent reads
//   bench_probe fresh [repetitions]              fresh_tray.exe against minimal_tray.exe
//   bench_probe append [repetitions]             AppendMenu per item at 10,000 items against at 100
#include "child_process.h"
#include "reference_dispatch.h"
#include "support/dll_under_test.h"
#include "support/host.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

using namespace zanthel;
using namespace zanthel::bench;
using test::Bstr;
using test::ComPtr;

namespace {

double Seconds(const std::function<void()>& work)
{
    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    work();
    ::QueryPerformanceCounter(&end);
    return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Runs both measurements in turn, repetitions times, so that drift in the
// machine's speed reaches both alike; prints their medians.
void Interleaved(const char* name, const char* unit, int repetitions, const std::function<double()>& zanthel,
                 const std::function<double()>& reference)
{
    std::vector<double> ours, theirs;
    for (int i = 0; i < repetitions; ++i) {
        ours.push_back(zanthel());
        theirs.push_back(reference());
    }
    std::printf("%s %.4g %.4g %s\n", name, Median(ours), Median(theirs), unit);
}

int Dispatch(int repetitions, int calls)
{
    test::ComApartment apartment;
    ComPtr<_classTray> zanthel = test::NewTray();
    ComPtr<_classTray> reference;
    if (!zanthel || FAILED(CreateReferenceTray(test::DllPath(), &reference))) return 2;
    for (_classTray* tray : {zanthel.Get(), reference.Get()}) {
        Bstr event(L"LeftMouse");
        tray->put_mnuEvent(&event);
    }
    const auto lateBound = [calls](_classTray* tray) {
        return [calls, tray] {
            DISPPARAMS none{};
            return Seconds([&] {
                       for (int i = 0; i < calls; ++i) {
                           VARIANT result;
                           ::VariantInit(&result);
                           tray->Invoke(0x68030000, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result,
                                        nullptr, nullptr);
                           ::VariantClear(&result);
                       }
                   }) *
                   1e9 / calls;
        };
    };
    const auto earlyBound = [calls](_classTray* tray) {
        return [calls, tray] {
            return Seconds([&] {
                       for (int i = 0; i < calls; ++i) {
                           BSTR value = nullptr;
                           tray->get_mnuEvent(&value);
                           ::SysFreeString(value);
                       }
                   }) *
                   1e9 / calls;
        };
    };
    lateBound(zanthel.Get())();  // first use loads the type library
    lateBound(reference.Get())();
    Interleaved("invoke_mnuEvent", "ns", repetitions, lateBound(zanthel.Get()), lateBound(reference.Get()));
    Interleaved("vtable_mnuEvent", "ns", repetitions, earlyBound(zanthel.Get()), earlyBound(reference.Get()));
    return 0;
}

int Fresh(int repetitions)
{
    const auto run = [](const wchar_t* program) {
        return [program] {
            DWORD code = 0;
            const double ms = Seconds([&] { code = RunChild(ProgramBeside(program), L"", 60000); }) * 1e3;
            if (code != 0) std::fprintf(stderr, "%ls ended with 0x%08lX\n", program, code);
            return ms;
        };
    };
    run(L"fresh_tray.exe")();  // the first start of each maps files in
    run(L"minimal_tray.exe")();
    Interleaved("fresh_process", "ms", repetitions, run(L"fresh_tray.exe"), run(L"minimal_tray.exe"));
    return 0;
}

struct AppendRun {
    int items;
    double microsecondsPerItem;
};

// A fresh apartment thread each time, so every menu starts empty.
DWORD WINAPI AppendThread(void* parameter)
{
    auto* run = static_cast<AppendRun*>(parameter);
    test::ComApartment apartment;
    ComPtr<_classTray> tray = test::NewTray();
    Bstr caption(L"Menu item");
    tray->AppendMenu(&caption);  // the first caption renames the built-in item; the window exists from here
    run->microsecondsPerItem = Seconds([&] {
                                   for (int i = 0; i < run->items; ++i) tray->AppendMenu(&caption);
                               }) *
                               1e6 / run->items;
    return 0;
}

double AppendCost(int items)
{
    AppendRun run{items, 0};
    HANDLE thread = ::CreateThread(nullptr, 0, &AppendThread, &run, 0, nullptr);
    ::WaitForSingleObject(thread, INFINITE);
    ::CloseHandle(thread);
    return run.microsecondsPerItem;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 7;
    if (mode == "dispatch") return Dispatch(repetitions, argc > 3 ? std::atoi(argv[3]) : 20000);
    if (mode == "fresh") return Fresh(repetitions);
    if (mode == "append") {
        Interleaved(
            "append_per_item", "us", repetitions, [] { return AppendCost(10000); }, [] { return AppendCost(100); });
        return 0;
    }
    std::fprintf(stderr, "usage: bench_probe dispatch|fresh|append [repetitions] [calls]\n");
    return 2;
}
