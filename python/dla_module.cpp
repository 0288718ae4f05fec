// The Python module `dla`: the engine's front door for notebooks. Its keyword arguments are
// declared once, here, and checked against the engine's ranges in Python's words (TypeError or
// ValueError naming the argument); a run grows with the GIL released, answering Ctrl-C within a
// second.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "batch/runner.h"
#include "batch/seed.h"
#include "formats/byte_count.h"
#include "formats/json_schema.h"
#include "formats/picture.h"
#include "run.h"

namespace py = pybind11;

namespace {

using dla::Run;
using dla::RunResult;

// Ctrl-C in a notebook raises KeyboardInterrupt in the thread that holds the GIL; a run grows
// without it, so every few thousand particles, at most once every 100 ms, it asks, and tells
// the caller's progress callback, if any, the particles stuck so far. An exception from either
// stops the growth and is raised once it has stopped.
class SignalWatch final : public dla::PacedObserver {
  public:
    explicit SignalWatch(py::object progress)
        : PacedObserver(1024, 0.1), progress_(std::move(progress)) {}
    std::atomic<bool> stop{false};
    /// Raises what stopped the growth, if anything did; needs the GIL.
    void raise() {
        if (failure_) std::rethrow_exception(failure_);
    }

  private:
    void beat(const Run& run, double) override {
        const py::gil_scoped_acquire gil;
        try {
            if (PyErr_CheckSignals() != 0) throw py::error_already_set();
            if (!progress_.is_none()) progress_(run.particles());
        } catch (...) {
            failure_ = std::current_exception();
            stop.store(true);
        }
    }
    py::object progress_;
    std::exception_ptr failure_;
};

// One grown aggregate. Its measures are made when first asked for, from the run's own random
// source, as dla-cli makes them.
class Result {
  public:
    explicit Result(std::unique_ptr<Run> run) : run_(std::move(run)) {}

    // Made at the first look and kept, read-only: the run's sites do not change once grown.
    py::array_t<std::int32_t> sites() {
        if (sites_) return *sites_;
        const auto& arrivals = run_->arrivals();
        py::array_t<std::int32_t> array(
            {static_cast<py::ssize_t>(arrivals.size()), py::ssize_t{2}});
        auto view = array.mutable_unchecked<2>();
        py::ssize_t i = 0;
        for (const dla::Site& s : arrivals) {
            view(i, 0) = s.x;
            view(i, 1) = s.y;
            ++i;
        }
        array.attr("flags").attr("writeable") = false;
        sites_ = array;
        return array;
    }
    const RunResult& measured() { return run_->result(); }
    const Run& run() const { return *run_; }

    // What a pickle keeps: the jump walker's whole saved state, which restores the very run (its
    // estimate draws from a copy of the run's source, so it measures alike before and after), or
    // for the literal walk, whose lattice is the window's, the settings that grow it again.
    py::tuple state() const {
        const dla::RunSettings& s = run_->settings();
        if (s.walker == dla::Walker::Literal)
            return py::make_tuple("literal", *s.size, s.seed.value_or(0));
        std::ostringstream out;
        run_->save(out);
        return py::make_tuple("jump", py::bytes(out.str()), run_->growSeconds());
    }
    static Result fromState(const py::tuple& state) {
        if (state.size() != 3) throw py::value_error("not the state of a dla.Result");
        if (state[0].cast<std::string>() == "literal") {
            dla::RunSettings settings;
            settings.walker = dla::Walker::Literal;
            settings.size = state[1].cast<std::int32_t>();
            settings.seed = state[2].cast<std::uint64_t>();
            auto run = std::make_unique<Run>(settings);
            run->grow();
            return Result(std::move(run));
        }
        std::istringstream in(state[1].cast<std::string>());
        try {
            return Result(Run::restore(in, state[2].cast<double>()));
        } catch (const std::runtime_error& e) {
            throw py::value_error(std::string("not the state of a dla.Result: ") + e.what());
        }
    }

