#include "library/script_converter.h"

#include <cstdint>
#include <mutex>
#include <utility>

#include "library/opencc_handle.h"

namespace novel {

struct ScriptConverter::State {
    detail::OpenccHandle handle;
    std::mutex turn;
};

ScriptConverter::ScriptConverter(std::unique_ptr<State> state) : state_(std::move(state)) {}
ScriptConverter::~ScriptConverter() = default;
ScriptConverter::ScriptConverter(ScriptConverter&&) noexcept = default;
ScriptConverter& ScriptConverter::operator=(ScriptConverter&&) noexcept = default;

ScriptConverterOpening ScriptConverter::open(const ScriptConverterOptions& options) {
    ScriptConverterOpening opening;
    for (const std::string& config : options.configs) {
        opencc_t handle = opencc_open(config.c_str());
        // OpenCC's failure value is the all-ones pointer, not null.
        if (handle == reinterpret_cast<opencc_t>(static_cast<std::intptr_t>(-1)) ||
            handle == nullptr) {
            if (!opening.reason.empty()) opening.reason += "; ";
            const char* why = opencc_error();
            opening.reason += config + ": " + (why != nullptr ? why : "cannot be opened");
            continue;
        }
        auto state = std::make_unique<State>();
        state->handle.reset(handle);
        opening.converter.reset(new ScriptConverter(std::move(state)));
        opening.config = config;
        opening.reason.clear();
        return opening;
    }
    if (opening.reason.empty()) opening.reason = "no OpenCC configuration was given";
    return opening;
}

std::optional<std::string> ScriptConverter::convert(std::string_view utf8) const {
    if (utf8.empty()) return std::string();
    std::scoped_lock lock(state_->turn);
    detail::OpenccText converted(
        opencc_convert_utf8(state_->handle.get(), utf8.data(), utf8.size()));
    if (!converted) return std::nullopt;
    return std::string(converted.get());
}

}  // namespace novel
