// The input script reader (--input, and what --record writes): any text is either refused with a
// line number and a reason or read into events (pass times and a session line among them) that
// write back as script lines reading to the same events.
#include <cstdint>
#include <sstream>
#include <string>

#include "platform/host/Host.h"
#include "platform/host/InputScript.h"

namespace {

bool Same(const ScriptEvent& a, const ScriptEvent& b) {
    return a.pass == b.pass && a.kind == b.kind && a.key == b.key && a.types == b.types &&
           a.text == b.text && a.x == b.x && a.y == b.y && a.micros == b.micros &&
           a.seconds == b.seconds && a.yes == b.yes && a.scale == b.scale;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::string error;
    const auto events = ParseInputScript(in, error);
    if (!events) {
        if (error.rfind("line ", 0) != 0) __builtin_trap();
        return 0;
    }
    std::string written;
    bool session = false;
    for (const ScriptEvent& e : *events) {
        if (e.kind == ScriptEvent::Kind::Session) {
            if (session || e.seconds > 86399) __builtin_trap();
            session = true;
        }
        // Pass 0 only in a session, after its line; a time only for a pass with a frame. The
        // session, answer and scale lines belong to no pass.
        const bool passless = e.kind == ScriptEvent::Kind::Session ||
                              e.kind == ScriptEvent::Kind::Answer ||
                              e.kind == ScriptEvent::Kind::Scale;
        if (!passless && e.pass < (session ? 0 : 1)) __builtin_trap();
        if (e.kind == ScriptEvent::Kind::Time && (e.pass < 1 || e.micros > kMaxPassMicros)) {
            __builtin_trap();
        }
        if (e.kind == ScriptEvent::Kind::Scale && (e.scale < 1 || e.scale > kMaxDisplayScale)) {
            __builtin_trap();
        }
        if ((e.kind == ScriptEvent::Kind::KeyDown || e.kind == ScriptEvent::Kind::KeyUp) &&
            KeyNameFromCode(e.key).empty()) {
            __builtin_trap();
        }
        if (e.kind == ScriptEvent::Kind::Type && e.text.empty()) __builtin_trap();
        written += FormatScriptEvent(e) + "\n";
    }
    std::istringstream again(written);
    const auto reread = ParseInputScript(again, error);
    if (!reread || reread->size() != events->size()) __builtin_trap();
    for (size_t i = 0; i < events->size(); ++i) {
        if (!Same((*events)[i], (*reread)[i])) __builtin_trap();
    }
    return 0;
}
