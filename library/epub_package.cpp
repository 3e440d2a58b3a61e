#include "library/epub_package.h"

#include <string_view>

#include "library/zip_handles.h"

namespace novel {
namespace {

constexpr std::string_view kMimetype = "application/epub+zip";

class Packer {
public:
    explicit Packer(const EpubPackInput& input) : input_(input) {}

    std::optional<std::string> run() {
        int code = 0;
        // libzip writes nothing until zip_close, and then writes a temporary
        // file beside the target and renames it over the target.
        archive_.reset(zip_open(input_.output_path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code));
        if (!archive_) {
            zip_error_t error;
            zip_error_init_with_code(&error, code);
            std::string why =
                "cannot create " + input_.output_path + ": " + zip_error_strerror(&error);
            zip_error_fini(&error);
            return why;
        }
        // Readers find the container's type in its first, uncompressed entry.
        if (!add_buffer("mimetype", kMimetype, ZIP_CM_STORE)) return reason();
        const std::string container = container_document();
        const std::string css = style_sheet();
        const std::string folder(kPackageFolder);
        const bool added = add_buffer("META-INF/container.xml", container) &&
                           add_buffer(folder + "content.opf", input_.package) &&
                           add_buffer(folder + std::string(kNavigationHref), input_.navigation) &&
                           add_buffer(folder + "toc.ncx", input_.ncx) &&
                           add_buffer(folder + "style.css", css) &&
                           add_buffer(folder + std::string(kTitlePageHref), input_.title_page);
        if (!added) return reason();
        for (const EpubEntry& entry : *input_.entries) {
            if (!add_file(folder + entry.href, input_.working_folder + "/" + entry.href)) {
                return reason();
            }
        }
        if (zip_close(archive_.get()) != 0) return reason();
        static_cast<void>(archive_.release());  // zip_close has freed it
        return std::nullopt;
    }

private:
    std::string reason() {
        return "cannot write " + input_.output_path + ": " + zip_strerror(archive_.get());
    }

    // The text must stay alive until zip_close, which reads it.
    bool add_buffer(const std::string& name, std::string_view text,
                    zip_int32_t method = ZIP_CM_DEFLATE) {
        detail::ZipSource source(zip_source_buffer(archive_.get(), text.data(), text.size(), 0));
        return source && add(name, std::move(source), method);
    }

    bool add_file(const std::string& name, const std::string& path) {
        detail::ZipSource source(zip_source_file(archive_.get(), path.c_str(), 0, -1));
        return source && add(name, std::move(source), ZIP_CM_DEFLATE);
    }

    bool add(const std::string& name, detail::ZipSource source, zip_int32_t method) {
        const zip_int64_t index = zip_file_add(archive_.get(), name.c_str(), source.get(), 0);
        if (index < 0) return false;
        static_cast<void>(source.release());  // the archive owns it now
        const auto level =
            method == ZIP_CM_STORE ? 0u : static_cast<zip_uint32_t>(input_.compression_level);
        return zip_set_file_compression(archive_.get(), static_cast<zip_uint64_t>(index), method,
                                        level) == 0;
    }

    const EpubPackInput& input_;
    detail::ZipArchive archive_;
};

}  // namespace

std::optional<std::string> pack_epub(const EpubPackInput& input) { return Packer(input).run(); }

}  // namespace novel
