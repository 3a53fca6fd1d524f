#include "sim/SimFaults.h"

#include <charconv>
#include <string_view>

namespace vantrel {
namespace {

struct KindName {
    const char* name;
    SimFaultKind kind;
    // Events the kind may be tied to; the first is the default event of a bare number.
    std::vector<SimEvent> events;
    bool needsWhen;
    SimFault byDefault;      // used when no '@' is given and needsWhen is false
    bool takesPause = false; // KIND:MS[:BYTE]
};

const std::vector<KindName>& Kinds()
{
    using K = SimFaultKind;
    using E = SimEvent;
    constexpr uint32_t kOpen = SimFault::kOpenEnd;
    static const std::vector<KindName> kinds = {
        {"nak", K::Nak, {E::Message}, true, {}},
        {"silence", K::Silence, {E::Message}, true, {}},
        {"cut", K::Cut, {E::Message}, true, {}},
        {"badsum", K::BadChecksum, {E::Message}, true, {}},
        {"unsupported", K::Unsupported, {E::Message}, true, {}},
        {"long", K::Long, {E::Message}, true, {}},
        {"short", K::Short, {E::Message}, true, {}},
        {"extra", K::Extra, {E::Message}, true, {}},
        {"wrongecho", K::WrongEcho, {E::Block}, true, {}},
        {"stuckbreak", K::StuckBreak, {E::Boot}, false, {K::StuckBreak, E::Boot, 1, kOpen}},
        {"power", K::PowerLoss, {E::Message, E::Block, E::Boot, E::Erase}, true, {}},
        {"tag", K::TagChange, {E::Message, E::Boot}, true, {}},
        {"noecho", K::NoEcho, {E::Message}, false, {K::NoEcho, E::Message, 0, kOpen}},
        {"stall", K::Stall, {E::Message}, true, {}, true},
        {"garble", K::Garble, {E::Byte}, true, {}},
    };
    return kinds;
}

bool ParseNumber(std::string_view text, uint32_t& value)
{
    if (text.empty()) return false;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

bool ParseRange(std::string_view text, SimFault& fault)
{
    if (const auto slash = text.find('/'); slash != std::string_view::npos) {
        if (!ParseNumber(text.substr(slash + 1), fault.step) || fault.step == 0) return false;
        text = text.substr(0, slash);
    }
    if (text == "*") {
        fault.first = 1;
        fault.last = SimFault::kOpenEnd;
        return true;
    }
    const auto dash = text.find('-');
    if (dash == std::string_view::npos) {
        if (!ParseNumber(text, fault.first) || fault.first == 0) return false;
        fault.last = fault.first;
        return true;
    }
    if (!ParseNumber(text.substr(0, dash), fault.first) || fault.first == 0) return false;
    const auto rest = text.substr(dash + 1);
    if (rest.empty()) {
        fault.last = SimFault::kOpenEnd;
        return true;
    }
    return ParseNumber(rest, fault.last) && fault.last >= fault.first;
}

bool ParseEvent(std::string_view text, SimEvent& event)
{
    if (text == "msg")
        event = SimEvent::Message;
    else if (text == "block")
        event = SimEvent::Block;
    else if (text == "boot")
        event = SimEvent::Boot;
    else if (text == "erase")
        event = SimEvent::Erase;
    else if (text == "byte")
        event = SimEvent::Byte;
    else
        return false;
    return true;
}

// The ":MS[:BYTE]" after a kind that takes a pause.
bool ParsePause(std::string_view values, SimFault& fault)
{
    const auto colon = values.find(':');
    if (!ParseNumber(values.substr(0, colon), fault.pauseMs) || fault.pauseMs == 0) return false;
    fault.atByte = SimFault::kDefaultStallByte;
    if (colon == std::string_view::npos) return true;
    return ParseNumber(values.substr(colon + 1), fault.atByte) && fault.atByte != 0;
}

bool ParseOne(std::string_view item, SimFault& fault, std::string& error)
{
    const auto at = item.find('@');
    std::string_view name = item.substr(0, at);
    const auto valueAt = name.find(':');
    const bool hasValues = valueAt != std::string_view::npos;
    const std::string_view values = hasValues ? name.substr(valueAt + 1) : std::string_view();
    name = name.substr(0, valueAt);
    const KindName* kind = nullptr;
    for (const auto& k : Kinds()) {
        if (name == k.name) kind = &k;
    }
    if (!kind) {
        error = "unknown fault \"" + std::string(name) + "\"";
        return false;
    }
    if (kind->takesPause != hasValues || (kind->takesPause && !ParsePause(values, fault))) {
        error = "fault \"";
        error += name;
        if (kind->takesPause) {
            error += "\" needs its pause: ";
            error += name;
            error += ":MS[:BYTE] with MS and BYTE from 1";
        } else {
            error += "\" takes no value";
        }
        return false;
    }
    if (at == std::string_view::npos) {
        if (kind->needsWhen) {
            error = "fault \"" + std::string(name) + "\" needs '@' and when it strikes";
            return false;
        }
        fault = kind->byDefault;
        return true;
    }
    fault.kind = kind->kind;
    fault.step = 1;
    std::string_view when = item.substr(at + 1);
    fault.event = kind->events.front();
    const auto colon = when.find(':');
    bool rangeGiven = true;
    if (colon != std::string_view::npos) {
        if (!ParseEvent(when.substr(0, colon), fault.event)) {
            error = "unknown event in \"" + std::string(item) + "\"";
            return false;
        }
        when = when.substr(colon + 1);
    } else if (ParseEvent(when, fault.event)) {
        // An event alone: every occurrence.
        rangeGiven = false;
        fault.first = 1;
        fault.last = SimFault::kOpenEnd;
    }
    bool allowed = false;
    for (SimEvent e : kind->events)
        allowed = allowed || e == fault.event;
    if (!allowed) {
        error = "fault \"" + std::string(name) + "\" cannot strike at that event";
        return false;
    }
    if (rangeGiven && !ParseRange(when, fault)) {
        error = "bad count in \"";
        error += item;
        error += "\" (use N, N-M, N- or *, optionally /STEP; counts start at 1)";
        return false;
    }
    return true;
}

} // namespace

const SimFault* SimFaultPlan::Find(SimFaultKind kind, SimEvent event, uint32_t n) const
{
    for (const auto& f : m_faults) {
        if (f.kind == kind && f.event == event && f.Covers(n)) return &f;
    }
    return nullptr;
}

bool ParseSimFaults(const std::string& text, SimFaultPlan& plan, std::string& error)
{
    SimFaultPlan parsed = plan;
    std::string_view rest = text;
    while (!rest.empty()) {
        const auto comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        if (item.empty() || (comma != std::string_view::npos && rest.empty())) {
            error = "empty fault in \"" + text + "\"";
            return false;
        }
        SimFault fault;
        if (!ParseOne(item, fault, error)) return false;
        parsed.Add(fault);
    }
    plan = parsed;
    return true;
}

} // namespace vantrel
