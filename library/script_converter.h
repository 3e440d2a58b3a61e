#pragma once
// Simplified to traditional Chinese, UTF-8 in and UTF-8 out.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace novel {

struct ScriptConverterOptions {
    // Tried in order; a bare name is looked up in OpenCC's own data folder.
    // Taiwan's forms with its phrases first, the plain character table when
    // that is not installed.
    std::vector<std::string> configs = {"s2twp.json", "s2t.json"};
};

class ScriptConverter;

// The converter, or why none of the configurations could be opened.
struct ScriptConverterOpening {
    std::unique_ptr<ScriptConverter> converter;  // null when opening failed
    std::string config;                          // the configuration that opened
    std::string reason;                          // when converter is null
};

// Safe to share between threads: conversions on one converter take turns,
// since OpenCC does not promise that one handle converts on two threads.
class ScriptConverter {
public:
    [[nodiscard]] static ScriptConverterOpening open(const ScriptConverterOptions& options = {});

    ~ScriptConverter();
    ScriptConverter(ScriptConverter&&) noexcept;
    ScriptConverter& operator=(ScriptConverter&&) noexcept;
    ScriptConverter(const ScriptConverter&) = delete;
    ScriptConverter& operator=(const ScriptConverter&) = delete;

    // nullopt when OpenCC fails on the text (it does not say why).
    [[nodiscard]] std::optional<std::string> convert(std::string_view utf8) const;

private:
    struct State;
    explicit ScriptConverter(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace novel
