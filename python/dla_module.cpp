// The Python module `dla`: the engine's front door for notebooks. Its arguments are read by
// dla-cli's own parser, so that they take the same ranges and are refused in the same words,
// and a run grows with the GIL released, answering Ctrl-C within a second.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app.h"
#include "options.h"
#include "run.h"
#include "runner.h"

namespace py = pybind11;

namespace {

using dla::Run;
using dla::RunResult;

// Ctrl-C in a notebook raises KeyboardInterrupt in the thread that holds the GIL; a run grows
// without it, so every few thousand particles, at most once every 100 ms, it asks.
class SignalWatch final : public dla::RunObserver {
  public:
    void stuck(const Run&) override {
        if (++unchecked_ < 1024) return;
        unchecked_ = 0;
        const auto now = std::chrono::steady_clock::now();
        if (now - last_ < std::chrono::milliseconds(100)) return;
        last_ = now;
        const py::gil_scoped_acquire gil;
        if (PyErr_CheckSignals() != 0) {
            interrupted_ = true;
            stop.store(true);
        }
    }
    std::atomic<bool> stop{false};
    bool interrupted() const { return interrupted_; }

  private:
    int unchecked_ = 0;
    bool interrupted_ = false;
    std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

// One grown aggregate. Its measures are made when first asked for, from the run's own random
// source, as dla-cli makes them.
class Result {
  public:
    explicit Result(std::unique_ptr<Run> run) : run_(std::move(run)) {}

    py::array_t<std::int32_t> sites() const {
        const auto& arrivals = run_->arrivals();
        py::array_t<std::int32_t> array({static_cast<py::ssize_t>(arrivals.size()), py::ssize_t{2}});
        auto view = array.mutable_unchecked<2>();
        py::ssize_t i = 0;
        for (const dla::Site& s : arrivals) {
            view(i, 0) = s.x;
            view(i, 1) = s.y;
            ++i;
        }
        return array;
    }
    const RunResult& measured() { return run_->result(); }
    const Run& run() const { return *run_; }

