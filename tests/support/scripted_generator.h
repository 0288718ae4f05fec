#pragma once

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <vector>

namespace dla::test {

/// The draws of a ScriptedGenerator and how many it has given; shared, so that a test can still
/// read them once the generator belongs to a random source.
struct Script {
    std::vector<double> values;
    std::size_t draws = 0, reseeds = 0;
};

/// Returns its script in order, through reseeds, and throws std::out_of_range when it runs out.
class ScriptedGenerator {
  public:
    explicit ScriptedGenerator(std::shared_ptr<Script> script) : script_(std::move(script)) {}
    double draw() { return script_->values.at(script_->draws++); }
    void reseed() { ++script_->reseeds; }

  private:
    std::shared_ptr<Script> script_;
};

/// A script whose re-initialising call and the calls after it return `outputs` in order: each
/// call selects entry 1 (a selecting draw of 0), which the call before refilled.
inline std::shared_ptr<Script> scriptReturning(const std::vector<double>& outputs) {
    auto script = std::make_shared<Script>();
    std::vector<double>& d = script->values;
    d.assign(97, 0.0);  // warm-up
    d.push_back(outputs.at(0));
    d.insert(d.end(), 96, 0.5);
    d.push_back(0.0);  // y, replaced at once
    for (std::size_t i = 1; i <= outputs.size(); ++i) {
        d.push_back(0.0);
        d.push_back(i < outputs.size() ? outputs[i] : 0.5);
    }
    return script;
}

}  // namespace dla::test
