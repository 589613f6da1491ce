// A loadable library that exports no EntryPointFunc, for the simulated host's
// loading errors.
#if defined(_WIN32)
#define SIMHOST_TEST_EXPORT __declspec(dllexport)
#else
#define SIMHOST_TEST_EXPORT __attribute__((visibility("default")))
#endif

extern "C" SIMHOST_TEST_EXPORT int not_an_entry_point(int x) { return x + 1; }
