#include "simhost/suite_table.h"

namespace simhost {

const void* SuiteTable::find(const SuiteKey& key) const
{
    if (key.name == "PF Handle Suite" && key.version == 2) {
        return &handle;
    }
    if (key.name == "AEGP Utility Suite" && key.version == 7) {
        return &utility;
    }
    if (key.name == "PF Param Utils Suite" && key.version == 2) {
        return &param_utils;
    }
    if (key.name == "PF World Suite" && key.version == 2) {
        return &world;
    }
    if (key.name == "AEGP Iterate Suite" && key.version == 1) {
        return &aegp_iterate;
    }
    if (key.name == "PF Iterate8 Suite" && key.version == 1) {
        return &iterate8;
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
        recorder_.violation("AcquireSuite " + key.text() + " called with a null place for the suite");
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
