// The stress program: the Invoke fuzz and the soaks, each part run in child
// processes of this program, so that a crash is counted instead of ending
// the run. Usage:
//   stress fuzz [--calls N] [--seed S] [--chunk N]
//   stress soak [--scale F] [--real-shell] [create|icon|threads|windows ...]
// The fuzz exits non-zero on any crash or changed argument, so a short run
// serves as a test.
#include "child_process.h"
#include "fuzz.h"
#include "soaks.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace zanthel::bench;

namespace {

long Number(const char* text) { return std::strtol(text, nullptr, 0); }

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

int FuzzParent(int argc, char** argv)
{
    long calls = 100000, chunk = 25000;
    unsigned long long seed = 20261207;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--calls")) calls = Number(argv[i + 1]);
        if (!std::strcmp(argv[i], "--seed")) seed = std::strtoull(argv[i + 1], nullptr, 0);
        if (!std::strcmp(argv[i], "--chunk")) chunk = Number(argv[i + 1]);
    }
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE mapping =
        ::CreateFileMappingW(INVALID_HANDLE_VALUE, &inherit, PAGE_READWRITE, 0, sizeof(FuzzProgress), nullptr);
    auto* progress = static_cast<FuzzProgress*>(::MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(FuzzProgress)));
    if (!progress) return 2;
    // Without the string cache a freed string goes back to the allocator at
    // once, where the fuzz's watch sees it.
    ::SetEnvironmentVariableW(L"OANOCACHE", L"1");
    const DWORD started = ::GetTickCount();
    long crashes = 0, hangs = 0;
    for (long next = 0; next < calls;) {
        const long last = next + chunk < calls ? next + chunk : calls;
        progress->current = next;
        const std::string arguments = "fuzz-child " + std::to_string(reinterpret_cast<UINT_PTR>(mapping)) + " " +
                                      std::to_string(seed) + " " + std::to_string(next) + " " + std::to_string(last);
        const DWORD code = RunChild(ProgramBeside(L"stress.exe"), Wide(arguments), 15 * 60 * 1000);
        if (code == 0) {
            next = last;
            continue;
        }
        const long at = progress->current;
        if (code == kChildTimedOut) {
            ++hangs;
        } else {
            ++crashes;
        }
        std::fprintf(stderr, "call %ld (seed %llu): %s, exit code 0x%08lX\n", at, seed,
                     code == kChildTimedOut ? "hang" : "crash", code);
        next = at + 1;
    }
    std::printf("fuzz: calls=%ld seed=%llu failed_calls=%ld arguments_changed=%ld seconds=%.1f\n", calls, seed,
                static_cast<long>(progress->failed), static_cast<long>(progress->changed),
                (::GetTickCount() - started) / 1000.0);
    std::printf("hangs: %ld\n", hangs);
    std::printf("crashes: %ld\n", crashes);
    return crashes || hangs || progress->changed ? 1 : 0;
}

int FuzzChild(char** argv)
{
    HANDLE mapping = reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(std::strtoull(argv[2], nullptr, 0)));
    auto* progress = static_cast<FuzzProgress*>(::MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(FuzzProgress)));
    if (!progress) return 2;
    RunFuzzCalls(std::strtoull(argv[3], nullptr, 0), Number(argv[4]), Number(argv[5]), *progress);
    return 0;
}

int SoakParent(int argc, char** argv)
{
    double scale = 1.0;
    bool realShell = false;
    std::vector<std::string> names;
    for (int i = 2; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--scale") && i + 1 < argc) {
            scale = std::atof(argv[++i]);
        } else if (!std::strcmp(argv[i], "--real-shell")) {
            realShell = true;
        } else {
            names.emplace_back(argv[i]);
        }
    }
    long crashes = 0;
    for (const SoakKind& soak : kSoaks) {
        bool wanted = names.empty();
        for (const std::string& name : names) wanted = wanted || name == soak.name;
        if (!wanted) continue;
        long rounds = static_cast<long>(soak.rounds * scale);
        if (rounds < 1) rounds = 1;
        const std::string arguments =
            std::string("soak-child ") + soak.name + " " + std::to_string(rounds) + (realShell ? " real" : "");
        const DWORD code = RunChild(ProgramBeside(L"stress.exe"), Wide(arguments), 60 * 60 * 1000);
        if (code != 0) {
            ++crashes;
            std::printf("soak %s: ended with exit code 0x%08lX\n", soak.name, code);
        }
    }
    std::printf("crashes: %ld\n", crashes);
    return crashes ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    // Line by line, so that a crash loses nothing already printed.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "fuzz") return FuzzParent(argc, argv);
    if (mode == "fuzz-child" && argc == 6) return FuzzChild(argv);
    if (mode == "soak") return SoakParent(argc, argv);
    if (mode == "soak-child" && argc >= 4)
        return RunSoak(argv[2], Number(argv[3]), argc > 4 && !std::strcmp(argv[4], "real")) ? 0 : 2;
    std::fprintf(stderr,
                 "usage: stress fuzz [--calls N] [--seed S] [--chunk N]\n"
                 "       stress soak [--scale F] [--real-shell] [create|icon|threads|windows ...]\n");
    return 2;
}
