// Times one growth run through the window (offscreen unless a platform is chosen), with a plot
// and a yield for every stuck particle, against the same run without a window, and prints the
// window's overhead. Both runs use the same seeded generator, so they grow the same aggregate;
// the program checks that they did.
//
// Usage: dla_window_bench [N=1000] [seed=1] [repetitions=1]
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "frm_principal.h"
#include "window/growth.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// CPU time of this thread: on a shared machine it moves less with the load of others than
// the wall clock does.
double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Timing {
    double seconds = 0.0;
    double cpu = 0.0;
    std::int64_t particles = 0;
    std::uint64_t hash = 0;
};

Timing headless(std::int32_t n, std::uint64_t seed) {
    dla::SilentToolkit toolkit;
    dla::RandomSource<dla::FastGenerator> random(dla::FastGenerator::seeded(seed), toolkit);
    dla::initialiseRandomSource(random);
    dla::Lattice lattice;
    const double cpuStart = cpuSeconds();
    const auto start = Clock::now();
    const dla::GrowthResult result = dla::Gerar_DLA(n, lattice, random, toolkit);
    return {seconds(Clock::now() - start), cpuSeconds() - cpuStart, result.particles,
            lattice.hash()};
}

Timing windowed(std::int32_t n, std::uint64_t seed) {
    dla::FRMPrincipal window(dla::FastGenerator::seeded(seed));
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) std::fprintf(stderr, "window not exposed\n");
    window.findChild<QLineEdit*>(QStringLiteral("TXTN"))->setText(QString::number(n));
    auto* executar = window.findChild<QPushButton*>(QStringLiteral("CMDExecutar"));
    const double cpuStart = cpuSeconds();
    const auto start = Clock::now();
    QTest::mouseClick(executar, Qt::LeftButton);
    const double elapsed = seconds(Clock::now() - start);
    return {elapsed, cpuSeconds() - cpuStart, 0, window.lattice().hash()};
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::int32_t n = argc > 1 ? static_cast<std::int32_t>(std::atoi(argv[1])) : 1000;
    const std::uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
    const int repetitions = argc > 3 ? std::atoi(argv[3]) : 1;
    if (n < 1 || n > dla::kLargestSystemSize || repetitions < 1) {
        std::fprintf(stderr, "usage: %s [N in 1..%d] [seed] [repetitions]\n", argv[0],
                     dla::kLargestSystemSize);
        return 2;
    }

    std::printf("N = %d, seed %llu, platform %s\n", n, static_cast<unsigned long long>(seed),
                qPrintable(QGuiApplication::platformName()));
    std::printf("%-5s %9s | %11s %11s %9s | %11s %11s %9s\n", "rep", "particles", "headless s",
                "window s", "overhead", "headless", "window", "overhead");
    std::printf("%-5s %9s | %33s | %33s\n", "", "", "wall clock", "CPU time of the thread");
    double totalHeadless = 0.0;
    double totalWindow = 0.0;
    double cpuHeadless = 0.0;
    double cpuWindow = 0.0;
    for (int rep = 1; rep <= repetitions; ++rep) {
        // A different seed each repetition, the same for both runs of it.
        const std::uint64_t runSeed = seed + static_cast<std::uint64_t>(rep - 1);
        const Timing plain = headless(n, runSeed);
        const Timing shown = windowed(n, runSeed);
        if (plain.hash != shown.hash) {
            std::fprintf(stderr, "the window grew another aggregate than the headless run\n");
            return 1;
        }
        totalHeadless += plain.seconds;
        totalWindow += shown.seconds;
        cpuHeadless += plain.cpu;
        cpuWindow += shown.cpu;
        std::printf("%-5d %9lld | %11.3f %11.3f %8.1f%% | %11.3f %11.3f %8.1f%%\n", rep,
                    static_cast<long long>(plain.particles), plain.seconds, shown.seconds,
                    100.0 * (shown.seconds / plain.seconds - 1.0), plain.cpu, shown.cpu,
                    100.0 * (shown.cpu / plain.cpu - 1.0));
    }
    std::printf("%-5s %9s | %11.3f %11.3f %8.1f%% | %11.3f %11.3f %8.1f%%\n", "total", "",
                totalHeadless, totalWindow, 100.0 * (totalWindow / totalHeadless - 1.0),
                cpuHeadless, cpuWindow, 100.0 * (cpuWindow / cpuHeadless - 1.0));
    return 0;
}
