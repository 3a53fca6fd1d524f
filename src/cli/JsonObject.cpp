#include "cli/JsonObject.h"

#include "cli/OutputText.h"

namespace vantrel {

void JsonObject::Name(const char* name)
{
    if (!m_fields.empty()) m_fields += ',';
    m_fields += JsonString(name);
    m_fields += ':';
}

JsonObject& JsonObject::Text(const char* name, const std::string& value)
{
    return Raw(name, JsonString(value));
}

JsonObject& JsonObject::Number(const char* name, int64_t value)
{
    return Raw(name, std::to_string(value));
}

JsonObject& JsonObject::Bool(const char* name, bool value)
{
    return Raw(name, value ? "true" : "false");
}

JsonObject& JsonObject::Null(const char* name)
{
    return Raw(name, "null");
}

JsonObject& JsonObject::Raw(const char* name, const std::string& value)
{
    Name(name);
    m_fields += value;
    return *this;
}

std::string JsonArray(const std::vector<std::string>& values)
{
    std::string out = "[";
    for (size_t i = 0; i < values.size(); ++i) {
        if (i != 0) out += ',';
        out += values[i];
    }
    return out + "]";
}

} // namespace vantrel
