#include "simhost/suite_table.h"

#include "host/suite_ids.h"

namespace simhost {

const void* SuiteTable::find(const SuiteKey& key) const
{
    const struct {
        velkor::SuiteId id;
        const void* table;
    } served[] = {
        {velkor::kHandleSuite, &handle},          {velkor::kUtilitySuite, &utility},
        {velkor::kParamUtilsSuite, &param_utils}, {velkor::kWorldSuite, &world},
        {velkor::kIterateSuite, &aegp_iterate},   {velkor::kIterate8Suite, &iterate8},
    };
    for (const auto& suite : served) {
        if (key.name == suite.id.name && key.version == suite.id.version) {
            return suite.table;
        }
    }
    return nullptr;
}

SPErr SuiteTable::acquire(const SuiteKey& key, bool refused, const void** suite)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const void* served = refused ? nullptr : find(key);
    recorder_.with_current([&](CommandLog& log) {
        if (suite == nullptr) {
            return;
        }
        if (served == nullptr) {
            ++log.suites[key].refused;
            log.events.push_back("refuse " + key.text());
        } else {
            ++log.suites[key].acquired;
            log.events.push_back("acquire " + key.text());
        }
    });
    if (suite == nullptr) {
        recorder_.violation("AcquireSuite " + key.text() +
                            " called with a null place for the suite");
        return kSPSuiteNotFoundError;
    }
    *suite = served;
    if (served == nullptr) {
        ++totals_[key].refused;
        return kSPSuiteNotFoundError;
    }
    ++totals_[key].acquired;
    return 0;
}

SPErr SuiteTable::release(const SuiteKey& key)
{
    std::lock_guard<std::mutex> lock(mutex_);
    SuiteCounts& total = totals_[key];
    const bool matched = total.released < total.acquired;
    recorder_.with_current([&](CommandLog& log) {
        if (matched) {
            ++log.suites[key].released;
            log.events.push_back("release " + key.text());
        } else {
            log.events.push_back("unmatched release " + key.text());
        }
    });
    if (!matched) {
        recorder_.violation("ReleaseSuite " + key.text() + " without a matching AcquireSuite");
        return kSPSuiteNotFoundError;
    }
    ++total.released;
    return 0;
}

std::map<SuiteKey, SuiteCounts> SuiteTable::totals() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return totals_;
}

}  // namespace simhost
