#include "bench/bench_report.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace kestrove::bench {

namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

const char* SceneName(Scene scene) {
    switch (scene) {
    case Scene::FullScreen:
        return "full screen, 60 Hz";
    case Scene::ManySmallAreas:
        return "many small areas, 60 Hz";
    case Scene::OneSmallArea:
        return "one 64x32 area, 60 Hz";
    }
    return "";
}

// A figure right-aligned in `width` columns; "-" when it was not measured.
std::string Cell(double value, int decimals, int width = 9) {
    char text[32];
    if (std::isnan(value)) {
        std::snprintf(text, sizeof text, "%*s", width, "-");
    } else {
        std::snprintf(text, sizeof text, "%*.*f", width, decimals, value);
    }
    return text;
}

double Ratio(double a, double b) {
    return b != 0 ? a / b : kNone;
}

double P50(const Latency& latency) {
    return latency.samples > 0 ? latency.p50 : kNone;
}

double P95(const Latency& latency) {
    return latency.samples > 0 ? latency.p95 : kNone;
}

void SceneRow(const char* label, const char* mirror, const SceneFigures& f) {
    std::printf("  %-25s%-9s%s%s%s%s%s%s%s%s%s%s\n", label, mirror,
                Cell(f.cost.serverMsPerSecond, 1).c_str(),
                Cell(f.cost.clientMsPerSecond, 1).c_str(), Cell(f.cost.wakeupsPerSecond, 0).c_str(),
                Cell(f.latency.framesPerSecond, 1).c_str(), Cell(f.msPerFrame(), 3).c_str(),
                Cell(f.cost.percentOfCore(), 2).c_str(), Cell(P50(f.latency), 1).c_str(),
                Cell(P95(f.latency), 1).c_str(), Cell(P50(f.loadedLatency), 1).c_str(),
                Cell(P95(f.loadedLatency), 1).c_str());
}

void StillRow(const char* label, const char* mirror, const Cost& c) {
    std::printf("  %-25s%-9s%s%s%s%s%s%s\n", label, mirror, Cell(c.serverMsPerSecond, 2).c_str(),
                Cell(c.clientMsPerSecond, 2).c_str(), Cell(c.wakeupsPerSecond, 0).c_str(),
                Cell(c.redrawsPerSecond, 1).c_str(), Cell(kNone, 0).c_str(),
                Cell(c.percentOfCore(), 3).c_str());
}

void PrintSize(const SizeFigures& f) {
    std::printf("\n%dx%d shown at %dx%d (machine load average %.2f before)\n", f.size.sourceWidth,
                f.size.sourceHeight, f.size.mirrorWidth, f.size.mirrorHeight(), f.loadAverage);
    std::printf("  %-34s%9s%9s%9s%9s%9s%9s%18s%18s\n", "", "server", "client", "client", "frames",
                "CPU per", "% of", "latency (ms)", "one core busy");
    std::printf("  %-25s%-9s%9s%9s%9s%9s%9s%9s%9s%9s%9s%9s\n", "scene", "mirror", "ms/s", "ms/s",
                "wakes/s", "shown/s", "frame ms", "a core", "p50", "p95", "p50", "p95");
    for (const Scene scene : kScenes) {
        SceneRow(SceneName(scene), "Kestrove", f.kestrove[scene]);
        SceneRow("", "ffplay", f.peer[scene]);
    }
    StillRow("still screen", "Kestrove", f.kestrove.still);
    StillRow("", "ffplay", f.peer.still);
    std::printf("  (still screen: frames shown/s counts the mirror window's redraws)\n");
    std::printf("  X server CPU for the source alone (ms/s):");
    for (const Scene scene : kScenes) {
        std::printf(" %s %.1f;", SceneName(scene),
                    f.sourceAlone[static_cast<std::size_t>(scene)].serverMsPerSecond);
    }
    std::printf(" still %.2f\n", f.idle.serverMsPerSecond);
    std::printf("  latency samples, Kestrove / ffplay:");
    for (const Scene scene : kScenes) {
        std::printf(" %d/%d", f.kestrove[scene].latency.samples, f.peer[scene].latency.samples);
        if (f.size.latencyUnderLoad) {
            std::printf(" (busy %d/%d)", f.kestrove[scene].loadedLatency.samples,
                        f.peer[scene].loadedLatency.samples);
        }
        std::printf(";");
    }
    std::printf("\n  PSNR against a box filter, still (dB): Kestrove %.2f, ffplay %.2f, "
                "Render's plain bilinear %.2f\n",
                f.kestrove.psnr, f.peer.psnr, f.bilinearPsnr);
    std::printf("  peak resident memory (MiB): Kestrove %.1f, ffplay %.1f\n",
                static_cast<double>(f.kestrove.peakKiB) / 1024.0,
                static_cast<double>(f.peer.peakKiB) / 1024.0);
}