    // The call that grows this aggregate again, and what it grew, without measuring it.
    std::string repr() const {
        const dla::RunSettings& s = run_->settings();
        std::string call = "dla.grow(";
        if (s.size) call += "size=" + std::to_string(*s.size) + ", ";
        if (s.particles) call += "particles=" + std::to_string(*s.particles) + ", ";
        if (s.seed) call += "seed=" + std::to_string(*s.seed) + ", ";
        call += s.walker == dla::Walker::Jump ? "walk='jump'" : "walk='literal'";
        if (const auto kill = s.jumpKillFactor(); kill && *kill != dla::kWindowKillFactor)
            call += ", kill_factor=" + std::string(py::repr(py::float_(*kill)));
        return "<dla.Result of " + call + "): " + std::to_string(run_->particles()) +
               " particles, " + std::to_string(run_->arrivals().size()) + " sites>";
    }

    // The line dla-cli --json writes for this run, as the one run of its batch.
    std::string toJson() {
        const dla::RunSettings& settings = run_->settings();
        const dla::RunPlan plan{0, settings.size.value_or(dla::kNoSize), settings.seed};
        dla::BatchSettings batch;
        batch.keepArrivals = false;
        return dla::runToJson(dla::recordOf(plan, *run_, batch), 1).dump();
    }

    // As dla-cli --image draws it: one square of `scale` pixels a site, or with `size` at most
    // that many pixels a side (--image-size).
    py::array_t<std::uint8_t> picture(const py::object& size, const py::object& scale) const;

