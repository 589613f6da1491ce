#include "ofx/host_suites.h"

namespace velkor::ofx {
namespace {

OfxHost* g_host = nullptr;
HostSuites g_suites;

template <class Suite>
const Suite* fetch(const char* name, int version)
{
    if (g_host == nullptr || g_host->fetchSuite == nullptr) return nullptr;
    return static_cast<const Suite*>(g_host->fetchSuite(g_host->host, name, version));
}

}  // namespace

const HostSuites& suites() { return g_suites; }

void set_host(OfxHost* host) { g_host = host; }

OfxStatus load_suites()
{
    HostSuites s;
    s.property = fetch<OfxPropertySuiteV1>(kOfxPropertySuite, 1);
    s.effect = fetch<OfxImageEffectSuiteV1>(kOfxImageEffectSuite, 1);
    s.param = fetch<OfxParameterSuiteV1>(kOfxParameterSuite, 1);
    s.memory = fetch<OfxMemorySuiteV1>(kOfxMemorySuite, 1);
    s.thread = fetch<OfxMultiThreadSuiteV1>(kOfxMultiThreadSuite, 1);
    s.message = fetch<OfxMessageSuiteV1>(kOfxMessageSuite, 1);
    if (s.property == nullptr || s.effect == nullptr || s.param == nullptr || s.memory == nullptr) {
        g_suites = HostSuites{};
        return kOfxStatErrMissingHostFeature;
    }
    g_suites = s;
    return kOfxStatOK;
}

void unload_suites() { g_suites = HostSuites{}; }

}  // namespace velkor::ofx