void GoalRow(const std::string& label, const std::vector<SizeFigures>& all, int decimals,
             const char* goal, double (*figure)(const SizeFigures&)) {
    std::printf("  %-52s", label.c_str());
    for (const SizeFigures& f : all) {
        std::printf("%s", Cell(figure(f), decimals, 11).c_str());
    }
    std::printf("   %s\n", goal);
}

void PrintGoals(const std::vector<SizeFigures>& all) {
    std::printf("\nGoals, Kestrove%*s", 39, "");
    for (const SizeFigures& f : all) {
        std::printf("%11s",
                    (std::to_string(f.size.sourceWidth) + "x" + std::to_string(f.size.sourceHeight))
                        .c_str());
    }
    std::printf("   goal\n");
    GoalRow("CPU per frame / ffplay's, full screen", all, 3, "<= 0.07", [](const SizeFigures& f) {
        return Ratio(f.kestrove[Scene::FullScreen].msPerFrame(),
                     f.peer[Scene::FullScreen].msPerFrame());
    });
    GoalRow("CPU per frame / ffplay's, many small areas", all, 3, "<= 0.07",
            [](const SizeFigures& f) {
                return Ratio(f.kestrove[Scene::ManySmallAreas].msPerFrame(),
                             f.peer[Scene::ManySmallAreas].msPerFrame());
            });
    GoalRow("CPU per frame, one 64x32 area / full screen (%)", all, 2, "<= 5 at 3840x2160",
            [](const SizeFigures& f) {
                return 100 * Ratio(f.kestrove[Scene::OneSmallArea].msPerFrame(),
                                   f.kestrove[Scene::FullScreen].msPerFrame());
            });
    GoalRow("still screen (% of a core)", all, 3, "< 0.1",
            [](const SizeFigures& f) { return f.kestrove.still.percentOfCore(); });
    GoalRow("latency p95, one core busy, full screen (ms)", all, 1, "<= 50 at 3840x2160",
            [](const SizeFigures& f) { return P95(f.kestrove[Scene::FullScreen].loadedLatency); });
    GoalRow(
        "latency p95, one core busy, many small areas (ms)", all, 1, "<= 50 at 3840x2160",
        [](const SizeFigures& f) { return P95(f.kestrove[Scene::ManySmallAreas].loadedLatency); });
    GoalRow(
        "latency p95, one core busy, one 64x32 area (ms)", all, 1, "<= 50 at 3840x2160",
        [](const SizeFigures& f) { return P95(f.kestrove[Scene::OneSmallArea].loadedLatency); });
    GoalRow("PSNR against a box filter (dB)", all, 2, "must not fall",
            [](const SizeFigures& f) { return f.kestrove.psnr; });
    GoalRow("PSNR, Kestrove - ffplay (dB)", all, 2, "",
            [](const SizeFigures& f) { return f.kestrove.psnr - f.peer.psnr; });
}

} // namespace

void PrintReport(const std::vector<SizeFigures>& all) {
    for (const SizeFigures& f : all) {
        PrintSize(f);
    }
    PrintGoals(all);
    std::printf("\nCPU is the X server's and the mirror's, less the X server's for the source "
                "alone; figures from a shared machine vary from run to run.\n");
}

} // namespace kestrove::bench
