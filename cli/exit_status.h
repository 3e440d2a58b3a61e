#pragma once
// The exit statuses of the command-line tool, for scripts.

namespace novel::cli {

inline constexpr int kReachedEnd = 0;  // the end chapter was reached (read: the page came)
inline constexpr int kChainBroke =
    1;  // no next link, a repeated address, the page limit, a page that is no chapter
inline constexpr int kUsage = 2;          // wrong arguments
inline constexpr int kFileFailed = 3;     // the file or journal could not be written
inline constexpr int kNetworkFailed = 4;  // the network failed, after retries
inline constexpr int kInterrupted = 130;  // Ctrl-C, as a shell reports it

}  // namespace novel::cli
