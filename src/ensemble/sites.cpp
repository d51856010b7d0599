#include "ensemble/sites.h"

#include "ensemble/design_methods.h"

namespace orvane::ensemble {

namespace {

// The designs of the sites one after another.
class TSitesDesign final : public IDesign {
public:
    explicit TSitesDesign(std::vector<std::unique_ptr<IDesign>> sites) : sites_(std::move(sites)) {}
    std::size_t Members() const override { return sites_.size() * sites_.front()->Members(); }
    int Factors() const override { return sites_.front()->Factors(); }
    std::size_t GroupSize() const override { return sites_.front()->GroupSize(); }
    void Values(std::size_t member, std::span<double> values) const override {
        const std::size_t d = sites_.front()->Members();
        sites_[member / d]->Values(member % d, values);
    }
    const IDesign& Site(std::size_t s) const { return *sites_[s]; }

private:
    std::vector<std::unique_ptr<IDesign>> sites_;
};

// A worker's model of every site. Chunks seldom cross from one site to the
// next, so one site's member is kept at a time and made again on a change:
// a worker's memory does not grow with the number of sites.
class TSitesMember final : public IMemberModel {
public:
    TSitesMember(const TExperiment& e, const TEnsembleMembers& m) : e_(e), m_(m) {}
    TMemberOutcome Run(std::span<const double> factors, std::span<double> outputs) override {
        return RunMember(0, factors, outputs);
    }
    TMemberOutcome RunMember(std::size_t member, std::span<const double> factors,
                             std::span<double> outputs) override {
        const std::size_t site = member / m_.siteMembers;
        if (!current_ || site != site_) {
            current_.reset();
            current_ = std::make_unique<TSiteMember>(e_, *m_.sites[site]);
            site_ = site;
        }
        return current_->Run(factors, outputs);
    }

private:
    const TExperiment& e_;
    const TEnsembleMembers& m_;
    std::unique_ptr<TSiteMember> current_;
    std::size_t site_ = 0;
};

}  // namespace

TEnsembleMembers PrepareMembers(const TExperiment& e) {
    TEnsembleMembers m;
    std::vector<std::unique_ptr<IDesign>> designs;
    for (std::size_t s = 0; s < e.sites.size(); ++s) {
        m.sites.push_back(LoadSite(e, s));
        designs.push_back(MakeDesign(e, m.sites.back()->factorBase));
    }
    m.siteMembers = designs.front()->Members();
    if (designs.size() == 1) m.design = std::move(designs.front());
    else m.design = std::make_unique<TSitesDesign>(std::move(designs));
    return m;
}

const IDesign& TEnsembleMembers::SiteDesign(std::size_t s) const {
    if (sites.size() == 1) return *design;
    return static_cast<const TSitesDesign&>(*design).Site(s);
}

TModelFactory TEnsembleMembers::Factory(const TExperiment& e) const {
    if (sites.size() == 1) return [&e, this] { return std::make_unique<TSiteMember>(e, *sites.front()); };
    return [&e, this] { return std::make_unique<TSitesMember>(e, *this); };
}

}  // namespace orvane::ensemble
