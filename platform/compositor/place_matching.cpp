#include "platform/compositor/place_matching.h"

#include <algorithm>
#include <cmath>

namespace kestrove::compositor {
namespace {

double Width(const Rect& r) {
    return r.right - r.left;
}

double Height(const Rect& r) {
    return r.bottom - r.top;
}

bool Near(double scaled, double pixels) {
    return std::abs(scaled - pixels) <= 1.0;
}

// The scale that turns `output`'s size into `monitor`'s, the same in both
// directions within a pixel; 0 when there is none.
double SizeScale(const Rect& monitor, const Rect& output) {
    if (Width(output) <= 0 || Height(output) <= 0 || Width(monitor) <= 0 || Height(monitor) <= 0) {
        return 0;
    }
    const double scale = Width(monitor) / Width(output);
    return Near(Height(output) * scale, Height(monitor)) ? scale : 0;
}

bool IsOne(double factor) {
    return std::abs(factor - 1) < 0.01;
}

// Adds `factor` to `factors` unless one within a hundredth is there.
void AddFactor(std::vector<double>& factors, double factor) {
    if (factor > 0 && std::none_of(factors.begin(), factors.end(),
                                   [&](double f) { return std::abs(f - factor) < 0.01; })) {
        factors.push_back(factor);
    }
}

class Pairing {
public:
    Pairing(const std::vector<Rect>& monitors, const std::vector<Output>& outputs)
        : m_monitors(monitors), m_outputs(outputs), m_matches(monitors.size()),
          m_taken(outputs.size(), false) {}

    // Pairs in monitor order each monitor left with the first output left,
    // of those with a place or without as `placed`, that `fits`; how many.
    // With `commit` false only counts.
    template <typename Fits> std::size_t pass(bool placed, Fits&& fits, bool commit) {
        std::vector<bool> taken = m_taken;
        std::size_t paired = 0;
        for (std::size_t m = 0; m < m_monitors.size(); ++m) {
            for (std::size_t o = 0; o < m_outputs.size() && !m_matches[m]; ++o) {
                if (!taken[o] && m_outputs[o].placed == placed &&
                    fits(m_monitors[m], m_outputs[o].rect)) {
                    taken[o] = true;
                    ++paired;
                    if (commit) {
                        pair(m, o);
                    }
                    break;
                }
            }
        }
        return paired;
    }

    // The factor of `factors` whose pass pairs the most, the first on a tie;
    // that pass made.
    template <typename FitsAt>
    void bestPass(bool placed, const std::vector<double>& factors, FitsAt&& fitsAt) {
        std::size_t best = 0;
        std::optional<double> chosen;
        for (const double factor : factors) {
            const std::size_t paired = pass(
                placed, [&](const Rect& m, const Rect& o) { return fitsAt(factor, m, o); }, false);
            if (paired > best) {
                best = paired;
                chosen = factor;
            }
        }
        if (chosen) {
            pass(
                placed, [&](const Rect& m, const Rect& o) { return fitsAt(*chosen, m, o); }, true);
        }
    }

    std::vector<std::size_t> monitorsLeft() const {
        std::vector<std::size_t> left;
        for (std::size_t m = 0; m < m_monitors.size(); ++m) {
            if (!m_matches[m]) {
                left.push_back(m);
            }
        }
        return left;
    }

    std::vector<std::size_t> outputsLeft(bool placed) const {
        std::vector<std::size_t> left;
        for (std::size_t o = 0; o < m_outputs.size(); ++o) {
            if (!m_taken[o] && m_outputs[o].placed == placed) {
                left.push_back(o);
            }
        }
        return left;
    }

    void pair(std::size_t m, std::size_t o) {
        m_matches[m] = o;
        m_taken[o] = true;
    }