  private:
    std::unique_ptr<Run> run_;
    std::optional<py::array_t<std::int32_t>> sites_;
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

std::string typeName(const py::handle& value) {
    return py::str(py::type::handle_of(value).attr("__name__"));
}

// A whole-number argument: a Python int of any size or anything that stands for one (numpy's
// integers), never a bool or a float; outside least..most it is refused with its own digits,
// before any C++ type could narrow it.
py::int_ whole(const char* name, const py::handle& value, const py::int_& least,
               const py::int_& most) {
    if (PyBool_Check(value.ptr()) || !PyIndex_Check(value.ptr()))
        throw py::type_error(std::string(name) + " must be a whole number, got " + typeName(value));
    const auto number = py::reinterpret_steal<py::int_>(PyNumber_Index(value.ptr()));
    if (!number) throw py::error_already_set();
    const std::string got = py::str(py::handle(number));
    if (number < least)
        throw py::value_error(
            dla::SettingError::atLeast(name, std::string(py::str(py::handle(least))), got).what());
    if (number > most)
        throw py::value_error(
            dla::SettingError::atMost(name, std::string(py::str(py::handle(most))), got).what());
    return number;
}

std::optional<std::int64_t> whole(const char* name, const py::object& value,
                                  const dla::WholeRange& range) {
    if (value.is_none()) return std::nullopt;
    return whole(name, value, py::int_(range.least), py::int_(range.most)).cast<std::int64_t>();
}

py::array_t<std::uint8_t> Result::picture(const py::object& size, const py::object& scale) const {
    const auto& arrivals = run_->arrivals();
    dla::Image image;
    if (!size.is_none()) {
        if (!scale.is_none()) throw py::value_error("give size or scale, not both");
        image = dla::renderDownsampled(
            arrivals, static_cast<int>(
                          *whole("size", size, {dla::kSmallestImageSize, dla::kLargestImageSize})));
    } else {
        const auto pixels =
            scale.is_none() ? 1 : *whole("scale", scale, {1, dla::kLargestImageScale});
        const auto bytes =
            dla::aggregateImageBytes(dla::extentOf(arrivals), static_cast<int>(pixels));
        if (bytes > dla::kLargestImageBytes)
            throw py::value_error("the picture at scale " + std::to_string(pixels) + " needs " +
                                  dla::formatBytes(bytes) + ", more than the limit of " +
                                  dla::formatBytes(dla::kLargestImageBytes) +
                                  "; give size for a smaller one");
        image = dla::renderAggregate({arrivals.begin(), arrivals.end()}, static_cast<int>(pixels));
    }
    py::array_t<std::uint8_t> array(
        {py::ssize_t{image.height}, py::ssize_t{image.width}, py::ssize_t{3}});
    std::copy(image.rgb.begin(), image.rgb.end(), array.mutable_data());
    return array;
}

// The seed asked for, or a fresh one for None.
std::uint64_t seedOf(const py::object& seed) {
    if (seed.is_none()) return dla::drawSeed();
    return whole("seed", seed, py::int_(0), py::int_(std::numeric_limits<std::uint64_t>::max()))
        .cast<std::uint64_t>();
}

// The settings that grow()'s keyword arguments ask for, each checked by its name; the engine's
// check (checkSettings) speaks in the same names.
dla::RunSettings settingsOf(const py::object& size, const py::object& particles,
                            const py::object& seed, const py::object& walk,
                            const py::object& killFactor) {
    dla::RunSettings settings;
    const bool text = py::isinstance<py::str>(walk);
    const std::string walker = text ? walk.cast<std::string>() : std::string();
    if (walker != "literal" && walker != "jump") {
        const std::string got = text ? "'" + walker + "'" : typeName(walk);
        if (!text) throw py::type_error("walk must be 'literal' or 'jump', got " + got);
        throw py::value_error("walk must be 'literal' or 'jump', got " + got);
    }
    settings.walker = walker == "literal" ? dla::Walker::Literal : dla::Walker::Jump;
    if (!size.is_none() && !particles.is_none())
        throw py::value_error("give size or particles, not both");
    if (const auto n = whole("size", size, dla::sizeRange(settings.walker)))
        settings.size = static_cast<std::int32_t>(*n);
    settings.particles = whole("particles", particles, dla::particlesRange());
    if (!settings.size && !settings.particles) settings.size = dla::kDefaultSystemSize;
    settings.seed = seedOf(seed);
    if (PyBool_Check(killFactor.ptr()) || py::isinstance<py::str>(killFactor) ||
        !PyNumber_Check(killFactor.ptr()))
        throw py::type_error("kill_factor must be a number, got " + typeName(killFactor));
    settings.killFactor = py::float_(killFactor).cast<double>();
    try {
        dla::checkSettings(settings);
    } catch (const dla::SettingError& e) {
        throw py::value_error(e.what());
    }
    return settings;
}

// A growth expected to need a gigabyte or more says so first, as dla-cli does: a UserWarning,
// which names the machine's memory where the growth would need more.
void noteCost(const dla::RunSettings& settings) {
    if (settings.walker != dla::Walker::Jump) return;
    const double particles = settings.particles ? static_cast<double>(*settings.particles)
                                                : dla::expectedParticles(*settings.size);
    const double bytes = dla::expectedPeakBytes(particles);
    if (bytes < 1e9) return;
    std::string text = "this growth is expected to need about " +
                       dla::formatBytes(static_cast<std::uint64_t>(bytes)) + " of memory";
    const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGESIZE);
    const double physical = pages > 0 && pageSize > 0
                                ? static_cast<double>(pages) * static_cast<double>(pageSize)
                                : 0.0;
    if (physical > 0 && bytes > physical)
        text += ", more than the " + dla::formatBytes(static_cast<std::uint64_t>(physical)) +
                " this machine has";
    if (PyErr_WarnEx(PyExc_UserWarning, text.c_str(), 2) < 0) throw py::error_already_set();
}

Result grow(const py::object& size, const py::object& particles, const py::object& seed,
            const py::object& walk, const py::object& killFactor, const py::object& progress) {
    if (!progress.is_none() && !PyCallable_Check(progress.ptr()))
        throw py::type_error("progress must be callable, got " + typeName(progress));
    const dla::RunSettings settings = settingsOf(size, particles, seed, walk, killFactor);
    noteCost(settings);
    auto run = std::make_unique<Run>(settings);
    SignalWatch watch(progress);
    {
        const py::gil_scoped_release released;
        run->grow(&watch, &watch.stop);
    }
    watch.raise();
    return Result(std::move(run));
}

// An ensemble: one run a seed, grown on `threads` threads (default: every core) through the
// batch's worker pool, each the aggregate dla.grow(seed=...) gives; in the order of the seeds.
std::vector<Result> growMany(const py::iterable& seeds, const py::object& size,
                             const py::object& particles, const py::object& walk,
                             const py::object& killFactor, const py::object& threads) {
    dla::BatchSettings batch;
    // Checked once for all the runs; each takes its seed from its plan.
    batch.growth = settingsOf(size, particles, py::int_(0), walk, killFactor);
    std::vector<dla::RunPlan> plans;
    for (const py::handle seed : seeds)
        plans.push_back({static_cast<std::int64_t>(plans.size()),
                         batch.growth.size.value_or(dla::kNoSize),
                         seedOf(py::reinterpret_borrow<py::object>(seed))});
    if (plans.empty()) throw py::value_error("seeds must hold at least one seed");
    const auto cores = static_cast<std::int64_t>(std::max(1u, std::thread::hardware_concurrency()));
    const auto workers =
        threads.is_none() ? cores : *whole("threads", threads, {1, dla::kMostThreads});
    noteCost(batch.growth);
    batch.keepArrivals = false;
    std::vector<std::unique_ptr<Run>> runs(plans.size());
    batch.keepRun = [&runs](const dla::RunPlan& plan, std::unique_ptr<Run> run) {
        runs[static_cast<std::size_t>(plan.index)] = std::move(run);
    };
    // Between two looks at the runs, Ctrl-C: a KeyboardInterrupt stops every worker.
    dla::BatchObserver observer;
    observer.progress = [](std::int64_t, std::int64_t) {
        const py::gil_scoped_acquire gil;
        if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    };
    {
        const py::gil_scoped_release released;
        dla::runAll(plans, batch, static_cast<int>(workers), observer);
    }
    std::vector<Result> results;
    results.reserve(runs.size());
    for (auto& run : runs) results.emplace_back(std::move(run));
    return results;
}

// Result, with a property or method for each thing a run gives.
void bindResult(py::module_& m) {
    // Kept for the life of the module: pybind11 keeps a pointer to each docstring.
    static const std::string pictureDoc =
        "The aggregate as dla-cli --image draws it, an (height, width, 3) uint8 RGB array: "
        "black background, sites coloured by arrival order (viridis), the seed in red. By "
        "default one pixel a site (scale: that many pixels a side a site, 1.." +
        std::to_string(dla::kLargestImageScale) +
        "); with size, at most that many pixels a side (" +
        std::to_string(dla::kSmallestImageSize) + ".." + std::to_string(dla::kLargestImageSize) +
        "), each pixel a block of sites, as --image-size draws it.";
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
            "hash",
            [](Result& r) {
                return r.measured().hash ? py::object(py::str(dla::hashText(*r.measured().hash)))
                                         : py::none();
            },
            "a hash of the set of occupied cells, as dla-cli prints it (jump walker)")
        .def_property_readonly(
            "particles", [](Result& r) { return r.measured().counts.particles; },
            "walkers that stuck, the seed not counted")
        .def_property_readonly(
            "launch_radius", [](Result& r) { return r.measured().counts.launchRadius; },
            "R when the run ended")
        .def_property_readonly(
            "walkers_killed", [](Result& r) { return r.measured().counts.walkersKilled; },
            "walkers that left the kill circle before they stuck, each replaced by a new one")
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
        .def("__repr__", &Result::repr)
        .def(py::pickle([](const Result& r) { return r.state(); }, &Result::fromState))
        .def("to_json", &Result::toJson,
             "The run's JSON line as dla-cli --json writes it for the same settings and seed.")
        .def("picture", &Result::picture, py::arg("size") = py::none(),
             py::arg("scale") = py::none(), pictureDoc.c_str())
        .def("estimate", &estimate,
             "The box-mass estimate (the window's, with dla-cli's draws for the same seed): dict "
             "with 'dimension', 'standard_error', 'r_squared', 'size', 'sides', 'masses' and "
             "'draws'; None below N = 100.");
}

}  // namespace

PYBIND11_MODULE(_dla, m) {
    m.doc() =
        "Diffusion-limited aggregation on the square lattice: dla.grow() grows one aggregate "
        "with dla-cli's engine and gives its sites, history and measures.";
    m.attr("__version__") = DLA_VERSION;

    bindResult(m);

    m.def("grow_many", &growMany, py::arg("seeds"), py::arg("size") = py::none(),
          py::arg("particles") = py::none(), py::arg("walk") = "jump",
          py::arg("kill_factor") = dla::kWindowKillFactor, py::arg("threads") = py::none(),
          "The compiled part of dla.grow_many, which says what it does.");
    m.def("grow", &grow, py::arg("size") = py::none(), py::arg("particles") = py::none(),
          py::arg("seed") = py::none(), py::arg("walk") = "jump",
          py::arg("kill_factor") = dla::kWindowKillFactor, py::kw_only(),
          py::arg("progress") = py::none(),
          "The compiled part of dla.grow, which says what it does.");
}
