#include "model/catalogue.h"

namespace orvane {

namespace cd = catalogue_data;

void ModelDefinition(TGlobals& g) {
    g.ModelDef.modelname = "Veskor Orvane";
    g.ModelDef.versionnumber = "3.3.6.5b";
    g.ModelDef.timeunit = "year";
    g.ModelDef.numstate = static_cast<int32_t>(std::size(cd::States));
    for (int i = 1; i <= g.ModelDef.numstate; ++i) {
        const auto& e = cd::States[i - 1];
        auto& s = g.States[i];
        s.symbol = e.symbol;
        s.name = e.name;
        s.units = e.units;
    }
    g.ModelDef.numprocess = g.ModelDef.numstate + 107;
    for (int i = 1; i <= g.ModelDef.numstate; ++i) {
        const auto& e = cd::Derivatives[i - 1];
        auto& p = g.Processes[i];
        p.symbol = e.symbol;
        p.name = e.name;
        p.units = e.units;
        p.numparams = 0;
    }
    int numparam = 0;
    for (int i = g.ModelDef.numstate + 1; i <= g.ModelDef.numprocess; ++i) {
        const auto& e = cd::Processes[i - 20];
        auto& p = g.Processes[i];
        p.symbol = e.symbol;
        p.name = e.name;
        p.units = e.units;
        p.numparams = e.numparams;
        for (int k = 1; k <= e.numparams; ++k) {
            const auto& pe = cd::Params[numparam + k - 1];
            auto& par = g.Params[numparam + k];
            par.symbol = pe.symbol;
            par.name = pe.name;
            par.units = pe.units;
        }
        numparam += e.numparams;
    }
    g.ModelDef.numparam = numparam;
    g.ModelDef.numdrive = static_cast<int32_t>(std::size(cd::Drivers));
    for (int i = 1; i <= g.ModelDef.numdrive; ++i) {
        const auto& e = cd::Drivers[i - 1];
        auto& d = g.Drivers[i];
        d.symbol = e.symbol;
        d.name = e.name;
        d.units = e.units;
    }
}

int ParamOffset(int p) { return cd::ParamOffsetOf(p); }

void InitialiseGlobals(TGlobals& g) {
    g.Tolerance = 1e-8;
    g.StartTime = 0;
    g.StopTime = 2;
    g.TimeStep = 1;
    g.OutputStep = 1;
    g.CalcTime = g.StartTime;
    ModelDefinition(g);
    g.NextDrivers = g.Drivers;
    g.PrevDrivers = g.Drivers;
}

}  // namespace orvane