  private:
    std::unique_ptr<Run> run_;
};

py::object optional(const std::optional<double>& value) {
    return value ? py::object(py::float_(*value)) : py::none();
}

py::dict history(Result& result) {
    const auto& points = result.measured().history;
    const auto n = static_cast<py::ssize_t>(points.size());
    py::array_t<std::int64_t> sites(n);
    py::array_t<double> radius(n);
    py::array_t<std::int32_t> arms({n, py::ssize_t{4}});
    auto s = sites.mutable_unchecked<1>();
    auto r = radius.mutable_unchecked<1>();
    auto a = arms.mutable_unchecked<2>();
    for (py::ssize_t i = 0; i < n; ++i) {
        const dla::HistoryPoint& p = points[static_cast<std::size_t>(i)];
        s(i) = p.sites;
        r(i) = p.radiusOfGyration;
        for (py::ssize_t k = 0; k < 4; ++k) a(i, k) = p.arms[static_cast<std::size_t>(k)];
    }
    py::dict out;
    out["sites"] = sites;
    out["radius_of_gyration"] = radius;
    out["arms"] = arms;
    return out;
}

py::object estimate(Result& result) {
    const RunResult& r = result.measured();
    if (!r.estimate || !r.fit) return py::none();
    const auto n = static_cast<py::ssize_t>(r.estimate->points.size());
    py::array_t<std::int32_t> sides(n);
    py::array_t<double> masses(n);
    for (py::ssize_t i = 0; i < n; ++i) {
        const dla::FitPoint& p = r.estimate->points[static_cast<std::size_t>(i)];
        sides.mutable_at(i) = p.side;
        masses.mutable_at(i) = p.meanMass;
    }
    py::dict out;
    out["dimension"] = r.estimate->dimension;
    out["standard_error"] = optional(r.fit->slopeStandardError);
    out["r_squared"] = optional(r.fit->rSquared);
    out["size"] = r.measuredSize;
    out["sides"] = sides;
    out["masses"] = masses;
    out["draws"] = r.estimate->draws;
    return out;
}

// dla-cli's command line for these arguments, read by its own parser: the same ranges, rules and
// words. Whole numbers come as Python ints of any size and go to the parser as their text, so
// that -1 or 2**64 is refused in dla-cli's words rather than by a C++ type's width.
using Whole = std::optional<py::int_>;

dla::cli::Command parse(const Whole& size, const Whole& particles, const Whole& seed,
                        const std::string& walk, double killFactor) {
    std::vector<std::string> args{"--runs", "1", "--walk", walk};
    const auto add = [&args](const char* option, const Whole& value) {
        if (value) args.insert(args.end(), {option, std::string(py::str(py::handle(*value)))});
    };
    add("--size", size);
    add("--particles", particles);
    add("--seed", seed);
    if (killFactor != dla::kWindowKillFactor) {
        char text[32];
        std::snprintf(text, sizeof text, "%.17g", killFactor);
        args.insert(args.end(), {"--kill-factor", text});
    }
    try {
        return dla::cli::parseCommand(args);
    } catch (const dla::cli::UsageError& e) {
        std::string message = e.what();
        if (const auto see = message.rfind(" (see --help)"); see != std::string::npos)
            message.erase(see);
        throw py::value_error(message);
    }
}

Result grow(const Whole& size, const Whole& particles, const Whole& seed, const std::string& walk,
            double killFactor) {
    const dla::cli::Command command = parse(size, particles, seed, walk, killFactor);
    const dla::cli::Options& o = command.options;
    const dla::cli::RunPlan plan{0, o.sizes.front(), o.seed};
    auto run = std::make_unique<Run>(dla::cli::runSettings(plan, dla::cli::batchSettings(o)));
    SignalWatch watch;
    {
        const py::gil_scoped_release released;
        run->grow(&watch, &watch.stop);
    }
    if (watch.interrupted()) throw py::error_already_set();
    return Result(std::move(run));
}

}  // namespace

PYBIND11_MODULE(dla, m) {
    m.doc() =
        "Diffusion-limited aggregation on the square lattice: dla.grow() grows one aggregate "
        "with dla-cli's engine and gives its sites, history and measures.";
    m.attr("__version__") = DLA_VERSION;

    py::class_<Result>(m, "Result", "One grown aggregate.")
        .def_property_readonly("sites", &Result::sites,
                               "(M, 2) int32 array: x and y of every site, in arrival order, the "
                               "seed first")
        .def_property_readonly(
            "seed", [](const Result& r) { return r.run().settings().seed; },
            "the run's seed: dla.grow(seed=...) or dla-cli --seed repeats it")
        .def_property_readonly(
            "walker_version",
            [](Result& r) {
                const auto& version = r.measured().walkerVersion;
                return version ? py::object(py::int_(*version)) : py::none();
            },
            "the jump walker's version, with which the seed repeats this aggregate (None for the "
            "literal walk)")
        .def_property_readonly(
            "hash", [](Result& r) { return r.measured().hash ? py::object(py::str(dla::hashText(*r.measured().hash))) : py::none(); },
            "a hash of the set of occupied cells, as dla-cli prints it (jump walker)")
        .def_property_readonly(
            "particles", [](Result& r) { return r.measured().counts.particles; },
            "walkers that stuck, the seed not counted")
        .def_property_readonly(
            "launch_radius", [](Result& r) { return r.measured().counts.launchRadius; },
            "R when the run ended")
        .def_property_readonly(
            "walkers_killed", [](Result& r) { return r.measured().counts.walkersKilled; }, "")
        .def_property_readonly(
            "steps", [](Result& r) { return r.measured().counts.steps; }, "single lattice steps")
        .def_property_readonly(
            "jumps", [](Result& r) { return r.measured().counts.jumps; }, "first-passage jumps")
        .def_property_readonly(
            "radius_of_gyration", [](Result& r) { return r.measured().radiusOfGyration; },
            "of the occupied cells, in lattice units")
        .def_property_readonly(
            "history_dimension", [](Result& r) { return optional(r.measured().historyDimension); },
            "slope of ln(sites) against ln(radius of gyration) over the last decade")
        .def_property_readonly(
            "anisotropy",
            [](Result& r) -> py::object {
                const auto& a = r.measured().anisotropy;
                if (!a) return py::none();
                py::dict out;
                out["cos4"] = a->harmonic;
                out["cone_ratio"] = optional(a->coneRatio);
                out["sites"] = a->sites;
                return out;
            },
            "the fourfold harmonic <cos 4 theta> and the axis-to-diagonal cone ratio of the "
            "outer sites")
        .def_property_readonly("history", &history,
                               "dict of arrays at 20 site counts a decade and at the end: "
                               "'sites', 'radius_of_gyration', 'arms' (the reach along +x, -x, "
                               "+y, -y)")
        .def("estimate", &estimate,
             "The box-mass estimate (the window's, with dla-cli's draws for the same seed): dict "
             "with 'dimension', 'standard_error', 'r_squared', 'size', 'sides', 'masses' and "
             "'draws'; None below N = 100.");

    m.def("grow", &grow, py::arg("size") = py::none(), py::arg("particles") = py::none(),
          py::arg("seed") = py::none(), py::arg("walk") = "jump", py::arg("kill_factor") = 2.0,
          "Grows one aggregate: to the system size `size` (a run ends with the first particle "
          "outside the square of half-side size/2) or to `particles` particles, with the "
          "'jump' walker (default) or the window's 'literal' one, walkers killed beyond "
          "kill_factor R. Without a seed, one is drawn and kept in the result. Arguments are "
          "checked as dla-cli checks them (ValueError in its words); Ctrl-C stops the growth "
          "(KeyboardInterrupt).");
}