    std::vector<std::optional<std::size_t>> matches() const { return m_matches; }

private:
    const std::vector<Rect>& m_monitors;
    const std::vector<Output>& m_outputs;
    std::vector<std::optional<std::size_t>> m_matches;
    std::vector<bool> m_taken;
};

// Step 2: the factors a layout may be scaled by, from each place and size.
std::vector<double> LayoutFactors(const std::vector<Rect>& monitors,
                                  const std::vector<Output>& outputs,
                                  const std::vector<std::size_t>& monitorsLeft,
                                  const std::vector<std::size_t>& outputsLeft) {
    std::vector<double> factors;
    for (const std::size_t m : monitorsLeft) {
        for (const std::size_t o : outputsLeft) {
            const Rect& monitor = monitors[m];
            const Rect& output = outputs[o].rect;
            if (output.left != 0) {
                AddFactor(factors, static_cast<double>(monitor.left) / output.left);
            }
            if (output.top != 0) {
                AddFactor(factors, static_cast<double>(monitor.top) / output.top);
            }
            AddFactor(factors, SizeScale(monitor, output));
        }
    }
    std::erase_if(factors, IsOne); // the exact step had those
    return factors;
}

bool FitsScaledLayout(double factor, const Rect& monitor, const Rect& output) {
    const double scale = SizeScale(monitor, output);
    return scale > 0 && scale <= factor + 0.01 && Near(output.left * factor, monitor.left) &&
           Near(output.top * factor, monitor.top);
}

} // namespace

std::vector<std::optional<std::size_t>> MatchByPlace(const std::vector<Rect>& monitors,
                                                     const std::vector<Output>& outputs) {
    Pairing pairing(monitors, outputs);
    // 1. Exact place and size.
    pairing.pass(
        true, [](const Rect& monitor, const Rect& output) { return monitor == output; }, true);
    // 2. The layout scaled by one factor.
    pairing.bestPass(
        true, LayoutFactors(monitors, outputs, pairing.monitorsLeft(), pairing.outputsLeft(true)),
        FitsScaledLayout);

    // 3. Sizes only, up to one common factor, where the size is unique. The
    // counts are taken before any is paired, so that a size shared by two
    // outputs or two monitors never decides.
    const std::vector<std::size_t> unplaced = pairing.outputsLeft(false);
    const std::vector<std::size_t> monitorsLeft = pairing.monitorsLeft();
    std::vector<double> factors{1.0};
    for (const std::size_t m : monitorsLeft) {
        for (const std::size_t o : unplaced) {
            AddFactor(factors, SizeScale(monitors[m], outputs[o].rect));
        }
    }
    auto sizeFits = [&](double factor, const Rect& monitor, const Rect& output) {
        auto fits = [&](const Rect& m, const Rect& o) {
            return Near(Width(o) * factor, Width(m)) && Near(Height(o) * factor, Height(m));
        };
        if (!fits(monitor, output)) {
            return false;
        }
        const auto outputsOfSize = std::count_if(unplaced.begin(), unplaced.end(), [&](auto o) {
            return fits(monitor, outputs[o].rect);
        });
        const auto monitorsOfSize =
            std::count_if(monitorsLeft.begin(), monitorsLeft.end(),
                          [&](auto m) { return fits(monitors[m], output); });
        return outputsOfSize == 1 && monitorsOfSize == 1;
    };
    pairing.bestPass(false, factors, sizeFits);

    // 4. The order, where the counts agree.
    std::vector<std::size_t> orderLeft = pairing.monitorsLeft();
    const std::vector<std::size_t> outputsLeft = pairing.outputsLeft(false);
    if (orderLeft.size() == outputsLeft.size()) {
        std::stable_sort(orderLeft.begin(), orderLeft.end(), [&](std::size_t a, std::size_t b) {
            return std::pair(monitors[a].left, monitors[a].top) <
                   std::pair(monitors[b].left, monitors[b].top);
        });
        for (std::size_t i = 0; i < orderLeft.size(); ++i) {
            pairing.pair(orderLeft[i], outputsLeft[i]);
        }
    }
    return pairing.matches();
}

} // namespace kestrove::compositor
