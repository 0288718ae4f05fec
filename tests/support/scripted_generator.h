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

}  // namespace dla::test
