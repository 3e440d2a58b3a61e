#include "download/journal.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <system_error>

namespace novel {
namespace {

// Version 2 added the file's fingerprint; a journal without one cannot be
// checked against its file and is not continued.
constexpr std::string_view kFirstLine = "novel-download-journal 2";
constexpr int kKeys = 9;

// Values may hold any byte; the few that would break a line are escaped.
std::string escaped(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (const char c : value) {
        switch (c) {
            case '%':
                out += "%25";
                break;
            case '\r':
                out += "%0D";
                break;
            case '\n':
                out += "%0A";
                break;
            case '\0':
                out += "%00";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::optional<std::string> unescaped(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t at = 0; at < value.size(); ++at) {
        if (value[at] != '%') {
            out += value[at];
            continue;
        }
        const std::string_view code = value.substr(at + 1, 2);
        if (code == "25") {
            out += '%';
        } else if (code == "0D") {
            out += '\r';
        } else if (code == "0A") {
            out += '\n';
        } else if (code == "00") {
            out += '\0';
        } else {
            return std::nullopt;
        }
        at += 2;
    }
    return out;
}

bool parse_count(std::string_view text, std::uint64_t* count) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *count);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::string journal_path(std::string_view output_path) {
    return std::string(output_path) + ".progress";
}

std::string journal_links_path(std::string_view output_path) {
    return std::string(output_path) + ".progress.links";
}

std::string encode_journal_state(const JournalState& state) {
    std::string out(kFirstLine);
    out += "\nbook=" + escaped(state.book);
    out += "\nstart=" + escaped(state.start);
    out += "\nend=" + escaped(state.end);
    out += "\nnext=" + escaped(state.next_link);
    out += "\nlength=" + std::to_string(state.file_length);
    out += "\npages=" + std::to_string(state.pages);
    out += "\nlinks=" + std::to_string(state.links_length);
    out += state.utf8 ? "\nencoding=utf-8" : "\nencoding=gbk";
    char fingerprint[17];
    std::snprintf(fingerprint, sizeof fingerprint, "%016llx",
                  static_cast<unsigned long long>(state.fingerprint));
    out += "\nfingerprint=";
    out += fingerprint;
    out += "\n";
    return out;
}

std::optional<JournalState> decode_journal_state(std::string_view bytes) {
    if (!bytes.starts_with(kFirstLine) || !bytes.ends_with('\n')) return std::nullopt;
    JournalState state;
    int seen = 0;
    bytes.remove_prefix(kFirstLine.size() + 1);
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        const std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end + 1);
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) return std::nullopt;
        const std::string_view key = line.substr(0, equals);
        const std::string_view value = line.substr(equals + 1);
        std::optional<std::string> text = unescaped(value);
        if (!text) return std::nullopt;
        bool known = true;
        if (key == "book") {
            state.book = std::move(*text);
        } else if (key == "start") {
            state.start = std::move(*text);
        } else if (key == "end") {
            state.end = std::move(*text);
        } else if (key == "next") {
            state.next_link = std::move(*text);
        } else if (key == "length") {
            known = parse_count(value, &state.file_length);
        } else if (key == "pages") {
            known = parse_count(value, &state.pages);
        } else if (key == "links") {
            known = parse_count(value, &state.links_length);
        } else if (key == "fingerprint") {
            const auto [stop, error] =
                std::from_chars(value.data(), value.data() + value.size(), state.fingerprint, 16);
            known =
                value.size() == 16 && error == std::errc() && stop == value.data() + value.size();
        } else if (key == "encoding") {
            known = value == "gbk" || value == "utf-8";
            state.utf8 = value == "utf-8";
        } else {
            known = false;
        }
        if (!known) return std::nullopt;
        ++seen;
    }
    if (seen != kKeys) return std::nullopt;
    return state;
}

std::optional<Journal> read_journal(const std::string& output_path) {
    // The journal is the program's own: a link or FIFO planted at its name is no journal.
    const FileContent state_file = read_file(journal_path(output_path), Links::refuse);
    if (!state_file.ok) return std::nullopt;
    std::optional<JournalState> state = decode_journal_state(state_file.bytes);
    if (!state) return std::nullopt;
    const FileContent links_file = read_file(journal_links_path(output_path), Links::refuse);
    if (!links_file.ok && state->links_length > 0) return std::nullopt;
    // Bytes behind the counted ones were written after the state: they do not count.
    if (links_file.bytes.size() < state->links_length) return std::nullopt;
    std::string_view links = std::string_view(links_file.bytes).substr(0, state->links_length);
    if (!links.empty() && !links.ends_with('\n')) return std::nullopt;

    Journal journal{.state = std::move(*state)};
    while (!links.empty()) {
        const std::size_t end = links.find('\n');
        std::optional<std::string> link = unescaped(links.substr(0, end));
        if (!link) return std::nullopt;
        journal.fetched_links.push_back(std::move(*link));
        links.remove_prefix(end + 1);
    }
    return journal;
}

std::string journal_links_line(std::string_view link) { return escaped(link) + "\n"; }

FileResult remove_journal(const std::string& output_path) {
    for (const std::string& path : {journal_path(output_path), journal_links_path(output_path)}) {
        if (std::remove(path.c_str()) != 0 && errno != ENOENT) {
            return {.ok = false, .reason = std::generic_category().message(errno)};
        }
    }
    return {};
}

}  // namespace novel
