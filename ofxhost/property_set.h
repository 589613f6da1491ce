// A property set as the test host keeps it: named, typed, multi-valued
// properties. What the plug-in writes is checked against the standard's type,
// dimension and valid values (property_rules.cpp); what it breaks is recorded,
// not refused, so a test sees every fault at once.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "ofx/ofx_api.h"

namespace ofxhost {

enum class PropType {
    integer,
    real,
    string,
    pointer
};

struct Property {
    PropType type = PropType::integer;
    std::vector<int> ints;
    std::vector<double> doubles;
    std::vector<std::string> strings;
    std::vector<void*> pointers;
    std::size_t size() const;
};

class PropertySet {
public:
    // The type that the standard gives a parameter's value (Default, Min, Max...).
    PropType value_type = PropType::real;
    std::size_t value_dimension = 1;
    std::string what;  // "effect descriptor", "clip Output", "param type" ... for messages

    // Host side: set without checks.
    void set(const std::string& name, std::vector<int> v);
    void set(const std::string& name, std::vector<double> v);
    void set(const std::string& name, std::vector<std::string> v);
    void set(const std::string& name, std::vector<void*> v);

    // Reads for the host and the tests; null when absent.
    const Property* find(const std::string& name) const;
    int get_int(const std::string& name, int index = 0, int fallback = 0) const;
    double get_double(const std::string& name, int index = 0, double fallback = 0) const;
    std::string get_string(const std::string& name, int index = 0) const;
    void* get_pointer(const std::string& name, int index = 0) const;

    // The plug-in's accessors, as the property suite forwards them.
    template <class T>
    OfxStatus plugin_set(const char* name, int index, T value);
    template <class T>
    OfxStatus plugin_get(const char* name, int index, T* value) const;
    OfxStatus plugin_dimension(const char* name, int* count) const;

    static OfxPropertySetHandle handle(PropertySet* set)
    {
        return reinterpret_cast<OfxPropertySetHandle>(set);
    }
    static PropertySet* from(OfxPropertySetHandle h) { return reinterpret_cast<PropertySet*>(h); }

private:
    mutable std::mutex mutex_;
    std::map<std::string, Property> props_;
};

// Every fault the plug-in made against the standard, in order.
std::vector<std::string> violations();
void clear_violations();
void report_violation(const std::string& text);

}  // namespace ofxhost
