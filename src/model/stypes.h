// Model records and fixed-size arrays, indexed from 1 like the model's own
// numbering (slot 0 exists but is never used).
//
// Names, units and symbols never change after start-up, so records hold them
// as views of the catalogue's constant text: copying an array (the integrator
// does it at every stage) copies no heap memory.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvane {

struct TModelDef {
    std::string modelname;
    std::string versionnumber;
    std::string timeunit;
    int32_t numdrive = 0;
    int32_t numstate = 0;
    int32_t numprocess = 0;
    int32_t numparam = 0;
};

// One parameter, and also one driver.
struct Tparamvariable {
    std::string_view name;
    double value = 0.0;
    std::string_view units;
    std::string_view symbol;
};

struct Tstatevariable {
    std::string_view name;
    double value = 0.0;
    std::string_view units;
    std::string_view symbol;
    bool HoldConstant = false;
};

struct Tprocessvariable {
    std::string_view name;
    double value = 0.0;
    std::string_view units;
    std::string_view symbol;
    int32_t numparams = 0;
};

// Fixed-capacity array addressed 1..Capacity.
template <class T, int Capacity>
struct TOneBasedArray {
    static constexpr int capacity = Capacity;
    std::array<T, Capacity + 1> items{};  // not "slots": that is a Qt keyword macro

    T& operator[](int i) { return items[static_cast<std::size_t>(i)]; }
    const T& operator[](int i) const { return items[static_cast<std::size_t>(i)]; }
};

inline constexpr int MaxStates = 20;
inline constexpr int MaxDrivers = 10;
inline constexpr int MaxParams = 200;
inline constexpr int MaxProcesses = 200;

using statearray = TOneBasedArray<Tstatevariable, MaxStates>;
using drivearray = TOneBasedArray<Tparamvariable, MaxDrivers>;
using paramarray = TOneBasedArray<Tparamvariable, MaxParams>;
using processarray = TOneBasedArray<Tprocessvariable, MaxProcesses>;

// The integrator's working vectors: one double per statearray slot, 1-based.
using TStateVector = std::array<double, MaxStates + 1>;

}  // namespace orvane
