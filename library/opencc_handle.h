#pragma once
// The one owner of OpenCC's converter handle; included only inside library/.

#include <opencc/opencc.h>

#include <memory>
#include <type_traits>

namespace novel::detail {

struct OpenccCloser {
    void operator()(std::remove_pointer_t<opencc_t>* handle) const { opencc_close(handle); }
};
using OpenccHandle = std::unique_ptr<std::remove_pointer_t<opencc_t>, OpenccCloser>;

struct OpenccTextFree {
    void operator()(char* text) const { opencc_convert_utf8_free(text); }
};
using OpenccText = std::unique_ptr<char, OpenccTextFree>;

}  // namespace novel::detail
