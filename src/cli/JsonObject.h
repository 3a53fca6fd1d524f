#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {

// One JSON object built field by field, in the order added, written on one
// line. Texts are made safe by JsonString.
class JsonObject {
public:
    JsonObject& Text(const char* name, const std::string& value);
    JsonObject& Number(const char* name, int64_t value);
    JsonObject& Bool(const char* name, bool value);
    JsonObject& Null(const char* name);
    // value is JSON already: a nested object or an array.
    JsonObject& Raw(const char* name, const std::string& value);

    std::string Str() const { return "{" + m_fields + "}"; }

private:
    void Name(const char* name);
    std::string m_fields;
};

// A JSON array of values that are JSON already.
std::string JsonArray(const std::vector<std::string>& values);

} // namespace vantrel
